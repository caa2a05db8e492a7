// Any bytes must come back unchanged from DecodeBytes/EncodeText, and the text helpers
// must take any text, including lone surrogates kept from bytes that were not UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/Text.h"
#include "platform/TextStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString text = platform::DecodeBytes(bytes);
  if (platform::EncodeText(text) != bytes) std::abort();
  QByteArray appended("x");
  platform::AppendEncodedText(appended, text);
  if (QByteArrayView(appended).sliced(1) != bytes) std::abort();

  // Use the first decoded characters as a search text / separator for the rest.
  const qsizetype cut = size > 0 ? data[0] % 4 : 0;
  const QString needle = text.left(cut);
  const QString haystack = text.mid(cut);
  const int start = size > 1 ? static_cast<int>(data[1]) - 8 : 1;
  const int at = platform::InStr(start, haystack, needle);
  if (at < 0 || at > haystack.size() + 1) std::abort();

  const int fields = platform::CountFields(haystack, needle);
  for (int i = 0; i <= fields + 1 && i < 64; ++i) (void)platform::NthField(haystack, needle, i);
  (void)platform::Mid(haystack, start, cut - 1);
  if (platform::Uppercase(text).size() != text.size()) std::abort();
  if (platform::Lowercase(text).size() != text.size()) std::abort();
  (void)platform::StrComp(haystack, needle, 1);
  (void)platform::TextEquals(haystack, needle);
  (void)platform::Asc(text);

  // Lines read back and written with LF give the input with its line ends made LF (and
  // one added to a last line left without one).
  auto in = platform::TextInputStream::FromBytes(QByteArray(bytes.data(), bytes.size()));
  QByteArray rewritten;
  while (!in->EOF_()) rewritten += platform::EncodeText(in->ReadLine()) + '\n';
  QByteArray expected(bytes.data(), bytes.size());
  expected.replace("\r\n", "\n").replace('\r', '\n');
  if (!expected.isEmpty() && !expected.endsWith('\n')) expected += '\n';
  if (rewritten != expected) std::abort();
  return 0;
}
