#include <gtest/gtest.h>

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include "lists/AddressFileReader.h"
#include "lists/AddressScanner.h"
#include "platform/EventLoop.h"
#include "platform/Text.h"
#include "platform/TextStream.h"
#include "support/AddressScannerOracle.h"
#include "support/TestSupport.h"

using namespace Qt::StringLiterals;

namespace {

// Expectations worked out by hand from the scanner's rules; the oracle must agree too.
TEST(AddressScanner, HandPickedCases) {
  const struct {
    const char* name;
    QString text;
    QString expected;
  } cases[] = {
      {"empty", u""_s, u""_s},
      {"angle brackets", u"Jo <a@bc.com><de@fg.org>"_s, u"a@bc.com de@fg.org"_s},
      {"full stop", u"Write to john@example.com."_s, u"john@example.com"_s},
      {"plus cuts the local part", u"john+tag@example.com"_s, u"tag@example.com"_s},
      {"five characters", u"a@b.c"_s, u""_s},
      {"six characters", u"a@b.cd"_s, u"a@b.cd"_s},
      {"one character after the first dot", u"ab@c.d"_s, u""_s},
      {"only the first dot counts", u"john@ab.cd.e"_s, u"john@ab.cd.e"_s},
      {"domain without a dot", u"john@localhost"_s, u""_s},
      {"no local part", u"mail @example.com"_s, u"@example.com"_s},
      {"second at consumed", u"a@b@example.com"_s, u""_s},
      {"second at consumed with a valid first", u"ab@cd.ef@example.com"_s, u"ab@cd.ef"_s},
      {"accented letter ends the address", u"jöhn@example.com"_s, u"hn@example.com"_s},
      {"dotless i ends the address although it upper-cases to I", u"fıle@example.com"_s, u"le@example.com"_s},
      {"runs of at", u"@@@@ x@@y.com @@"_s, u""_s},
      {"trailing dots lead the next candidate", u"a@bc.de..@fg.hi"_s, u"a@bc.de .@fg.hi"_s},
      // No path is longer than 254 characters (RFC 5321); a longer token is no address.
      {"254 characters", QString(248, u'a') + u"@ab.cd x@yz.com"_s,
       QString(248, u'a') + u"@ab.cd x@yz.com"_s},
      {"255 characters", QString(249, u'a') + u"@ab.cd x@yz.com"_s, u"x@yz.com"_s},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lists::FindEmails(c.text), c.expected);
    EXPECT_EQ(oracle::FindEmailsLiterally(c.text), c.expected);
    EXPECT_EQ(lists::FindEmails(QByteArrayView(platform::EncodeText(c.text))), c.expected);
  }
}

// Random files from pieces: address characters, every kind of terminator, characters that
// upper-case oddly, bytes that are not UTF-8, and whole addresses so that many candidates pass.
QByteArray RandomBytes(QRandomGenerator& random, int count) {
  static const QList<QByteArray> pieces =
      u"a|Z|q|0|9|.|.|-|_|@|@|@|/| |\n|\r\n|\r|+|%|\"|<|>|,|;|:|é|ı|ſ|ß|😀|\t|ab.cd|x@yz.com|"
      u"John.Smith@Example.org|...|@@|a@b.cd"_s.toUtf8()
          .append("|\x80|\xff|\xc3|\xa9|\xe2\x82|\xf0\x9f\x98")
          .split('|');
  QByteArray bytes;
  for (int i = 0; i < count; ++i) bytes += pieces[random.bounded(pieces.size())];
  return bytes;
}

// The text and the byte scanners both find what the literal scanner finds in the decoded text.
TEST(AddressScanner, AgreesWithTheOracleOnRandomTexts) {
  QRandomGenerator random(20261206);
  for (int round = 0; round < 30000; ++round) {
    const QByteArray bytes = RandomBytes(random, random.bounded(1, 60));
    const QString text = platform::DecodeBytes(bytes);
    const QString expected = oracle::FindEmailsLiterally(text);
    ASSERT_EQ(lists::FindEmails(text), expected) << bytes.toHex().toStdString();
    ASSERT_EQ(lists::FindEmails(QByteArrayView(bytes)), expected) << bytes.toHex().toStdString();
    QStringList spans, byteSpans;
    lists::ForEachEmail(QStringView(text), [&](qsizetype at, qsizetype n) { spans << text.mid(at, n); });
    lists::ForEachEmail(QByteArrayView(bytes), [&](qsizetype at, qsizetype n) {
      byteSpans << QString::fromLatin1(bytes.mid(at, n));
    });
    ASSERT_EQ(spans.join(u' '), expected) << bytes.toHex().toStdString();
    ASSERT_EQ(byteSpans, spans) << bytes.toHex().toStdString();
  }
}

// A dropped file is read chunk by chunk, each scanned as it comes in; however the bytes
// are cut, the addresses are those the literal scanner finds in the file's lines, in order,
// and every k-th line the file holds is marked once read, before its own addresses.
TEST(AddressScanner, ChunkedFileFindsWhatItsLinesFind) {
  QRandomGenerator random(500);
  QTemporaryDir dir;
  const QString path = dir.filePath("dropped");
  testing_support::WriteAll(path, {});
  QByteArray bytes;
  // The file's bytes come from memory: thousands of files rewritten would wait on the disk.
  platform::TextInputStream::SetDeviceFactoryForTests([&bytes](const QString&) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    return buffer;
  });
  for (int round = 0; round < 3000; ++round) {
    bytes = RandomBytes(random, random.bounded(1, round % 4 == 2 ? 400 : 80));
    if (round % 3 == 0) bytes.replace("\r", "");
    const int every = random.bounded(1, 5);
    QStringList byLine;
    int lines = 0;
    for (auto stream = platform::TextInputStream::FromBytes(bytes); !stream->EOF_();) {
      const QString found = oracle::FindEmailsLiterally(stream->ReadLine());
      if (++lines % every == 0) byLine << QString("#%1").arg(lines);
      if (!found.isEmpty()) byLine << found;
    }
    QStringList chunked;
    const lists::LineMarks marks{every, [&](qint64 line) { chunked << QString("#%1").arg(line); }};
    const auto scan = [&](QByteArrayView piece, const lists::FileProgress&) {
      lists::ForEachEmail(piece,
                          [&](qsizetype at, qsizetype n) { chunked << piece.sliced(at, n).toByteArray(); });
      return true;
    };
    ASSERT_EQ(lists::ReadFileForScanning(platform::FolderItem(path), scan, marks,
                                         random.bounded(1, round % 2 ? 8 : 5000)),
              lists::FileScanResult::Done);
    ASSERT_EQ(chunked.join(u' '), byLine.join(u' ')) << every << " " << bytes.toHex().toStdString();
  }
  platform::TextInputStream::SetDeviceFactoryForTests({});
}

// A stretch with no boundary is held back from piece to piece only up to a limit; one
// longer is dropped whole, and the scan goes on after it.
TEST(AddressScanner, ChunkerDropsAStretchTooLongToHold) {
  const struct {
    QList<QByteArray> pieces;
    QStringList expected;
  } cases[] = {
      {{"ab@cd.ef a", "b@yz.co", "m;"}, {"ab@cd.ef", "ab@yz.com"}},
      {{"a@yz.com", "aaaaaaaaaaaaaaaa@yz.com ok@yz.com"}, {"ok@yz.com"}},
      {{"ok@yz.com ab@", "cd.ef", "ghijklmnopq@r.st", "uvwxyz@", "yz.com x@yz.com"},
       {"ok@yz.com", "x@yz.com"}},
  };
  for (const auto& c : cases) {
    lists::AddressChunker chunker(16);
    QStringList found;
    for (const QByteArray& piece : c.pieces) found += chunker.Feed(piece);
    found += chunker.Finish();
    EXPECT_EQ(found, c.expected) << c.pieces.join('|').toStdString();
  }
}

TEST(AddressScanner, LongTextsAgreeWithTheOracle) {
  // Candidates straddle the stretches scanned between yields, after no "@" too.
  QRandomGenerator random(99);
  for (int round = 0; round < 3; ++round) {
    const QString text = platform::DecodeBytes(RandomBytes(random, 12000));
    EXPECT_EQ(lists::FindEmails(text), oracle::FindEmailsLiterally(text));
  }
  QString runs = QString(16380, u' ') + u"abcdefgh@yz.com "_s + QString(20000, u'.') + u"x@yz.com"_s +
                 QString(20000, u'.') + u" "_s + QString(40000, u'a') + u"@b.cd"_s + QString(30000, u'@') +
                 u"ab@cd.ef"_s;
  EXPECT_EQ(lists::FindEmails(runs), oracle::FindEmailsLiterally(runs));
}

TEST(AddressScanner, LetsTheEventLoopRunDuringALongScan) {
  testing_support::YieldEveryStep yielding;
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
}

}  // namespace
