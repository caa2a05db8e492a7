// A dropped file is scanned chunk by chunk as it is read: cut anywhere, its bytes must give
// the addresses a scan of the whole gives. The first byte picks the cutting.

#include <cstdint>
#include <cstdlib>

#include <QStringList>

#include "lists/AddressFileReader.h"
#include "lists/AddressScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const qsizetype step = data[0] % 32 + 1;
  const QByteArrayView bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  lists::AddressChunker chunker;
  QStringList found;
  for (qsizetype at = 0; at < bytes.size(); at += step)
    found += chunker.Feed(bytes.sliced(at, std::min(step, bytes.size() - at)));
  found += chunker.Finish();
  if (found.join(u' ') != lists::FindEmails(bytes)) std::abort();
  return 0;
}
