// Start-up's data: the file-type table and the reading of the Preferences file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/FileTypes.h"
#include "app/Preferences.h"
#include "support/TestSupport.h"

using app::FileType;
using app::FileTypes;

TEST(FileTypes, TheSixTypesInOrder) {
  FileTypes::Initialize();
  FileTypes::Initialize();  // a second call keeps the one table
  const QList<FileType> expected = {
      {"Text", ".asc;.ascii;.bas;.c;.class;.cp;.cpp;.h;.hp;.hpp;.i3;.java;.m2;.m3;.mak;.text;.txt", "TEXT",
       "????"},
      {"Any", "", "????", "????"},
      {"application/pdf", ".pdf", "PDF ", "CARO"},
      {"application/postscript", ".eps;.epsf;.ps", "EPSF", "vgrd"},
      {"application/rtf", ".rtf", "TEXT", "MSWD"},
      {"application/text", ".1st;.nfo;.readme;readme", "TEXT", "text"},
  };
  EXPECT_EQ(FileTypes::All(), expected);
}

TEST(FileTypes, FindIgnoresCaseAndTypesMatchFileNames) {
  FileTypes::Initialize();
  ASSERT_NE(FileTypes::Find("Application/PDF"), nullptr);
  EXPECT_EQ(FileTypes::Find("Application/PDF")->name, QString("application/pdf"));
  EXPECT_EQ(FileTypes::Find("Anything"), nullptr);
  EXPECT_EQ(FileTypes::Find(""), nullptr);
  struct Case {
    const FileType& type;
    QString name;
    bool matches;
  };
  const std::vector<Case> cases = {
      {FileTypes::pAny(), "folder", true},           {FileTypes::pText(), "list.TXT", true},
      {FileTypes::pText(), "list.txt.gz", false},    {FileTypes::pApplicationText(), "README", true},
      {FileTypes::pApplicationPdf(), "a.ps", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.type.Matches(c.name), c.matches) << c.name.toStdString();
}

TEST(Preferences, ReadsTheSevenLinesAndEmptyPastTheEnd) {
  const app::Preferences full{"smtp.host", "smtpuser", "smtppass", true, "pop.host", "popuser", "poppass"};
  EXPECT_EQ(
      app::ParsePreferences({"smtp.host", "smtpuser", "smtppass", "True", "pop.host", "popuser", "poppass"}),
      full);
  const app::Preferences shortFile{"smtp.host", "user", "", false, "", "", ""};
  EXPECT_EQ(app::ParsePreferences({"smtp.host", "user"}), shortFile);
  EXPECT_EQ(app::ParsePreferences({}), app::Preferences());
}

TEST(Preferences, DuplicateTestIsOnOnlyWhenLineFourBeginsWithTrue) {
  const std::vector<std::pair<QString, bool>> cases = {
      {"True", true},   {"True and more", true}, {"False", false}, {"", false},
      {" True", false}, {"Tru", false},          {"xTrue", false},
  };
  for (const auto& [line, on] : cases) {
    EXPECT_EQ(app::ParsePreferences({"", "", "", line}).xduplicates, on) << '"' << line.toStdString() << '"';
  }
}

// The file that OK writes holds the seven lines as typed (a line break in a value is kept
// on its line as a blank, or every later setting would move) and is readable by its owner
// only, whether new or replacing a file that allowed more. A failed write says so.
TEST(Preferences, WrittenPrivatelyInSevenLines) {
  QTemporaryDir dir;
  const QByteArray path = QFile::encodeName(dir.filePath("Preferences"));
  const std::pair<app::Preferences, QByteArray> cases[] = {
      {{}, "\n\n\nFalse\n\n\n\n"},
      {{"smtp.host", "me", " p w ", true, "", "pop\r\nuser", "x\ny"},
       "smtp.host\nme\n p w \nTrue\n\npop user\nx y\n"}};
  for (const auto& [settings, file] : cases) {
    ASSERT_EQ(app::WritePreferences(platform::FolderItem(dir.path()), settings), true);
    struct stat st {};
    ::stat(path.constData(), &st);
    EXPECT_EQ(std::make_pair(testing_support::ReadAll(dir.filePath("Preferences")), st.st_mode & 0777),
              std::make_pair(file, 0600u));
    ::chmod(path.constData(), 0666);
  }
  EXPECT_EQ(app::WritePreferences(platform::FolderItem(dir.filePath("Missing")), {}), false);
}
