#include "platform/Text.h"

#include <QChar>
#include <QLocale>
#include <QStringEncoder>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {

int InStr(const QString& source, const QString& find) {
  return InStr(1, source, find);
}

int InStr(int start, const QString& source, const QString& find) {
  if (start < 1) start = 1;
  if (start > source.size() + 1) return 0;
  // Qt's case-insensitive search compares simple case foldings, one character to one
  // character (surrogate pairs folded as whole characters), which is the rule in Text.h.
  const qsizetype at = source.indexOf(find, start - 1, Qt::CaseInsensitive);
  return at < 0 ? 0 : static_cast<int>(at) + 1;
}

QString Mid(const QString& source, int start, int length) {
  if (start < 1) start = 1;
  if (start > source.size()) return QString();
  if (length < 0) return source.mid(start - 1);
  return source.mid(start - 1, length);
}

QString Left(const QString& source, int count) {
  if (count <= 0) return QString();
  return source.left(count);
}

QString Right(const QString& source, int count) {
  if (count <= 0) return QString();
  return source.right(count);
}

int CountFields(const QString& source, const QString& separator) {
  if (source.isEmpty()) return 0;
  if (separator.isEmpty()) return 1;
  // Occurrences that do not overlap, as NthField walks them ("a:::b" by "::" is two fields).
  int fields = 1;
  for (qsizetype at = source.indexOf(separator, 0, Qt::CaseSensitive); at >= 0;
       at = source.indexOf(separator, at + separator.size(), Qt::CaseSensitive)) {
    ++fields;
  }
  return fields;
}

QString NthField(const QString& source, const QString& separator, int index) {
  if (index < 1 || source.isEmpty()) return QString();
  if (separator.isEmpty()) return index == 1 ? source : QString();
  qsizetype from = 0;
  for (int field = 1; field < index; ++field) {
    const qsizetype at = source.indexOf(separator, from, Qt::CaseSensitive);
    if (at < 0) return QString();
    from = at + separator.size();
  }
  const qsizetype end = source.indexOf(separator, from, Qt::CaseSensitive);
  return end < 0 ? source.mid(from) : source.mid(from, end - from);
}

namespace {

// UTF-16 units ranked in code point order: surrogates (the halves of characters above
// U+FFFF) rank above U+E000..U+FFFF, as the characters they form do.
int CodePointRank(char16_t u) {
  if (u >= 0xE000) return u - 0x800;
  if (u >= 0xD800) return u + 0x2000;
  return u;
}

}  // namespace

int StrComp(const QString& a, const QString& b, int mode) {
  if (mode != 0) {
    const int result = QString::compare(a, b, Qt::CaseInsensitive);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
  }
  // Code point order is the byte order of the texts' UTF-8 form, so this orders as a
  // byte-for-byte comparison of the file contents would.
  const char16_t* pa = reinterpret_cast<const char16_t*>(a.constData());
  const char16_t* pb = reinterpret_cast<const char16_t*>(b.constData());
  const qsizetype n = std::min(a.size(), b.size());
  const auto [ia, ib] = std::mismatch(pa, pa + n, pb);
  if (ia != pa + n) return CodePointRank(*ia) < CodePointRank(*ib) ? -1 : 1;
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool TextEquals(const QString& a, const QString& b) {
  return a.size() == b.size() && QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

QString Str(long long value) {
  return QString::number(value);
}

QString Str(double value) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  // Whole numbers print in plain decimal without a fraction (day counts, row numbers);
  // -0 prints as 0.
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    return QString::number(static_cast<long long>(value));
  }
  return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

namespace {

// Maps every character to exactly one character of the same UTF-16 length, so that
// positions found in the mapped copy are positions in the original.
template <typename Map>
QString MapCase(const QString& text, Map map) {
  QString out = text;
  QChar* data = out.data();
  const qsizetype n = out.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t u = data[i].unicode();
    if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(data[i + 1].unicode())) {
      const char32_t mapped = map(QChar::surrogateToUcs4(u, data[i + 1].unicode()));
      if (QChar::requiresSurrogates(mapped)) {
        data[i] = QChar(QChar::highSurrogate(mapped));
        data[i + 1] = QChar(QChar::lowSurrogate(mapped));
      }
      ++i;
      continue;
    }
    if (QChar::isSurrogate(u)) continue;
    const char32_t mapped = map(char32_t(u));
    if (!QChar::requiresSurrogates(mapped)) data[i] = QChar(char16_t(mapped));
  }
  return out;
}

}  // namespace

QString Uppercase(const QString& text) {
  return MapCase(text, [](char32_t c) { return QChar::toUpper(c); });
}

QString Lowercase(const QString& text) {
  return MapCase(text, [](char32_t c) { return QChar::toLower(c); });
}

QString OneLine(const QString& text) {
  if (!text.contains(u'\r') && !text.contains(u'\n')) return text;
  QString line = text;
  line.replace(QLatin1String("\r\n"), QLatin1String(" "));
  line.replace(u'\r', u' ');
  line.replace(u'\n', u' ');
  return line;
}

int Asc(const QString& text) {
  if (text.isEmpty()) return 0;
  const char16_t first = text.at(0).unicode();
  if (QChar::isHighSurrogate(first) && text.size() > 1 && QChar::isLowSurrogate(text.at(1).unicode())) {
    return static_cast<int>(QChar::surrogateToUcs4(first, text.at(1).unicode()));
  }
  return first;
}

// ---- Bytes <-> text ---------------------------------------------------------------

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // an invalid byte b becomes U+DC00 + b (b >= 0x80)

bool IsContinuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at p (Unicode's table of well-formed byte
// sequences: no overlong forms, no surrogates, nothing above U+10FFFF), or 0 if the
// byte at p does not start one. Writes the code point to *cp.
int WellFormedSequence(const unsigned char* p, const unsigned char* end, char32_t* cp) {
  const unsigned char b0 = p[0];
  int len = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  char32_t value = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    value = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    value = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;  // overlong
    if (b0 == 0xED) hi = 0x9F;  // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    value = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;  // overlong
    if (b0 == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (end - p < len || p[1] < lo || p[1] > hi) return 0;
  value = (value << 6) | (p[1] & 0x3F);
  for (int k = 2; k < len; ++k) {
    if (!IsContinuation(p[k])) return 0;
    value = (value << 6) | (p[k] & 0x3F);
  }
  *cp = value;
  return len;
}

bool AllAscii8(const unsigned char* p) {
  quint64 word;
  std::memcpy(&word, p, sizeof word);
  return (word & 0x8080808080808080ULL) == 0;
}

}  // namespace

QString DecodeBytes(QByteArrayView bytes) {
  const qsizetype n = bytes.size();
  if (n == 0) return QString();
  // Every byte yields at most one UTF-16 unit, so n units always suffice.
  QString out(n, Qt::Uninitialized);
  out.truncate(DecodeBytesTo(bytes, reinterpret_cast<char16_t*>(out.data())));
  return out;
}

qsizetype DecodeBytesTo(QByteArrayView bytes, char16_t* dst) {
  char16_t* const begin = dst;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* const end = p + bytes.size();
  while (p < end) {
    // Most files are mostly ASCII: widen eight bytes at a time.
    while (end - p >= 8 && AllAscii8(p)) {
      for (int k = 0; k < 8; ++k) dst[k] = p[k];
      dst += 8;
      p += 8;
    }
    if (p >= end) break;
    const unsigned char b = *p;
    if (b < 0x80) {
      *dst++ = b;
      ++p;
      continue;
    }
    char32_t cp = 0;
    const int len = WellFormedSequence(p, end, &cp);
    if (len == 0) {
      *dst++ = char16_t(kEscapeBase + b);
      ++p;
    } else if (cp >= 0x10000) {
      *dst++ = QChar::highSurrogate(cp);
      *dst++ = QChar::lowSurrogate(cp);
      p += len;
    } else {
      *dst++ = char16_t(cp);
      p += len;
    }
  }
  return dst - begin;
}

namespace {

bool HasSurrogate(QStringView text) {
  for (QChar c : text) {
    if (c.isSurrogate()) return true;
  }
  return false;
}

char* PutUtf8(char* d, char32_t cp) {
  if (cp < 0x80) {
    *d++ = char(cp);
  } else if (cp < 0x800) {
    *d++ = char(0xC0 | (cp >> 6));
    *d++ = char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *d++ = char(0xE0 | (cp >> 12));
    *d++ = char(0x80 | ((cp >> 6) & 0x3F));
    *d++ = char(0x80 | (cp & 0x3F));
  } else {
    *d++ = char(0xF0 | (cp >> 18));
    *d++ = char(0x80 | ((cp >> 12) & 0x3F));
    *d++ = char(0x80 | ((cp >> 6) & 0x3F));
    *d++ = char(0x80 | (cp & 0x3F));
  }
  return d;
}

}  // namespace

QByteArray EncodeText(const QString& text) {
  // Without surrogates the text is plain Unicode and Qt's encoder is exact (and fast).
  if (!HasSurrogate(text)) return text.toUtf8();
  const qsizetype n = text.size();
  QByteArray out(n * 3, Qt::Uninitialized);  // no UTF-16 unit takes more than three bytes
  char* const begin = out.data();
  char* d = begin;
  const char16_t* src = reinterpret_cast<const char16_t*>(text.constData());
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t u = src[i];
    if (u < 0x80) {
      *d++ = char(u);
    } else if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(src[i + 1])) {
      d = PutUtf8(d, QChar::surrogateToUcs4(u, src[i + 1]));
      ++i;
    } else if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
      *d++ = char(u - kEscapeBase);  // a byte that was not UTF-8 when read
    } else if (QChar::isSurrogate(u)) {
      d = PutUtf8(d, 0xFFFD);  // a stray surrogate has no byte form of its own
    } else {
      d = PutUtf8(d, u);
    }
  }
  out.truncate(d - begin);
  if (out.size() > (1 << 20) && out.size() < out.capacity() / 2) out.squeeze();
  return out;
}

void AppendEncodedText(QByteArray& out, QStringView text) {
  if (HasSurrogate(text)) {
    out.append(EncodeText(text.toString()));
    return;
  }
  // Plain Unicode, as in EncodeText: Qt's encoder is exact, and writes in place.
  const qsizetype start = out.size();
  out.resize(start + text.size() * 3);  // no UTF-16 unit takes more than three bytes
  QStringEncoder encoder(QStringEncoder::Utf8);
  const char* end = encoder.appendToBuffer(out.data() + start, text);
  out.resize(end - out.constData());
}

}  // namespace platform
