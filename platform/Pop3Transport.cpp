#include "platform/Pop3Transport.h"

// The transport's signals, compiled here rather than in the shared moc unit, so this
// object stands on its own.
#include "moc_Pop3Transport.cpp"
