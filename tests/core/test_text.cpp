#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QStringList>

#include "platform/Text.h"

using namespace platform;

namespace {

QString U(const char* utf8) {
  return QString::fromUtf8(utf8);
}

// ---- Slow oracles: the rules of Text.h written out literally ------------------------

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
      if (piece == "\xEF\xBB\xBF") {
        out += QChar(char16_t(0xFEFF));
        i += len;
        done = true;
        continue;
      }
      const bool oneChar = decoded.toUcs4().size() == 1;
      const bool replacement = decoded == QString(QChar(0xFFFD)) && piece != "\xEF\xBF\xBD";
      if (oneChar && !replacement && decoded.toUtf8() == piece) {
        out += decoded;
        i += len;
        done = true;
      }
    }
    if (!done) {
      out += QChar(char16_t(0xDC00 + static_cast<unsigned char>(bytes.at(i))));
      ++i;
    }
  }
  return out;
}

QString RandomText(QRandomGenerator& rng, int maxLen) {
  // A small alphabet with case pairs, a surrogate pair, characters whose case mapping
  // is special and separators, so matches and near misses are frequent.
  static const std::u32string alphabet =
      U"aAbB ,\u00df\u1e9e\u0130\u0131Kk\u212a\u00e9\u00c9\U00010428\U00010400";
  QString s;
  const int len = rng.bounded(maxLen + 1);
  for (int i = 0; i < len; ++i) {
    const char32_t c = alphabet.at(rng.bounded(int(alphabet.size())));
    s += QString::fromUcs4(&c, 1);
  }
  return s;
}

// ---- InStr -------------------------------------------------------------------------

struct InStrCase {
  int start;
  const char* source;
  const char* find;
  int expected;
};

TEST(TextInStr, Table) {
  const InStrCase cases[] = {
      {1, "abc", "a", 1},
      {1, "abc", "c", 3},     // last character
      {1, "abc", "bc", 2},    // match ending at the very end
      {1, "abc", "abcd", 0},  // longer than the text
      {1, "abc", "ABC", 1},   // case ignored
      {1, "True", "TRUE", 1},
      {1, "x@y.z", "@", 2},
      {2, "abab", "ab", 3},  // from start
      {3, "abab", "ab", 3},  // start exactly on the match
      {4, "abab", "ab", 0},  // only half a match left
      {0, "abc", "a", 1},    // a start below 1 counts as 1
      {-5, "abc", "c", 3},
      {1, "", "a", 0},
      {1, "abc", "", 1},  // empty find is found at start
      {3, "abc", "", 3},
      {4, "abc", "", 4},  // just past the end
      {5, "abc", "", 0},  // beyond
      {9, "abc", "a", 0},
      {1, "STRASSE", "ß", 0},  // no multi-character folding
      {1, "Straße", "SS", 0},
      {1, "Straße", "ẞ", 5},  // capital sharp s folds to ß
      {1, "\u00c9t\u00e9", "\u00e9", 1},
      {1, "a\U00010400b", "\U00010428", 2},  // a surrogate pair folds as one character
      {1, "a\U00010400b", "B", 4},           // positions count UTF-16 units
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " / " + c.find + " from " + std::to_string(c.start));
    EXPECT_EQ(InStr(c.start, U(c.source), U(c.find)), c.expected);
    if (c.start == 1) {
      EXPECT_EQ(InStr(U(c.source), U(c.find)), c.expected);
    }
  }
}

TEST(TextInStr, MatchesOracleOnRandomTexts) {
  QRandomGenerator rng(1234);
  for (int i = 0; i < 20000; ++i) {
    const QString source = RandomText(rng, 12);
    const QString find = RandomText(rng, 3);
    if (find.isEmpty()) continue;
    const int start = rng.bounded(-1, 15);
    ASSERT_EQ(InStr(start, source, find), SlowInStr(start, source, find))
        << source.toStdString() << " / " << find.toStdString() << " from " << start;
  }
}

// ---- Mid / Left / Right --------------------------------------------------------------

TEST(TextSlices, Table) {
  struct Case {
    const char* text;
    int start;
    int length;
    const char* mid;
  };
  const Case mids[] = {
      {"hello", 1, -1, "hello"}, {"hello", 2, 3, "ell"}, {"hello", 5, 1, "o"},
      {"hello", 5, 9, "o"},      {"hello", 6, 1, ""},    {"hello", 0, 2, "he"},
      {"hello", 3, 0, ""},       {"", 1, 1, ""},         {"hello", 4, -1, "lo"},
  };
  for (const auto& c : mids) {
    SCOPED_TRACE(std::string(c.text) + " " + std::to_string(c.start) + "," + std::to_string(c.length));
    EXPECT_EQ(Mid(U(c.text), c.start, c.length), U(c.mid));
  }
  EXPECT_EQ(Mid(U("hello"), 3), U("llo"));

  struct LR {
    const char* text;
    int count;
    const char* left;
    const char* right;
  };
  const LR lrs[] = {
      {"hello", 2, "he", "lo"}, {"hello", 5, "hello", "hello"}, {"hello", 9, "hello", "hello"},
      {"hello", 0, "", ""},     {"hello", -3, "", ""},          {"", 2, "", ""},
  };
  for (const auto& c : lrs) {
    SCOPED_TRACE(std::string(c.text) + " " + std::to_string(c.count));
    EXPECT_EQ(Left(U(c.text), c.count), U(c.left));
    EXPECT_EQ(Right(U(c.text), c.count), U(c.right));
  }
}

// ---- Fields ------------------------------------------------------------------------

TEST(TextFields, Table) {
  struct Case {
    const char* source;
    const char* sep;
    int count;
    std::vector<const char*> fields;
  };
  const Case cases[] = {
      {"", " ", 0, {}},
      {"a", " ", 1, {"a"}},
      {"a b", " ", 2, {"a", "b"}},
      {"a  b", " ", 3, {"a", "", "b"}},
      {" a", " ", 2, {"", "a"}},
      {"a ", " ", 2, {"a", ""}},
      {" ", " ", 2, {"", ""}},
      {"x@y.com", "@", 2, {"x", "y.com"}},
      {"a::b::", "::", 3, {"a", "b", ""}},
      {"a:::b", "::", 2, {"a", ":b"}},
      {"aXbxc", "x", 2, {"aXb", "c"}},  // exact separator: case matters
      {"In~x@y.com~", "~", 3, {"In", "x@y.com", ""}},
      {"abc", "", 1, {"abc"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("'") + c.source + "' by '" + c.sep + "'");
    EXPECT_EQ(CountFields(U(c.source), U(c.sep)), c.count);
    for (int i = 0; i < static_cast<int>(c.fields.size()); ++i) {
      EXPECT_EQ(NthField(U(c.source), U(c.sep), i + 1), U(c.fields[i])) << "field " << i + 1;
    }
    EXPECT_EQ(NthField(U(c.source), U(c.sep), c.count + 1), QString());
    EXPECT_EQ(NthField(U(c.source), U(c.sep), 0), QString());
  }
}

TEST(TextFields, MatchOracleOnRandomTexts) {
  QRandomGenerator rng(99);
  const QStringList separators = {U(" "), U("ab"), U("aa"), U(",")};
  for (int i = 0; i < 5000; ++i) {
    const QString source = RandomText(rng, 10);
    const QString& sep = separators.at(rng.bounded(separators.size()));
    const QStringList expected = SlowFields(source, sep);
    ASSERT_EQ(CountFields(source, sep), expected.size()) << source.toStdString();
    for (int f = 0; f < expected.size(); ++f) {
      ASSERT_EQ(NthField(source, sep, f + 1), expected.at(f)) << source.toStdString() << " #" << f + 1;
    }
  }
}

// ---- Comparison and case -------------------------------------------------------------

TEST(TextCompare, Table) {
  struct Case {
    const char* a;
    const char* b;
    int exact;
    int folded;
    bool equal;
  };
  const Case cases[] = {
      {"abc", "abc", 0, 0, true},
      {"abc", "ABC", 1, 0, true},
      {"ABC", "abc", -1, 0, true},
      {"abc", "abd", -1, -1, false},
      {"abcd", "abc", 1, 1, false},
      {"", "", 0, 0, true},
      {"", "a", -1, -1, false},
      {"ß", "ẞ", -1, 0, true},
      {"ß", "SS", 1, 1, false},
      {"In", "in", -1, 0, true},
      {"Black Listed", "Black Listed", 0, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(StrComp(U(c.a), U(c.b), 0), c.exact);
    EXPECT_EQ(StrComp(U(c.a), U(c.b), 1), c.folded);
    EXPECT_EQ(TextEquals(U(c.a), U(c.b)), c.equal);
  }
}

TEST(TextCompare, ExactOrderIsTheOrderOfTheUtf8Bytes) {
  // Characters on both sides of the surrogate range, where UTF-16 order and byte order differ.
  static const std::u32string alphabet = U"aZ~\u00e9\u4e2d\ue000\uff21\U0001F600\U00010400";
  QRandomGenerator rng(5);
  auto random = [&] {
    QString s;
    const int len = rng.bounded(5);
    for (int i = 0; i < len; ++i) {
      const char32_t c = alphabet.at(rng.bounded(int(alphabet.size())));
      s += QString::fromUcs4(&c, 1);
    }
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const QString a = random();
    const QString b = random();
    const int bytes = EncodeText(a).compare(EncodeText(b));
    const int expected = bytes < 0 ? -1 : (bytes > 0 ? 1 : 0);
    ASSERT_EQ(StrComp(a, b, 0), expected) << a.toStdString() << " vs " << b.toStdString();
  }
}

TEST(TextCase, MapsEachCharacterToOne) {
  struct Case {
    const char* text;
    const char* upper;
    const char* lower;
  };
  const Case cases[] = {
      {"abc@Example.COM", "ABC@EXAMPLE.COM", "abc@example.com"},
      {"straße", "STRAßE", "straße"},  // ß stays: no length change
      {"ŉ", "ŉ", "ŉ"},                 // its full uppercase is two characters
      {"ǆ", "Ǆ", "ǆ"},
      {"\U00010428x", "\U00010400X", "\U00010428x"},  // a surrogate pair as one character
      {"", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Uppercase(U(c.text)), U(c.upper));
    EXPECT_EQ(Lowercase(U(c.text)), U(c.lower));
  }
  // Lone surrogates (bytes kept from a non-UTF-8 file) pass through unchanged.
  const QString lone = QString(QChar(0xDCE9)) + U("a") + QChar(0xD800);
  EXPECT_EQ(Uppercase(lone), QString(QChar(0xDCE9)) + U("A") + QChar(0xD800));
}

TEST(TextCase, LengthNeverChangesOverAllBmpCharacters) {
  QString all;
  for (char32_t c = 1; c < 0x10000; ++c) {
    if (!QChar::isSurrogate(c)) all += QChar(char16_t(c));
  }
  EXPECT_EQ(Uppercase(all).size(), all.size());
  EXPECT_EQ(Lowercase(all).size(), all.size());
}

TEST(TextNumbers, Str) {
  struct IntCase {
    long long value;
    const char* text;
  };
  const IntCase ints[] = {
      {0, "0"}, {5, "5"}, {-12, "-12"}, {1000000, "1000000"}, {9007199254740993LL, "9007199254740993"}};
  for (const auto& c : ints) EXPECT_EQ(Str(c.value), U(c.text));

  struct DoubleCase {
    double value;
    const char* text;
  };
  const DoubleCase doubles[] = {
      {0.0, "0"},   {-0.0, "0"},    {1.0, "1"},       {20431.0, "20431"},         {-3.0, "-3"},
      {1.5, "1.5"}, {0.25, "0.25"}, {-2.75, "-2.75"}, {123456789.0, "123456789"},
  };
  for (const auto& c : doubles) EXPECT_EQ(Str(c.value), U(c.text)) << c.value;
}

TEST(TextNumbers, Asc) {
  EXPECT_EQ(Asc(QString()), 0);
  EXPECT_EQ(Asc(U("\x1b")), 27);
  EXPECT_EQ(Asc(U("\b")), 8);
  EXPECT_EQ(Asc(U("Abc")), 65);
  EXPECT_EQ(Asc(U("é")), 0xE9);
  EXPECT_EQ(Asc(U("\U0001F600")), 0x1F600);
}

// ---- Bytes and text -------------------------------------------------------------------

TEST(TextBytes, DecodeTable) {
  struct Case {
    QByteArray bytes;
    QString text;
  };
  const QChar e9(char16_t(0xDCE9));
  const Case cases[] = {
      {"", QString()},
      {"plain", U("plain")},
      {"caf\xc3\xa9", U("café")},
      {"caf\xe9", U("caf") + e9},                                                // Latin-1 byte
      {"\xe9", QString(e9)},                                                     // alone
      {"\xc3", QString(QChar(char16_t(0xDCC3)))},                                // cut at the end
      {"\xc0\xaf", QString(QChar(char16_t(0xDCC0))) + QChar(char16_t(0xDCAF))},  // overlong
      {"\xed\xa0\x80", QString(QChar(char16_t(0xDCED))) + QChar(char16_t(0xDCA0)) + QChar(char16_t(0xDC80))},
      {"\xef\xbb\xbfx", QString(QChar(char16_t(0xFEFF))) + QChar('x')},  // a BOM is kept
      {"\xf0\x9f\x98\x80", U("\U0001F600")},
      {"\xf4\x90\x80\x80", QString(QChar(char16_t(0xDCF4))) + QChar(char16_t(0xDC90)) +
                               QChar(char16_t(0xDC80)) + QChar(char16_t(0xDC80))},  // above U+10FFFF
      {QByteArray("a\0b", 3), QString(QChar('a')) + QChar(char16_t(0)) + QChar('b')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.toHex().toStdString());
    EXPECT_EQ(DecodeBytes(c.bytes), c.text);
    EXPECT_EQ(EncodeText(DecodeBytes(c.bytes)), c.bytes);
  }
}

TEST(TextBytes, EncodeOfTextWithoutByteForm) {
  // A stray surrogate that is not a kept byte has no bytes of its own.
  EXPECT_EQ(EncodeText(QString(QChar(char16_t(0xD800)))), QByteArray("\xef\xbf\xbd"));
  EXPECT_EQ(EncodeText(QString(QChar(char16_t(0xDC41)))), QByteArray("\xef\xbf\xbd"));
  // A real pair whose low half lies in the kept-byte range is one character.
  EXPECT_EQ(EncodeText(U("\U00010080")), QByteArray("\xf0\x90\x82\x80"));
}

TEST(TextBytes, RandomBytesMatchOracleAndRoundTrip) {
  QRandomGenerator rng(7);
  static const char pieces[][5] = {
      "a",        "\r",   "\n",   "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\xed\xa0",
      "\xf4\x90", "\xc0", "\xbf", "\xff",     "\x80",         "\xef\xbb\xbf"};
  for (int i = 0; i < 20000; ++i) {
    QByteArray bytes;
    const int n = rng.bounded(24);
    for (int k = 0; k < n; ++k) {
      if (rng.bounded(2)) {
        bytes.append(static_cast<char>(rng.bounded(256)));
      } else {
        bytes.append(pieces[rng.bounded(int(std::size(pieces)))]);
      }
    }
    const QString text = DecodeBytes(bytes);
    ASSERT_EQ(text, SlowDecode(bytes)) << bytes.toHex().toStdString();
    ASSERT_EQ(EncodeText(text), bytes) << bytes.toHex().toStdString();
  }
}

TEST(TextBytes, LongValidTextTakesTheSameRoadAsQt) {
  QByteArray bytes;
  for (int i = 0; i < 1000; ++i) bytes += "line with caf\xc3\xa9 and \xf0\x9f\x98\x80 emoji\n";
  EXPECT_EQ(DecodeBytes(bytes), QString::fromUtf8(bytes));
  EXPECT_EQ(EncodeText(DecodeBytes(bytes)), bytes);
}

}  // namespace
