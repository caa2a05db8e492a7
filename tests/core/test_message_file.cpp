// Stored messages: the two readers and the writer. The entity rewrite of the body is
// checked against its literal passes by the message-file fuzz target.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <random>

#include "mailing/MessageFile.h"
#include "platform/Text.h"
#include "support/TestSupport.h"

namespace {

class MessageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::FolderItem::SetAppFolderForTests(m_dir.path());
    QDir(m_dir.path()).mkpath("eMail/Folder");
  }
  void TearDown() override { platform::FolderItem::SetAppFolderForTests({}); }

  // What both readers make of the message: the send window's state ("0" missing, "1"
  // unreadable, "2" read, "3" too large), sender, subject, HTML and body; then the sending read's result,
  // sender, subject and body ("-" when it left the body alone).
  static QStringList ReadBoth(const QString& name) {
    const mailing::ChosenMessage c = mailing::ReadChosenMessage(mailing::MessageFolder(), name);
    QString from, subject, body = "-";
    const bool loaded = mailing::LoadEmail(mailing::MessageFolder(), name, from, subject, body);
    QStringList read = {QString::number(int(c.state)), c.from, c.subject, c.html ? "HTML" : "", c.body};
    return read << (loaded ? "True" : "") << from << subject << body;
  }
  QStringList Entries(const QString& folder) const {
    return QDir(m_dir.filePath(folder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  }

  QTemporaryDir m_dir;
};

// The readers differ only on the line after the subject; missing and unreadable messages,
// and names outside the folder, read as nothing.
TEST_F(MessageFileTest, ReadersOnTheLineAfterTheSubject) {
  const std::vector<std::pair<QByteArray, QStringList>> cases = {
      {"A\nB\nHTML\nX\rY", {"2", "A", "B", "HTML", "X\rY\r", "True", "A", "B", "X\rY\r"}},
      {"A\r\nB\r\nPlain Text\r\nX\r\n", {"2", "A", "B", "", "X\r", "True", "A", "B", "X\r"}},
      {"A\nB\nHTML\n", {"2", "A", "B", "HTML", "", "True", "A", "B", ""}},
      {"A", {"2", "A", "", "", "", "True", "A", "", ""}},
      {"\n\nPlain Text\nX", {"2", "", "", "", "X\r", "True", "", "", "X\r"}},
      {"A\nB\nhtml\nX", {"2", "A", "B", "", "html\rX\r", "True", "A", "B", "X\r"}},
      {"A\nB\n\nHTML\nX", {"2", "A", "B", "", "\rHTML\rX\r", "True", "A", "B", "X\r"}},
  };
  for (const auto& [file, read] : cases) {
    testing_support::WriteAll(m_dir.filePath("eMail/Launch"), file);
    EXPECT_EQ(ReadBoth("Launch"), read) << file.toStdString();
  }
  EXPECT_EQ(ReadBoth("Folder"), QStringList({"1", "", "", "", "", "", "", "", "-"}));
  testing_support::WriteAll(m_dir.filePath("Secret"), "A\nB\nHTML\nX");
  for (const QString name : {"Gone", "", "..", "../Secret"})
    EXPECT_EQ(ReadBoth(name), QStringList({"0", "", "", "", "", "", "", "", "-"})) << name.toStdString();
}

// What the writer stores reads back the same through both readers; names that would leave
// the folder or break its listing store nothing; a folder in the way fails.
TEST_F(MessageFileTest, AWriteReadsBackAsTheSameMessage) {
  std::mt19937 random(2105);
  const QStringList units = QString::fromUtf8("a|¡|í|ñ| |\t|<|&|\U0001F600|\r|\n|\r\n").split('|')
                            << QChar(0xDC80);
  auto text = [&](int length, size_t kinds) {
    QString t;
    while (length-- > 0) t += units[random() % kinds];
    return t;
  };
  for (int round = 0; round < 300; ++round) {
    const QString name = QStringLiteral("Message %1 ¡ñ!").arg(round % 7);
    const bool html = random() % 2;
    const mailing::StoredMessage m{text(random() % 6, round % 9 ? 9 : 13), text(random() % 6, 13), html,
                                   text(random() % 30, 13)};
    ASSERT_EQ(mailing::WriteMessageFile(mailing::MessageFolder(), name, m).Ok(), true);
    QString body = m.body;
    body.replace("\r\n", "\r").replace('\n', '\r');
    if (!body.isEmpty() && !body.endsWith('\r')) body += '\r';
    const QString from = platform::OneLine(m.from), subject = platform::OneLine(m.subject);
    EXPECT_EQ(ReadBoth(name),
              QStringList({"2", from, subject, html ? "HTML" : "", body, "True", from, subject, body}));
  }
  for (const QString name :
       {"", ".", "..", "../Launch", "a/b", "a\\b", "tab\t", "bell\x07", "c1\u0085", "Folder"})
    EXPECT_EQ(mailing::WriteMessageFile(mailing::MessageFolder(), name, {}).Ok(), false)
        << name.toStdString();
  EXPECT_EQ(Entries(""), QStringList({"eMail"}));
  EXPECT_EQ(Entries("eMail").size(), 8);  // each name replaced in place, nothing else
}

// A message file may take up to the largest size: written at it, it reads back; one byte
// more is not written (the old file stays) and not read.
TEST_F(MessageFileTest, MessagesUpToTheLargestSize) {
  const qsizetype header = QByteArray("A\nB\nPlain Text\n").size();
  mailing::StoredMessage m{"A", "B", false, QString(mailing::kMaxMessageFileBytes - header, 'x')};
  bool tooLarge = true;
  ASSERT_EQ(mailing::WriteMessageFile(mailing::MessageFolder(), "Big", m, &tooLarge).Ok() && !tooLarge, true);
  QString from, subject, body;
  const bool loaded = mailing::LoadEmail(mailing::MessageFolder(), "Big", from, subject, body);
  EXPECT_EQ(std::make_pair(loaded, body.size()), std::make_pair(true, m.body.size() + 1));
  m.body += "x";
  EXPECT_EQ(
      std::make_pair(mailing::WriteMessageFile(mailing::MessageFolder(), "Big", m, &tooLarge).Ok(), tooLarge),
      std::make_pair(false, true));
  QFile big(m_dir.filePath("eMail/Big"));
  ASSERT_EQ(big.size() == mailing::kMaxMessageFileBytes && big.open(QIODevice::Append) && big.write("y") == 1,
            true);
  big.close();
  EXPECT_EQ(ReadBoth("Big"), QStringList({"3", "", "", "", "", "", "", "", "-"}));
}

}  // namespace
