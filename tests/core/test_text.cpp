#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QStringList>

#include "platform/Text.h"

using namespace platform;

namespace {

QString U(const char* utf8) {
  return QString::fromUtf8(utf8);
}

QString Kept(std::initializer_list<unsigned char> bytes) {  // bytes kept from a non-UTF-8 file
  QString s;
  for (unsigned char b : bytes) s += QChar(char16_t(0xDC00 + b));
  return s;
}

// One character's simple case folding, kept only when it stays the same length.
QString FoldOneByOne(const QString& s) {
  QString out;
  for (qsizetype i = 0; i < s.size(); ++i) {
    const char16_t u = s.at(i).unicode();
    if (QChar::isHighSurrogate(u) && i + 1 < s.size() && QChar::isLowSurrogate(s.at(i + 1).unicode())) {
      const char32_t f = QChar::toCaseFolded(QChar::surrogateToUcs4(u, s.at(i + 1).unicode()));
      out += QString::fromUcs4(&f, 1);
      ++i;
    } else {
      out += QChar(QChar::toCaseFolded(char32_t(u)));
    }
  }
  return out;
}

int SlowInStr(int start, const QString& source, const QString& find) {
  if (start < 1) start = 1;
  const QString s = FoldOneByOne(source);
  const QString f = FoldOneByOne(find);
  for (int pos = start; pos + f.size() - 1 <= s.size(); ++pos) {
    bool same = true;
    for (int k = 0; k < f.size() && same; ++k) same = s.at(pos - 1 + k) == f.at(k);
    if (same) return pos;
  }
  return 0;
}

QStringList SlowFields(const QString& source, const QString& sep) {
  QStringList fields;
  if (source.isEmpty()) return fields;
  QString current;
  for (int i = 0; i < source.size();) {
    if (!sep.isEmpty() && source.mid(i, sep.size()) == sep) {
      fields << current;
      current.clear();
      i += sep.size();
    } else {
      current += source.at(i);
      ++i;
    }
  }
  fields << current;
  return fields;
}

// Decodes one byte position at a time, asking Qt whether a 1-4 byte stretch is exactly one
// well-formed character (it survives Qt's decode and encode unchanged).
QString SlowDecode(const QByteArray& bytes) {
  QString out;
  for (qsizetype i = 0; i < bytes.size();) {
    bool done = false;
    for (int len = 1; len <= 4 && i + len <= bytes.size() && !done; ++len) {
      const QByteArray piece = bytes.mid(i, len);
      const QString decoded = QString::fromUtf8(piece);
      // Qt drops a leading byte-order mark; it is a character like any other here.
      const bool bom = piece == "\xEF\xBB\xBF";
      const bool replacement = decoded == QString(QChar(0xFFFD)) && piece != "\xEF\xBF\xBD";
      if (bom || (decoded.toUcs4().size() == 1 && !replacement && decoded.toUtf8() == piece)) {
        out += bom ? QString(QChar(char16_t(0xFEFF))) : decoded;
        i += len;
        done = true;
      }
    }
    if (!done) out += Kept({static_cast<unsigned char>(bytes.at(i++))});
  }
  return out;
}

// Case pairs, a surrogate pair, odd case mappings and separators: many near misses.
const std::u32string kCaseAlphabet =
    U"aAbBsS ,\u00df\u1e9e\u0130\u0131Kk\u212a\u00e9\u00c9\U00010428\U00010400";

QString RandomText(QRandomGenerator& rng, int maxLen, const std::u32string& alphabet = kCaseAlphabet) {
  QString s;
  const int len = rng.bounded(maxLen + 1);
  for (int i = 0; i < len; ++i) {
    const char32_t c = alphabet.at(rng.bounded(int(alphabet.size())));
    s += QString::fromUcs4(&c, 1);
  }
  return s;
}

TEST(Text, MatchOraclesOnRandomTexts) {
  QRandomGenerator rng(1234);
  for (int i = 0; i < 20000; ++i) {
    const QString source = RandomText(rng, 12);
    const QString find = RandomText(rng, 3);
    const int start = rng.bounded(-1, 15);
    ASSERT_EQ(InStr(start, source, find), SlowInStr(start, source, find))
        << source.toStdString() << " / " << find.toStdString() << " from " << start;
    ASSERT_EQ(InStr(source, find), SlowInStr(1, source, find));
  }
  const QStringList separators = {U(" "), U("ab"), U("aa"), U(","), U("")};
  for (int i = 0; i < 5000; ++i) {
    const QString source = RandomText(rng, 10);
    const QString& sep = separators.at(rng.bounded(separators.size()));
    const QStringList expected = SlowFields(source, sep);
    ASSERT_EQ(CountFields(source, sep), expected.size()) << source.toStdString();
    for (int f = 0; f <= expected.size() + 1; ++f) {
      ASSERT_EQ(NthField(source, sep, f), expected.value(f - 1)) << source.toStdString() << " #" << f;
    }
  }
  // Exact order is UTF-8 byte order, which differs from UTF-16 order around surrogates.
  const std::u32string alphabet = U"aZ~\u00e9\u4e2d\ue000\uff21\U0001F600\U00010400";
  for (int i = 0; i < 20000; ++i) {
    const QString a = RandomText(rng, 4, alphabet);
    const QString b = RandomText(rng, 4, alphabet);
    const int bytes = EncodeText(a).compare(EncodeText(b));
    ASSERT_EQ(StrComp(a, b, 0), bytes < 0 ? -1 : (bytes > 0 ? 1 : 0))
        << a.toStdString() << " vs " << b.toStdString();
  }
}

// A count or position found as 0 leaves nothing; case maps each character (a surrogate pair
// as one, a lone surrogate kept) to one of the same length, ß and ŉ stay; numbers print
// whole, without going through a double, and Asc reads a whole pair.
TEST(Text, SlicesCaseAndNumbers) {
  EXPECT_EQ(QStringList({Left(U("hello"), -1), Left(U("hello"), 9), Uppercase(U("straße ŉ \U00010428x")),
                         Str(-12LL), Str(9007199254740993LL), Str(-0.0), Str(-2.75), Str(123456789.0)}),
            QStringList({"", "hello", U("STRAßE ŉ \U00010400X"), "-12", "9007199254740993", "0", "-2.75",
                         "123456789"}));
  EXPECT_EQ(Uppercase(Kept({0xE9}) + U("a") + QChar(0xD800)), Kept({0xE9}) + U("A") + QChar(0xD800));
  EXPECT_EQ(std::make_tuple(TextEquals(U("ß"), U("ẞ")), Asc(QString()), Asc(U("\U0001F600"))),
            std::make_tuple(true, 0, 0x1F600));
  QString all;
  for (char32_t c = 1; c < 0x10000; ++c) {
    if (!QChar::isSurrogate(c)) all += QChar(char16_t(c));
  }
  EXPECT_EQ(Uppercase(all).size(), all.size());
}

// A stray surrogate that is not a kept byte has no bytes of its own; a real pair whose low
// half lies in the kept-byte range is one character.
TEST(Text, EncodeStraySurrogates) {
  EXPECT_EQ(EncodeText(QString(QChar(char16_t(0xDC41))) + QChar(char16_t(0xD800)) + U("\U00010080")),
            QByteArray("\xef\xbf\xbd\xef\xbf\xbd\xf0\x90\x82\x80"));
}

TEST(Text, RandomBytesMatchOracleAndRoundTrip) {
  QRandomGenerator rng(7);
  static const char pieces[][5] = {
      "a",        "\r",   "\n",   "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\xed\xa0",
      "\xf4\x90", "\xc0", "\xbf", "\xff",     "\x80",         "\xef\xbb\xbf"};
  for (int i = 0; i < 20000; ++i) {
    QByteArray bytes;
    const int n = rng.bounded(24);
    for (int k = 0; k < n; ++k) {  // any byte, or a piece of (broken) UTF-8
      bytes += rng.bounded(2) ? QByteArray(1, char(rng.bounded(256))) : QByteArray(pieces[rng.bounded(13)]);
    }
    const QString text = DecodeBytes(bytes);
    ASSERT_EQ(text, SlowDecode(bytes)) << bytes.toHex().toStdString();
    ASSERT_EQ(EncodeText(text), bytes) << bytes.toHex().toStdString();
    QByteArray appended("x");
    AppendEncodedText(appended, text);
    ASSERT_EQ(appended, "x" + bytes) << bytes.toHex().toStdString();
  }
  // Long valid text takes the same road as Qt's own decoder.
  const QByteArray page = QByteArray("line with caf\xc3\xa9 and \xf0\x9f\x98\x80 emoji\n").repeated(1000);
  EXPECT_EQ(DecodeBytes(page), QString::fromUtf8(page));
  EXPECT_EQ(EncodeText(DecodeBytes(page)), page);
}

}  // namespace
