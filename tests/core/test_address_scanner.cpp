#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QTimer>

#include "lists/AddressScanner.h"
#include "platform/EventLoop.h"
#include "platform/Text.h"
#include "support/AddressScannerOracle.h"

using namespace Qt::StringLiterals;

// Readable failures: gtest finds this through the argument's (global) namespace.
void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace {

struct Case {
  const char* name;
  QString text;
  QString expected;
};

// Expectations worked out by hand from the scanner's rules; the oracle must agree too.
const std::vector<Case>& HandPickedCases() {
  static const std::vector<Case> cases = {
      {"empty", u""_s, u""_s},
      {"no at sign", u"nothing to see here."_s, u""_s},
      {"whole text", u"john@example.com"_s, u"john@example.com"_s},
      {"comma", u"a@bc.com,de@fg.org"_s, u"a@bc.com de@fg.org"_s},
      {"blank", u"a@bc.com de@fg.org"_s, u"a@bc.com de@fg.org"_s},
      {"semicolon", u"a@bc.com;de@fg.org"_s, u"a@bc.com de@fg.org"_s},
      {"angle brackets", u"Jo <a@bc.com><de@fg.org>"_s, u"a@bc.com de@fg.org"_s},
      {"quotes", u"\"john@example.com\" 'mary@example.org'"_s, u"john@example.com mary@example.org"_s},
      {"line ends", u"john@example.com\r\nmary@example.org\rx@yz.info\n"_s,
       u"john@example.com mary@example.org x@yz.info"_s},
      {"full stop", u"Write to john@example.com."_s, u"john@example.com"_s},
      {"several trailing dots", u"john@example.com... and more"_s, u"john@example.com"_s},
      {"plus cuts the local part", u"john+tag@example.com"_s, u"tag@example.com"_s},
      {"percent cuts the local part", u"a%bcd@example.com"_s, u"bcd@example.com"_s},
      {"five characters", u"a@b.c"_s, u""_s},
      {"six characters", u"a@b.cd"_s, u"a@b.cd"_s},
      {"one character after the first dot", u"ab@c.d"_s, u""_s},
      {"one character after the only dot", u"john@example.c"_s, u""_s},
      {"only the first dot counts", u"john@ab.cd.e"_s, u"john@ab.cd.e"_s},
      {"domain without a dot", u"john@localhost"_s, u""_s},
      {"domain of one character", u"johnny@x"_s, u""_s},
      {"no local part", u"mail @example.com"_s, u"@example.com"_s},
      {"second at consumed", u"a@b@example.com"_s, u""_s},
      {"second at consumed with a valid first", u"ab@cd.ef@example.com"_s, u"ab@cd.ef"_s},
      {"accented letter ends the address", u"jöhn@example.com"_s, u"hn@example.com"_s},
      {"dotless i ends the address although it upper-cases to I", u"fıle@example.com"_s, u"le@example.com"_s},
      {"long s ends the address", u"meſſage@example.com"_s, u"age@example.com"_s},
      {"letter case kept", u"John.Smith@Example.COM"_s, u"John.Smith@Example.COM"_s},
      {"repeats kept", u"a@bc.de a@bc.de"_s, u"a@bc.de a@bc.de"_s},
      {"mailto", u"mailto:john@example.com"_s, u"john@example.com"_s},
      {"slashes", u"http://www.example.com/~x/a@bc.de/"_s, u"a@bc.de"_s},
      {"at at the start", u"@example.com"_s, u"@example.com"_s},
      {"at at the end", u"john.smith@"_s, u""_s},
      {"lone at", u"@"_s, u""_s},
      {"runs of at", u"@@@@ x@@y.com @@"_s, u""_s},
      {"dots before the at", u"...@example.com"_s, u"...@example.com"_s},
      {"dots only", u".@...."_s, u""_s},
      // The first trailing dot is consumed; the others start the rest of the text, so they
      // lead the next candidate.
      {"trailing dots lead the next candidate", u"a@bc.de..@fg.hi"_s, u"a@bc.de .@fg.hi"_s},
      {"emoji ends the address", u"😀john@example.com😀"_s, u"john@example.com"_s},
      {"hyphen and underscore", u"first_last-x@my-host.example"_s, u"first_last-x@my-host.example"_s},
      {"tab", u"\tjohn@example.com\t"_s, u"john@example.com"_s},
  };
  return cases;
}

TEST(AddressScanner, HandPickedCases) {
  for (const Case& c : HandPickedCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lists::FindEmails(c.text), c.expected);
    EXPECT_EQ(oracle::FindEmailsLiterally(c.text), c.expected);
    EXPECT_EQ(lists::FindEmails(QByteArrayView(platform::EncodeText(c.text))), c.expected);
  }
}

// Pieces that make up the random texts: address characters, every kind of terminator,
// characters that upper-case oddly, stray bytes as DecodeBytes gives them, and whole
// addresses so that many candidates pass.
const QStringList& Pieces() {
  static const QStringList pieces = [] {
    QStringList all =
        u"a|Z|q|0|9|.|.|-|_|@|@|@|/| |\n|\r\n|+|%|\"|<|>|,|;|:|é|ı|ſ|ß|😀|\t|ab.cd|x@yz.com|"
        u"John.Smith@Example.org|...|@@|a@b.cd"_s.split(u'|');
    all << QString(QChar(0xDC80)) << QString(QChar(0xDCFF));
    return all;
  }();
  return pieces;
}

QString RandomText(QRandomGenerator& random, int pieces) {
  QString text;
  const QStringList& all = Pieces();
  for (int i = 0; i < pieces; ++i) text += all[random.bounded(static_cast<int>(all.size()))];
  return text;
}

TEST(AddressScanner, AgreesWithTheOracleOnRandomTexts) {
  QRandomGenerator random(20261206);
  for (int round = 0; round < 20000; ++round) {
    const QString text = RandomText(random, random.bounded(1, 60));
    const QString expected = oracle::FindEmailsLiterally(text);
    ASSERT_EQ(lists::FindEmails(text), expected) << text.toStdString();
    ASSERT_EQ(lists::FindEmails(QByteArrayView(platform::EncodeText(text))), expected) << text.toStdString();
  }
}

TEST(AddressScanner, AgreesWithTheOracleOnEveryShortText) {
  // Every text of up to 9 characters over an address letter, the two characters with
  // rules of their own and a terminator that is not ASCII.
  const QString alphabet = u"a@.é"_s;
  for (int length = 1; length <= 9; ++length) {
    std::vector<int> digits(static_cast<size_t>(length), 0);
    for (;;) {
      QString text;
      for (int d : digits) text += alphabet[d];
      ASSERT_EQ(lists::FindEmails(text), oracle::FindEmailsLiterally(text)) << text.toStdString();
      size_t k = 0;
      while (k < digits.size() && ++digits[k] == alphabet.size()) digits[k++] = 0;
      if (k == digits.size()) break;
    }
  }
}

TEST(AddressScanner, BytesAgreeWithTheOracleOnTheirDecodedText) {
  QRandomGenerator random(7);
  const QByteArray bytePieces[] = {"a",        "Z",    ".",    "@",        " ",    "\n",
                                   "\xC3\xA9", "\xC3", "\xA9", "\xE2\x82", "\xFF", "\xF0\x9F\x98\x80",
                                   "x@yz.com", "-",    "_",    "9"};
  for (int round = 0; round < 20000; ++round) {
    QByteArray bytes;
    const int pieces = random.bounded(1, 50);
    for (int i = 0; i < pieces; ++i)
      bytes += bytePieces[random.bounded(static_cast<int>(std::size(bytePieces)))];
    ASSERT_EQ(lists::FindEmails(QByteArrayView(bytes)),
              oracle::FindEmailsLiterally(platform::DecodeBytes(bytes)))
        << bytes.toHex().toStdString();
  }
}

TEST(AddressScanner, PositionsPointAtTheAddresses) {
  const QString text = u"Jo <John@Example.com>, ñ x@ab.cd... @@ ..@fg.hi"_s;
  QStringList found;
  lists::ForEachEmail(QStringView(text),
                      [&](qsizetype start, qsizetype length) { found << text.mid(start, length); });
  EXPECT_EQ(found.join(u' '), lists::FindEmails(text));
  EXPECT_EQ(found, (QStringList{u"John@Example.com"_s, u"x@ab.cd"_s, u"..@fg.hi"_s}));

  const QByteArray bytes = platform::EncodeText(text);
  QStringList foundInBytes;
  lists::ForEachEmail(QByteArrayView(bytes), [&](qsizetype start, qsizetype length) {
    foundInBytes << QString::fromLatin1(bytes.mid(start, length));
  });
  EXPECT_EQ(foundInBytes, found);
}

TEST(AddressScanner, LongTextsAgreeWithTheOracle) {
  // Longer than the stretch scanned between two offers to run the event loop, so
  // candidates straddle those boundaries.
  QRandomGenerator random(99);
  for (int round = 0; round < 3; ++round) {
    const QString text = RandomText(random, 12000);
    EXPECT_EQ(lists::FindEmails(text), oracle::FindEmailsLiterally(text));
  }
  QString runs = QString(20000, u'.') + u"x@yz.com"_s + QString(20000, u'.') + u" "_s + QString(40000, u'a') +
                 u"@b.cd"_s + QString(30000, u'@') + u"ab@cd.ef"_s;
  EXPECT_EQ(lists::FindEmails(runs), oracle::FindEmailsLiterally(runs));
}

TEST(AddressScanner, LetsTheEventLoopRunDuringALongScan) {
  platform::SetYieldInterval(std::chrono::microseconds(0));
  const QString withAddresses = QString(u"filler text john@example.com "_s).repeated(100000);
  const QString withoutAt = QString(3000000, u'x');
  for (const QString& text : {withAddresses, withoutAt}) {
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(0);
    const QString found = lists::FindEmails(text);
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(found.size(), text.contains(u'@') ? 100000 * 17 - 1 : 0);
  }
  platform::SetYieldInterval(std::chrono::microseconds(8000));
}

}  // namespace
