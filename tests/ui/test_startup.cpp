#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLockFile>
#include <QTabWidget>

#include "MainWindowFixture.h"
#include "app/MessageLog.h"
#include "lists/MailingLists.h"
#include "support/TestSupport.h"

using testing_support::WriteAll;

namespace {

class Startup : public MainWindowFixture {
 protected:
  // Records the start-up's calls into later subsystems, in order.
  void RecordHooks() {
    auto& hooks = MainWindowHooks::Installed();
    hooks.createSideBar = [this](MainWindow&) -> QWidget* {
      m_calls << "createSideBar";
      m_sideBar = new QWidget;
      m_sideBar->setObjectName("SideBar");
      m_sideBar->show();
      return m_sideBar;
    };
    hooks.openDatabase = [this](MainWindow& w, const QString& name) {
      m_calls << "openDatabase:" + name;
      w.Changed = true;  // reading a list may mark it; start-up clears the mark after
    };
    hooks.updateLists = [this](MainWindow&) { m_calls << "updateLists"; };
  }

  void TearDown() override {
    delete m_sideBar;
    MainWindowFixture::TearDown();
  }

  QStringList m_calls;
  QPointer<QWidget> m_sideBar;
};

TEST_F(Startup, FirstStartCreatesTheDatabaseFolder) {
  RecordHooks();
  MainWindow* w = MainWindow::Instance();
  EXPECT_TRUE(QFileInfo(DatabasePath()).isDir());
  EXPECT_EQ(w->database.AbsolutePath(), QDir(DatabasePath()).absolutePath());
  ASSERT_EQ(w->UserMessagesLog().Count(), 1);
  EXPECT_EQ(w->UserMessagesLog().Row(0), Logged("Creating the Database folder."));
  EXPECT_EQ(w->Slug->text(), QString("Creating the Database folder."));
  // Nothing to read: settings empty, no list, no POP3 log-in.
  EXPECT_EQ(m_calls, QStringList({"createSideBar", "updateLists"}));
  EXPECT_EQ(w->server, QString());
  EXPECT_EQ(w->popusername, QString());
  EXPECT_FALSE(w->xduplicates);
  EXPECT_EQ(w->lastopen, QString());
  EXPECT_TRUE(w->existingfile.IsNull());
  EXPECT_FALSE(w->Changed);
  EXPECT_EQ(m_quits, 0);
  EXPECT_EQ(m_recorded.messages, QStringList());
  // Sized and laid out, side bar docked to the right edge.
  EXPECT_EQ(w->Width(), 475);
  EXPECT_EQ(w->Height(), 370);
  ASSERT_EQ(w->SideBar.data(), m_sideBar.data());
  EXPECT_EQ(m_sideBar->geometry(), QRect(w->geometry().x() + 476, w->geometry().y(), 170, 370));
  EXPECT_TRUE(w->acceptDrops());
  // The about window in front of a visible main window.
  EXPECT_TRUE(w->isVisible());
  ASSERT_EQ(AboutWindows().size(), 1);
  EXPECT_TRUE(AboutWindows().first()->isVisible());
}

TEST_F(Startup, SecondStartDoesNotReportTheFolder) {
  QDir(m_dir.path()).mkpath("Database");
  MainWindow* w = MainWindow::Instance();
  EXPECT_EQ(w->UserMessagesLog().Count(), 0);
  EXPECT_EQ(w->Slug->text(), QString("Slug"));
}

TEST_F(Startup, UnwritableDatabaseShowsTheMessageAndQuits) {
  // A folder no one may write in, even the superuser.
  const QString locked = QStringLiteral("/proc/self");
  platform::FolderItem::SetAppFolderForTests(locked);
  if (platform::FolderItem::GetFolderItem("Database").IsWriteable()) GTEST_SKIP() << "no unwritable folder";
  RecordHooks();
  MainWindow* w = MainWindow::Instance();
  EXPECT_EQ(
      m_recorded.messages,
      QStringList({"Permissions on this volume are not set to writeable for this user. Please move Velmora "
                   "and it's 'Database' and 'eMail' folders to a new location (i.e. Desktop). This "
                   "application will shut down now."}));
  EXPECT_EQ(m_quits, 1);
  // Start-up stops there: nothing created, read or opened.
  EXPECT_EQ(w->UserMessagesLog().Count(), 0);
  EXPECT_EQ(m_calls, QStringList({"createSideBar"}));
  EXPECT_EQ(AboutWindows().size(), 0);
}

// Anything but a folder in the Database folder's place (a file, a pipe, a link to nothing)
// is reported at start-up, as an unwritable folder is, and left as it is. A folder that
// cannot be made (another program puts a file in its place first) is reported on the status
// line as well.
TEST_F(Startup, DatabaseThatIsNoFolderIsReported) {
  const QString path = DatabasePath();
  const auto fileAtFirstReport = [&] {
    auto& hook = MainWindowHooks::Installed().createSideBar;
    hook = [path, side = hook](MainWindow& w) {
      QObject::connect(&w.UserMessagesLog(), &QAbstractItemModel::rowsInserted, &w,
                       [path] { QFile(path).open(QIODevice::WriteOnly); });
      return side(w);
    };
    return true;
  };
  const struct {
    std::function<bool()> make;
    QStringList log;
  } cases[] = {{[&] { return QFile(path).open(QIODevice::WriteOnly); }, {}},
               {[&] { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }, {}},
               {[&] { return QFile::link(m_dir.filePath("gone"), path); }, {}},
               {fileAtFirstReport,
                {Logged("Could not create the Database folder " + path + "."),
                 Logged("Creating the Database folder.")}}};
  for (const auto& [make, log] : cases) {
    RecordHooks();
    ASSERT_EQ(make(), true);
    m_window = MainWindow::Instance();
    EXPECT_EQ(LogRows(), log);
    ASSERT_EQ(m_recorded.messages.size(), 1);
    EXPECT_EQ(
        m_recorded.messages.takeFirst().startsWith("The 'Database' item beside Velmora is not a folder"),
        true);
    EXPECT_EQ(m_calls, QStringList({"createSideBar"}));
    EXPECT_EQ(QFileInfo(path).isDir(), false);
    CloseAll();
    delete m_sideBar;
    m_calls.clear();
    QFile::remove(path);
  }
  EXPECT_EQ(m_quits, 4);
}

// A second copy of the program on the same Database folder says so and quits before it
// reads, writes or clears anything there. The first copy's lock goes with its window; the
// next copy then removes what an interrupted save left behind.
TEST_F(Startup, OneCopyAtATimeOnTheDatabaseFolder) {
  QDir(m_dir.path()).mkpath("Database");
  WriteAll(DatabasePath() + "/LastDatabase", "Customers");
  const QString stale = DatabasePath() + "/.Customers.velmora-save-1x.tmp";
  WriteAll(stale, "half a save");
  const QString lockPath = DatabasePath() + "/" + lists::kDatabaseLockName;
  QLockFile otherCopy(lockPath);
  otherCopy.setStaleLockTime(0);
  ASSERT_EQ(otherCopy.tryLock(), true);
  RecordHooks();
  MainWindow::Instance();
  ASSERT_EQ(m_recorded.messages.size(), 1);
  EXPECT_EQ(m_recorded.messages.first().startsWith("Another copy of Velmora is using the 'Database' folder."),
            true);
  EXPECT_EQ(m_quits, 1);
  EXPECT_EQ(m_calls, QStringList({"createSideBar"}));
  EXPECT_EQ(AboutWindows().size(), 0);
  EXPECT_EQ(QFile::exists(stale), true);
  CloseAll();
  otherCopy.unlock();

  MainWindow::Instance();
  EXPECT_EQ(m_quits, 1);
  EXPECT_EQ(QFile::exists(stale), false);
  EXPECT_EQ(testing_support::ReadAll(DatabasePath() + "/LastDatabase"), QByteArray("Customers"));
  EXPECT_EQ(otherCopy.tryLock(), false);
  CloseAll();
  EXPECT_EQ(otherCopy.tryLock(), true);
}

// LastDatabase naming a list that is no longer there: the status line says so.
TEST_F(Startup, LastListGoneIsReported) {
  QDir(m_dir.path()).mkpath("Database");
  WriteAll(DatabasePath() + "/LastDatabase", "Customers");
  EXPECT_EQ(MainWindow::Instance()->Slug->text(),
            QString("The list \"Customers\" that was open last is gone."));
}

TEST_F(Startup, ReadsTheSevenPreferencesLines) {
  WritePreferences("smtp.example.net\nsmtp-user\nsmtp-pass\nTrue\npop.example.net\npop-user\npop-pass\n");
  RecordHooks();
  MainWindow* w = MainWindow::Instance();
  EXPECT_EQ(w->server, QString("smtp.example.net"));
  EXPECT_EQ(w->username, QString("smtp-user"));
  EXPECT_EQ(w->password, QString("smtp-pass"));
  EXPECT_TRUE(w->xduplicates);
  EXPECT_EQ(w->popserver, QString("pop.example.net"));
  EXPECT_EQ(w->popusername, QString("pop-user"));
  EXPECT_EQ(w->poppassword, QString("pop-pass"));
  EXPECT_EQ(m_calls, QStringList({"createSideBar", "updateLists"}));
}

TEST_F(Startup, FourthPreferencesLineSetsTheDuplicateTest) {
  const std::vector<std::pair<QByteArray, bool>> cases = {
      {"True", true}, {"Truex", true}, {"False", false}, {"", false}, {" True", false}};
  for (const auto& [line, on] : cases) {
    WritePreferences("s\nu\np\n" + line + "\r\n\n\n\n");
    MainWindow* w = MainWindow::Instance();
    EXPECT_EQ(w->xduplicates, on) << '"' << line.toStdString() << '"';
    CloseAll();
  }
}

TEST_F(Startup, ShortPreferencesFileLeavesTheRestEmpty) {
  WritePreferences("smtp.example.net\nuser");
  MainWindow* w = MainWindow::Instance();
  EXPECT_EQ(w->server, QString("smtp.example.net"));
  EXPECT_EQ(w->username, QString("user"));
  EXPECT_EQ(w->password, QString());
  EXPECT_FALSE(w->xduplicates);
  EXPECT_EQ(w->poppassword, QString());
}

TEST_F(Startup, OpensTheLastListAndClearsChanged) {
  QDir(m_dir.path()).mkpath("Database");
  WriteAll(DatabasePath() + "/LastDatabase", "Customers");
  RecordHooks();
  MainWindow* w = MainWindow::Instance();
  EXPECT_EQ(w->lastopen, QString("Customers"));
  EXPECT_EQ(m_calls, QStringList({"createSideBar", "openDatabase:Customers", "updateLists"}));
  EXPECT_FALSE(w->Changed);
}

// Opening the last list and filling the side bar yield: a window closed and deleted
// meanwhile ends the start-up there, with nothing more done to it.
TEST_F(Startup, WindowGoneDuringStartUpEndsIt) {
  QDir(m_dir.path()).mkpath("Database");
  WriteAll(DatabasePath() + "/LastDatabase", "Customers");
  for (const char* step : {"openDatabase", "updateLists"}) {
    SCOPED_TRACE(step);
    RecordHooks();
    auto& hooks = MainWindowHooks::Installed();
    if (QString(step) == "openDatabase") {
      hooks.openDatabase = [](MainWindow& w, const QString&) { delete &w; };
    } else {
      hooks.updateLists = [](MainWindow& w) { delete &w; };
    }
    EXPECT_EQ(MainWindow::Instance(), nullptr);
    EXPECT_EQ(AboutWindows().size(), 0);
    delete m_sideBar;
  }
}

TEST_F(Startup, ReachingAClosedMainWindowStartsAgain) {
  RecordHooks();
  MainWindow* first = MainWindow::Instance();
  EXPECT_EQ(MainWindow::Instance(), first);  // the one instance while it lives
  EXPECT_EQ(m_calls.count("createSideBar"), 1);
  delete first;
  delete m_sideBar;
  EXPECT_EQ(MainWindow::Existing(), nullptr);
  MainWindow* second = MainWindow::Instance();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(m_calls.count("createSideBar"), 2);
  EXPECT_EQ(AboutWindows().size(), 2);
}

}  // namespace
