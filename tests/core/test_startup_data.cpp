// The reading and writing of the Preferences file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>

#include "app/Preferences.h"
#include "support/TestSupport.h"

// Lines past the end of a short file read as empty; the duplicate test is on only when
// the fourth line begins with "True".
TEST(Preferences, ReadsSevenLines) {
  EXPECT_EQ(app::ParsePreferences({"s", "u", "p", "True", "ps", "pu", "pp"}),
            (app::Preferences{"s", "u", "p", true, "ps", "pu", "pp"}));
  EXPECT_EQ(app::ParsePreferences({"s", "u"}), (app::Preferences{"s", "u", "", false, "", "", ""}));
  for (const auto& [line, on] : std::vector<std::pair<QString, bool>>{
           {"True and more", true}, {"False", false}, {" True", false}, {"Tru", false}, {"xTrue", false}}) {
    EXPECT_EQ(app::ParsePreferences({"", "", "", line}).xduplicates, on) << line.toStdString();
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
