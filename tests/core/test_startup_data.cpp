// Start-up's data: the file-type table and the reading of the Preferences file.
#include <gtest/gtest.h>

#include "app/FileTypes.h"
#include "app/Preferences.h"

using app::FileType;
using app::FileTypes;

TEST(FileTypes, TheSixTypesInOrder) {
  FileTypes::Initialize();
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
  EXPECT_EQ(FileTypes::pAny(), expected[1]);
  EXPECT_EQ(FileTypes::pApplicationText(), expected[5]);
  for (const FileType& t : FileTypes::All()) {
    EXPECT_EQ(t.macType.size(), 4);
    EXPECT_EQ(t.macCreator.size(), 4);
  }
  FileTypes::Initialize();  // a second call keeps the one table
  EXPECT_EQ(FileTypes::All().size(), 6);
}

TEST(FileTypes, FindIgnoresCase) {
  FileTypes::Initialize();
  const std::vector<std::pair<QString, QString>> cases = {
      {"ANY", "Any"}, {"Any", "Any"}, {"text", "Text"}, {"Application/PDF", "application/pdf"}};
  for (const auto& [asked, found] : cases) {
    ASSERT_NE(FileTypes::Find(asked), nullptr) << asked.toStdString();
    EXPECT_EQ(FileTypes::Find(asked)->name, found);
  }
  EXPECT_EQ(FileTypes::Find("Anything"), nullptr);
  EXPECT_EQ(FileTypes::Find(""), nullptr);
}

TEST(FileTypes, MatchesFileNames) {
  FileTypes::Initialize();
  struct Case {
    const FileType& type;
    QString name;
    bool matches;
  };
  const std::vector<Case> cases = {
      {FileTypes::pAny(), "whatever.bin", true},       {FileTypes::pAny(), "folder", true},
      {FileTypes::pText(), "list.TXT", true},          {FileTypes::pText(), "list.txt.gz", false},
      {FileTypes::pApplicationText(), "README", true}, {FileTypes::pApplicationPdf(), "a.pdf", true},
      {FileTypes::pApplicationPdf(), "a.ps", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.type.Matches(c.name), c.matches) << c.name.toStdString();
}

TEST(Preferences, ReadsTheSevenLines) {
  const app::Preferences p =
      app::ParsePreferences({"smtp.host", "smtpuser", "smtppass", "True", "pop.host", "popuser", "poppass"});
  const app::Preferences expected{"smtp.host", "smtpuser", "smtppass", true,
                                  "pop.host",  "popuser",  "poppass"};
  EXPECT_EQ(p, expected);
}

TEST(Preferences, DuplicateTestIsOnOnlyWhenLineFourBeginsWithTrue) {
  const std::vector<std::pair<QString, bool>> cases = {
      {"True", true}, {"Truex", true},  {"True and more", true}, {"False", false},
      {"", false},    {" True", false}, {"Tru", false},          {"xTrue", false},
  };
  for (const auto& [line, on] : cases) {
    EXPECT_EQ(app::ParsePreferences({"", "", "", line}).xduplicates, on) << '"' << line.toStdString() << '"';
  }
}

TEST(Preferences, ShortFileReadsEmptyPastItsEnd) {
  const app::Preferences p = app::ParsePreferences({"smtp.host", "user"});
  const app::Preferences expected{"smtp.host", "user", "", false, "", "", ""};
  EXPECT_EQ(p, expected);
  EXPECT_EQ(app::ParsePreferences({}), app::Preferences());
}
