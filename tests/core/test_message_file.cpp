// Stored messages: the two readers, the writer and the entity rewrite of the body.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <random>

#include "mailing/MessageFile.h"
#include "platform/EventLoop.h"
#include "platform/Text.h"
#include "support/ConvertHTMLTagsOracle.h"
#include "support/TestSupport.h"

using mailing::ChosenMessage;
using State = mailing::ChosenMessage::State;

namespace {

class MessageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    platform::FolderItem::SetAppFolderForTests(m_dir.path());
    QDir(m_dir.path()).mkdir("eMail");
  }
  void TearDown() override { platform::FolderItem::SetAppFolderForTests({}); }

  // Both readers of the message called name: what the send window shows, and the sender,
  // subject, body and result of the read for sending (body "untouched" when not read).
  struct Read {
    State state;
    QString from, subject;
    bool html;
    QString body;
    bool loaded;
    QString loadFrom, loadSubject, loadBody;
  };
  static Read ReadBoth(const QString& name) {
    const ChosenMessage c = mailing::ReadChosenMessage(mailing::MessageFolder(), name);
    Read r{c.state, c.from, c.subject, c.html, c.body, false, "x", "x", "untouched"};
    r.loaded = mailing::LoadEmail(mailing::MessageFolder(), name, r.loadFrom, r.loadSubject, r.loadBody);
    return r;
  }
  static void ExpectSame(const Read& got, const Read& want, const std::string& trace) {
    SCOPED_TRACE(trace);
    EXPECT_EQ(got.state, want.state);
    EXPECT_EQ(got.from, want.from);
    EXPECT_EQ(got.subject, want.subject);
    EXPECT_EQ(got.html, want.html);
    EXPECT_EQ(got.body, want.body);
    EXPECT_EQ(got.loaded, want.loaded);
    EXPECT_EQ(got.loadFrom, want.loadFrom);
    EXPECT_EQ(got.loadSubject, want.loadSubject);
    EXPECT_EQ(got.loadBody, want.loadBody);
  }

  QTemporaryDir m_dir;
};

// The readers agree on every file the writer makes and differ only on the line after the
// subject; missing and unreadable messages read as nothing.
TEST_F(MessageFileTest, ReadersOnTheLineAfterTheSubject) {
  struct Case {
    QByteArray file;
    Read want;
  };
  const Case cases[] = {
      {"A\nB\nHTML\nX\rY", {State::Read, "A", "B", true, "X\rY\r", true, "A", "B", "X\rY\r"}},
      {"A\r\nB\r\nPlain Text\r\nX\r\nY\r\n",
       {State::Read, "A", "B", false, "X\rY\r", true, "A", "B", "X\rY\r"}},
      {"A\nB\nHTML\n", {State::Read, "A", "B", true, "", true, "A", "B", ""}},
      {"A", {State::Read, "A", "", false, "", true, "A", "", ""}},
      {"\n\nPlain Text\nX", {State::Read, "", "", false, "X\r", true, "", "", "X\r"}},
      {"A\nB\nhtml\nX", {State::Read, "A", "B", false, "html\rX\r", true, "A", "B", "X\r"}},
      {"A\nB\nNotes\nX", {State::Read, "A", "B", false, "Notes\rX\r", true, "A", "B", "X\r"}},
      {"A\nB\n\nHTML\nX", {State::Read, "A", "B", false, "\rHTML\rX\r", true, "A", "B", "X\r"}},
  };
  for (const Case& c : cases) {
    testing_support::WriteAll(m_dir.filePath("eMail/Launch"), c.file);
    ExpectSame(ReadBoth("Launch"), c.want, c.file.toStdString());
  }
  QDir(m_dir.path()).mkpath("eMail/Folder");
  ExpectSame(ReadBoth("Folder"), {State::Unreadable, "", "", false, "", false, "", "", "untouched"},
             "folder");
  testing_support::WriteAll(m_dir.filePath("Secret"), "A\nB\nHTML\nX");
  for (const QString name : {"Gone", "", ".", "..", "../Secret", "\\..\\Secret"})
    ExpectSame(ReadBoth(name), {State::Missing, "", "", false, "", false, "", "", "untouched"},
               name.toStdString());
}

// Any message the writer stores reads back the same through both readers: the body's line
// breaks of any kind come back as carriage returns, with one after the last line, and a
// line break in the sender or subject, which have one line each, as a blank.
TEST_F(MessageFileTest, AWriteReadsBackAsTheSameMessage) {
  std::mt19937 random(2105);
  // Characters, a byte that is not UTF-8 (read back as it was) and a character outside the BMP.
  const QStringList units = QString::fromUtf8("a b ¡ S í , ñ ! \t < & > . é \U0001F600").split(' ')
                            << " " << QChar(0xDC80);
  const QStringList breaks = {"\r", "\n", "\r\n"};
  auto text = [&](int length, bool withBreaks) {
    QString t;
    for (int i = 0; i < length; ++i)
      t += withBreaks && random() % 6 == 0 ? breaks[random() % 3] : units[random() % units.size()];
    return t;
  };
  for (int round = 0; round < 300; ++round) {
    const QString name = QStringLiteral("Message %1 ¡ñ!").arg(round % 7);
    const mailing::StoredMessage message{text(random() % 8, round % 10 == 0),
                                         text(random() % 8, round % 10 == 1), random() % 2 == 0,
                                         text(random() % 30, true)};
    ASSERT_EQ(mailing::WriteMessageFile(mailing::MessageFolder(), name, message), true);
    QString body = message.body;
    body.replace("\r\n", "\r").replace('\n', '\r');
    if (!body.isEmpty() && !body.endsWith('\r')) body += '\r';
    const QString from = platform::OneLine(message.from), subject = platform::OneLine(message.subject);
    ExpectSame(ReadBoth(name), {State::Read, from, subject, message.html, body, true, from, subject, body},
               std::to_string(round));
  }
  // Each name replaced in place, no stray files.
  EXPECT_EQ(
      QDir(m_dir.filePath("eMail")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
      7);
}

// A name that would leave the eMail folder or break its listing stores nothing anywhere; a
// name in the way of the file (a folder) is a failed write.
TEST_F(MessageFileTest, NamesThatCannotBeStored) {
  QDir(m_dir.path()).mkpath("eMail/Folder");
  for (const QString name :
       {"", ".", "..", "../Launch", "a/b", "a\\b", "tab\there", "bell\x07", "next\u0085line", "Folder"}) {
    EXPECT_EQ(mailing::WriteMessageFile(mailing::MessageFolder(), name, {"A", "B", true, "X"}), false)
        << name.toStdString();
  }
  EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList({"eMail"}));
  EXPECT_EQ(QDir(m_dir.filePath("eMail")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList({"Folder"}));
}

// The one-pass rewrite gives the literal passes' text and reports, in their order: a
// character's reports all come before the next character's, capitals in their small
// letter's turn.
TEST(ConvertHTMLTags, AgreesWithTheLiteralPasses) {
  auto convert = [](const QString& text) {
    QStringList reports;
    const QString out = mailing::ConvertHTMLTags(text, [&](const QString& r) { reports << r; });
    return std::make_pair(out, reports);
  };
  const auto example = convert(QString::fromUtf8("¡Sí!"));
  EXPECT_EQ(example.first, QString("&iexcl;S&iacute;!"));
  EXPECT_EQ(example.second, QStringList({QString::fromUtf8("Changing í to &iacute;"),
                                         QString::fromUtf8("Changing ¡ to &iexcl;")}));
  const QString plain = QStringLiteral("no accents <b>&amp;</b> \r\n");
  EXPECT_EQ(convert(plain), std::make_pair(plain, QStringList()));

  std::mt19937 random(13);
  const QString alphabet = QString::fromUtf8("áéíóúÁÉÍÓÚñÑ¡aeAE&;!àÜçÅ\r") + QChar(0x212B) + QChar(0xDCE1) +
                           QChar(0xD835) + QChar(0xDC1A);
  for (int round = 0; round < 2000; ++round) {
    QString text;
    for (int n = static_cast<int>(random() % 40); n > 0; --n) text += alphabet[random() % alphabet.size()];
    QStringList literalReports;
    const QString literal = oracle::ConvertHTMLTagsLiterally(text, literalReports);
    EXPECT_EQ(convert(text), std::make_pair(literal, literalReports)) << text.toStdString();
  }
}

}  // namespace
