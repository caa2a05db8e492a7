#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "lists/ListFileFormat.h"
#include "platform/Text.h"
#include "support/ListFileOracle.h"

using namespace Qt::StringLiterals;

void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace {

using Rows = std::vector<QStringList>;

TEST(ListFileFormat, ParsesLines) {
  const struct {
    const char* name;
    QString line;
    std::optional<QStringList> row;
  } cases[] = {
      {"address and history", u"a@bc.de Spring(1/2/26) "_s, QStringList{u"a@bc.de"_s, u"Spring(1/2/26) "_s}},
      {"never mailed: one trailing blank", u"a@bc.de "_s, QStringList{u"a@bc.de"_s, u""_s}},
      {"no blank, as in Trash", u"a@bc.de"_s, QStringList{u"a@bc.de"_s, u""_s}},
      {"blanks that start the column survive", u"a@bc.de   x "_s, QStringList{u"a@bc.de"_s, u"  x "_s}},
      {"an address with a blank comes back split", u"john smith@x.org Sent(1/1/26) "_s,
       QStringList{u"john"_s, u"smith@x.org Sent(1/1/26) "_s}},
      {"a tab is no blank", u"a\tb c"_s, QStringList{u"a\tb"_s, u"c"_s}},
      {"empty line", u""_s, std::nullopt},
      {"begins with a blank", u" a@bc.de x"_s, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lists::ParseListLine(c.line), c.row);
    // Reading the line on its own as a file gives the same.
    const Rows literal = oracle::ReadListLiterally(platform::EncodeText(c.line));
    EXPECT_EQ(literal, c.row ? Rows{*c.row} : Rows{});
    EXPECT_EQ(lists::ParseListFile(platform::EncodeText(c.line)), literal);
  }
}

TEST(ListFileFormat, ParsesWholeFiles) {
  const struct {
    const char* name;
    QByteArray bytes;
    Rows rows;
  } cases[] = {
      {"empty file", "", {}},
      {"no final line end", "a@bc.de x", {{u"a@bc.de"_s, u"x"_s}}},
      {"CR LF", "a@bc.de \r\nf@gh.ij y\r\n", {{u"a@bc.de"_s, u""_s}, {u"f@gh.ij"_s, u"y"_s}}},
      {"lone CR", "a@bc.de \rf@gh.ij y\r", {{u"a@bc.de"_s, u""_s}, {u"f@gh.ij"_s, u"y"_s}}},
      {"mixed and doubled", "\r\r\n\na\r\r\n b\n\nc d\n", {{u"a"_s, u""_s}, {u"c"_s, u"d"_s}}},
      {"bytes that are not UTF-8",
       "\xff\xfe@x.org \xe2\x82 Sent\xc3\n",
       {{QString(QChar(0xDCFF)) + QChar(0xDCFE) + u"@x.org"_s,
         QString(QChar(0xDCE2)) + QChar(0xDC82) + u" Sent"_s + QChar(0xDCC3)}}},
      {"UTF-8", "j\xc3\xb6rg@x.org M\xc3\xa4rz(1/3/26) \n", {{u"jörg@x.org"_s, u"März(1/3/26) "_s}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lists::ParseListFile(c.bytes), c.rows);
    EXPECT_EQ(oracle::ReadListLiterally(c.bytes), c.rows);
  }
}

TEST(ListFileFormat, AgreesWithReadingLineByLineOnRandomFilesWholeOrInPieces) {
  QRandomGenerator random(1105);
  QList<QByteArray> pieces =
      QByteArray("a|@|.| | |  |\n|\r|\r\n|\xc3\xa9|\xc3|\xa9|\xff|\xf0\x9f\x98\x80|\t|x@yz.com|Sent(1/2/26) ")
          .split('|');
  pieces.append(QByteArray(1, '\0'));
  for (int round = 0; round < 20000; ++round) {
    QByteArray bytes;
    for (int i = random.bounded(0, 40); i > 0; --i) bytes += pieces[random.bounded(pieces.size())];
    const Rows literal = oracle::ReadListLiterally(bytes);
    ASSERT_EQ(lists::ParseListFile(bytes), literal) << bytes.toHex().toStdString();
    // A piece at a time, as a list is opened, cut anywhere.
    lists::ListFileSplitter splitter;
    Rows pieced;
    const auto row = [&](QByteArrayView a, QByteArrayView m) {
      pieced.push_back({platform::DecodeBytes(a), platform::DecodeBytes(m)});
    };
    for (qsizetype at = 0, n = 0; at < bytes.size(); at += n) {
      n = std::min<qsizetype>(random.bounded(1, 6), bytes.size() - at);
      splitter.Feed(QByteArrayView(bytes).sliced(at, n), row);
    }
    splitter.Finish(row);
    ASSERT_EQ(pieced, literal) << bytes.toHex().toStdString();
  }
}

// An address typed by hand is stored only when the list file gives it back as the same
// row: without the blanks around it, and never with a blank, a line end or another
// control character inside (those came back as another address and a false history, or
// as new rows), nor empty or longer than an address may be.
TEST(ListFileFormat, TypedAddressesSurviveAReadBack) {
  const QString longest = QString(248, u'a') + u"@bc.de"_s;
  const std::pair<QString, QString> cases[] = {// typed, stored (empty: refused)
                                               {u" a@bc.de"_s, u"a@bc.de"_s},
                                               {u"a@bc.de  "_s, u"a@bc.de"_s},
                                               {u"no break@x.org"_s, u"no break@x.org"_s},
                                               {longest, longest},
                                               {u"a"_s + longest, u""_s},
                                               {u"john smith@x.org"_s, u""_s},
                                               {u"a@b.com\nc@d.com Sent(2/2/26)"_s, u""_s},
                                               {u"a\r@b.com"_s, u""_s},
                                               {u"tab\t@x.org"_s, u""_s},
                                               {u"line sep@x.org"_s, u""_s},
                                               {u" "_s, u""_s}};
  for (const auto& [typed, stored] : cases) {
    SCOPED_TRACE(typed.toStdString());
    EXPECT_EQ(lists::StorableAddress(typed).value_or(u""_s), stored);
    EXPECT_EQ(lists::AddressProblem(typed).has_value(), stored.isEmpty());
    if (stored.isEmpty()) continue;
    const std::vector<QStringList> rows = lists::ParseListFile(
        platform::EncodeText(lists::FormatListLine(stored, u"Sent(1/1/26) "_s) + u"\n"_s));
    EXPECT_EQ(rows, (std::vector<QStringList>{{stored, u"Sent(1/1/26) "_s}}));
  }
}

}  // namespace
