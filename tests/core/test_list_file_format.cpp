#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QTemporaryDir>

#include "lists/ListFileFormat.h"
#include "platform/FolderItem.h"
#include "platform/Text.h"
#include "platform/TextStream.h"
#include "support/ListFileOracle.h"
#include "support/TestSupport.h"

using namespace Qt::StringLiterals;

void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace {

using Rows = std::vector<QStringList>;

struct LineCase {
  const char* name;
  QString line;
  std::optional<QStringList> row;
};

TEST(ListFileFormat, ParsesLines) {
  const LineCase cases[] = {
      {"address and history", u"a@bc.de Spring(1/2/26) "_s, QStringList{u"a@bc.de"_s, u"Spring(1/2/26) "_s}},
      {"never mailed: one trailing blank", u"a@bc.de "_s, QStringList{u"a@bc.de"_s, u""_s}},
      {"no blank, as in Trash", u"a@bc.de"_s, QStringList{u"a@bc.de"_s, u""_s}},
      {"blanks that start the column survive", u"a@bc.de   x "_s, QStringList{u"a@bc.de"_s, u"  x "_s}},
      {"two trailing blanks", u"a@bc.de  "_s, QStringList{u"a@bc.de"_s, u" "_s}},
      {"two history entries", u"a@bc.de One(1/2/26) Two(3/4/26) "_s,
       QStringList{u"a@bc.de"_s, u"One(1/2/26) Two(3/4/26) "_s}},
      {"marker", u"a@bc.de Black Listed"_s, QStringList{u"a@bc.de"_s, u"Black Listed"_s}},
      {"an address with a blank comes back split", u"john smith@x.org Sent(1/1/26) "_s,
       QStringList{u"john"_s, u"smith@x.org Sent(1/1/26) "_s}},
      {"a tab is no blank", u"a\tb c"_s, QStringList{u"a\tb"_s, u"c"_s}},
      {"empty line", u""_s, std::nullopt},
      {"begins with a blank", u" a@bc.de x"_s, std::nullopt},
      {"blank only", u" "_s, std::nullopt},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lists::ParseListLine(c.line), c.row);
    // Reading the line on its own as a file gives the same.
    const Rows literal = oracle::ReadListLiterally(platform::EncodeText(c.line));
    EXPECT_EQ(literal, c.row ? Rows{*c.row} : Rows{});
    EXPECT_EQ(lists::ParseListFile(platform::EncodeText(c.line)), literal);
  }
}

TEST(ListFileFormat, FormatsRowsSoThatTheyReadBack) {
  const QStringList rows[] = {
      {u"a@bc.de"_s, u""_s},
      {u"a@bc.de"_s, u"One(1/2/26) Two(3/4/26) "_s},
      {u"a@bc.de"_s, u"  leading blanks"_s},
      {u"Ünïcødé@bc.de"_s, u"Opted Out"_s},
  };
  for (const QStringList& row : rows) {
    SCOPED_TRACE(row.join(u'|').toStdString());
    const QString line = lists::FormatListLine(row[0], row[1]);
    EXPECT_EQ(line, row[0] + u" "_s + row[1]);
    EXPECT_EQ(lists::ParseListLine(line), row);
  }
}

struct FileCase {
  const char* name;
  QByteArray bytes;
  Rows rows;
};

TEST(ListFileFormat, ParsesWholeFiles) {
  const FileCase cases[] = {
      {"empty file", "", {}},
      {"one empty line", "\n", {}},
      {"no final line end", "a@bc.de x", {{u"a@bc.de"_s, u"x"_s}}},
      {"LF", "a@bc.de \nf@gh.ij y\n", {{u"a@bc.de"_s, u""_s}, {u"f@gh.ij"_s, u"y"_s}}},
      {"CR LF", "a@bc.de \r\nf@gh.ij y\r\n", {{u"a@bc.de"_s, u""_s}, {u"f@gh.ij"_s, u"y"_s}}},
      {"lone CR", "a@bc.de \rf@gh.ij y\r", {{u"a@bc.de"_s, u""_s}, {u"f@gh.ij"_s, u"y"_s}}},
      {"mixed and doubled", "\r\r\n\na\r\r\n b\n\nc d\n", {{u"a"_s, u""_s}, {u"c"_s, u"d"_s}}},
      {"bytes that are not UTF-8",
       "\xff\xfe@x.org \xe2\x82 Sent\xc3\n",
       {{QString(QChar(0xDCFF)) + QChar(0xDCFE) + u"@x.org"_s,
         QString(QChar(0xDCE2)) + QChar(0xDC82) + u" Sent"_s + QChar(0xDCC3)}}},
      {"UTF-8", "j\xc3\xb6rg@x.org M\xc3\xa4rz(1/3/26) \n", {{u"jörg@x.org"_s, u"März(1/3/26) "_s}}},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lists::ParseListFile(c.bytes), c.rows);
    EXPECT_EQ(oracle::ReadListLiterally(c.bytes), c.rows);
  }
}

TEST(ListFileFormat, AgreesWithReadingLineByLineOnRandomFiles) {
  QRandomGenerator random(1105);
  const QByteArray pieces[] = {"a",
                               "@",
                               ".",
                               " ",
                               " ",
                               "  ",
                               "\n",
                               "\r",
                               "\r\n",
                               "\xc3\xa9",
                               "\xc3",
                               "\xa9",
                               "\xff",
                               "\xf0\x9f\x98\x80",
                               "\t",
                               "x@yz.com",
                               "Sent(1/2/26) ",
                               "\x00"};
  for (int round = 0; round < 20000; ++round) {
    QByteArray bytes;
    const int count = random.bounded(0, 40);
    for (int i = 0; i < count; ++i) {
      const QByteArray& piece = pieces[random.bounded(static_cast<int>(std::size(pieces)))];
      bytes += piece.isEmpty() ? QByteArray(1, '\0') : piece;
    }
    ASSERT_EQ(lists::ParseListFile(bytes), oracle::ReadListLiterally(bytes)) << bytes.toHex().toStdString();
  }
}

// A list file in the form the program writes (every line an address, a blank, the
// Mailings column, LF) comes back byte for byte after a read and a save, whatever bytes
// it holds.
TEST(ListFileFormat, BytesSurviveAReadAndASave) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QByteArray original =
      "plain@example.com \n"
      "j\xc3\xb6rg@x.org M\xc3\xa4rz(1/3/26) Mai(2/5/26) \n"
      "\xff\xfe@x.org \xe2\x82 Sent\xc3\n"
      "latin1-\xe9t\xe9@x.org Black Listed\n"
      "cr-inside@x.org \t tab and trailing blanks  \n"
      "emoji@x.org \xf0\x9f\x98\x80\n";
  const Rows rows = lists::ParseListFile(original);
  ASSERT_EQ(rows.size(), 6u);

  const platform::FolderItem file(dir.filePath(u"Spring"_s));
  auto out = platform::TextOutputStream::Create(file);
  ASSERT_NE(out, nullptr);
  for (const QStringList& row : rows) out->WriteLine(lists::FormatListLine(row[0], row[1]));
  ASSERT_TRUE(out->Close());
  EXPECT_EQ(testing_support::ReadAll(file.AbsolutePath()), original);
  EXPECT_EQ(oracle::WriteListLiterally(rows), original);

  // And reading the saved file line by line gives the same rows again.
  auto in = platform::TextInputStream::Open(file);
  ASSERT_NE(in, nullptr);
  Rows again;
  do {
    if (auto row = lists::ParseListLine(in->ReadLine())) again.push_back(*row);
  } while (!in->EOF_());
  EXPECT_EQ(again, rows);
}

}  // namespace
