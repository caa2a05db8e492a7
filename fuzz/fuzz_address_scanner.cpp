// The fast address scanner against the literal reference, on text from bytes (as drops
// and files give it) and on arbitrary UTF-16 (as pasted text may hold it).

#include <cstdint>
#include <cstdlib>

#include <QStringList>

#include "lists/AddressScanner.h"
#include "platform/Text.h"
#include "tests/support/AddressScannerOracle.h"

namespace {

void Check(const QString& text, QByteArrayView bytes) {
  const QString expected = oracle::FindEmailsLiterally(text);
  if (lists::FindEmails(text) != expected) std::abort();
  if (!bytes.isNull() && lists::FindEmails(bytes) != expected) std::abort();
  QStringList found;
  lists::ForEachEmail(QStringView(text),
                      [&](qsizetype start, qsizetype length) { found << text.mid(start, length); });
  if (found.join(u' ') != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The reference is quadratic in the number of "@".
  if (size > 16384) return 0;
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  Check(platform::DecodeBytes(bytes), bytes);
  const QString units(reinterpret_cast<const QChar*>(data), static_cast<qsizetype>(size / 2));
  Check(units, QByteArrayView());
  return 0;
}
