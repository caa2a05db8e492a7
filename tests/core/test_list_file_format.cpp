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

// The address ends at the first blank, the rest is its history; a line that is empty or
// begins with a blank gives no row. The reference of the random test below agrees.
TEST(ListFileFormat, ParsesFiles) {
  const std::pair<QByteArray, Rows> cases[] = {
      {"a@bc.de   x \n b\n\nc", {{u"a@bc.de"_s, u"  x "_s}, {u"c"_s, u""_s}}},
      {"john smith@x.org S\tT", {{u"john"_s, u"smith@x.org S\tT"_s}}},
      {"a\tb c \r\nf y\rg\r", {{u"a\tb"_s, u"c "_s}, {u"f"_s, u"y"_s}, {u"g"_s, u""_s}}},
      {"\r\r\n\na\r\r\n b\n\nc d\n", {{u"a"_s, u""_s}, {u"c"_s, u"d"_s}}},
      {"j\xc3\xb6rg@x.org M\xc3\xa4rz(1/3/26) \n", {{u"jörg@x.org"_s, u"März(1/3/26) "_s}}},
  };
  for (const auto& [bytes, rows] : cases) {
    EXPECT_EQ(lists::ParseListFile(bytes), rows) << bytes.toHex().toStdString();
    EXPECT_EQ(oracle::ReadListLiterally(bytes), rows) << bytes.toHex().toStdString();
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
  for (const QString& typed : {u"a"_s + longest, u"john smith@x.org"_s, u"a@b.com\nc@d.com S(2/2/26)"_s,
                               u"a\r@b.com"_s, u"tab\t@x.org"_s, u"line\u2028sep@x.org"_s, u" "_s}) {
    EXPECT_EQ(std::make_pair(lists::StorableAddress(typed), lists::AddressProblem(typed).has_value()),
              std::make_pair(std::optional<QString>(), true))
        << typed.toStdString();
  }
  for (const auto& [typed, stored] :
       std::vector<std::pair<QString, QString>>{{u" a@bc.de  "_s, u"a@bc.de"_s},
                                                {u"no\u00a0break@x.org"_s, u"no\u00a0break@x.org"_s},
                                                {longest, longest}}) {
    SCOPED_TRACE(typed.toStdString());
    EXPECT_EQ(std::make_pair(lists::StorableAddress(typed), lists::AddressProblem(typed)),
              std::make_pair(std::optional(stored), std::optional<QString>()));
    EXPECT_EQ(
        lists::ParseListFile(platform::EncodeText(lists::FormatListLine(stored, u"S(1/1/26) "_s) + u"\n"_s)),
        (Rows{{stored, u"S(1/1/26) "_s}}));
  }
}

}  // namespace
