// The preferences window over a real main window (offscreen): OK keeps the settings for
// this session and the next, starts the POP3 log-in, and Select All.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "MainWindowFixture.h"
#include "app/CommandRouter.h"
#include "app/ui/MainWindowSettings.h"
#include "mailing/ui/PreferencesWindow.h"
#include "platform/POP3Socket.h"

using testing_support::ReadAll;

namespace {

class PreferencesWindowTest : public MainWindowFixture {
 protected:
  PreferencesWindow* Open() {
    m_window->_FilePreferences_Action();
    return m_window->findChild<PreferencesWindow*>();
  }
};

// The window opens with the settings in force; OK applies the fields at once, starts the
// log-in for any POP3 user name but the empty one, and keeps them in the file that the next
// start reads back. A file that cannot be written is reported and changes nothing else.
TEST_F(PreferencesWindowTest, OkAppliesStoresAndLogsIn) {
  WritePreferences("smtp.old\nme\nold\nTrue\n\n\n\n");
  const app::Preferences first{"smtp.x.org", "me", "pass word", false, "pop.x.org", " ", "pop pass"};
  const app::Preferences second{"", "", "", true, "", "", ""};
  struct Case {
    app::Preferences settings;
    bool fileInTheWay;
    int port;  // where POPSocket was pointed
  };
  for (const Case& c : {Case{first, false, 110}, Case{second, false, 0}, Case{first, true, 110}}) {
    m_window = MainWindow::Instance();
    QPointer<PreferencesWindow> w = Open();
    const app::Preferences shown = w->Settings();
    EXPECT_EQ(shown, SettingsOf(*m_window));
    w->SetSettings(c.settings);
    if (c.fileInTheWay) {
      QFile::remove(DatabasePath() + "/Preferences");
      QDir(DatabasePath()).mkdir("Preferences");
    }
    m_window->POPSocket->SetPort(0);  // start-up may have started a log-in of its own
    m_window->POPSocket->SetAddress({});
    w->PushButton1->click();
    EXPECT_EQ(SettingsOf(*m_window), c.settings);
    EXPECT_EQ(m_window->POPSocket->Port(), c.port);
    EXPECT_EQ(m_window->POPSocket->Address(), c.port ? c.settings.popserver : QString());
    EXPECT_EQ(m_window->Slug->text().contains(DatabasePath() + "/Preferences"), c.fileInTheWay);
    EXPECT_EQ(testing_support::WaitUntil([&] { return w.isNull(); }), true);
    CloseAll();
    m_window = MainWindow::Instance();
    EXPECT_EQ(SettingsOf(*m_window), c.fileInTheWay ? app::Preferences() : c.settings);
    CloseAll();
  }
}

// Select All selects the text of the three SMTP fields, wherever the cursor is, and leaves
// the POP3 fields alone.
TEST_F(PreferencesWindowTest, SelectAllSelectsTheSmtpFields) {
  m_window = MainWindow::Instance();
  PreferencesWindow* w = Open();
  w->SetSettings({"smtp.x.org", "me", "secret", false, "pop.x.org", "popme", "popsecret"});
  w->POPUsername->setFocus();
  w->POPUsername->setSelection(1, 2);
  app::CommandRouter::Instance().Dispatch(w, "EditSelectAll");
  for (QLineEdit* field : {w->Server, w->Username, w->Password})
    EXPECT_EQ(field->selectedText(), field->text());
  EXPECT_EQ(w->POPUsername->selectedText(), QString("op"));
  EXPECT_EQ(w->POPServer->selectedText(), QString());
}

}  // namespace
