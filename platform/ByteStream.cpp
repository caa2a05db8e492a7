#include "platform/ByteStream.h"

// The interface has no code of its own; its signals are compiled here rather than in the
// library-wide moc unit, so a program that uses it links only what it needs.
#include "moc_ByteStream.cpp"
