#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "MainWindowFixture.h"
#include "app/ui/LogView.h"
#include "lists/HistoryJournalFormat.h"
#include "lists/MailingLists.h"

using testing_support::WriteAll;

namespace {

class Startup : public MainWindowFixture {
 protected:
  // The exit code of the event loop run as main() runs it; -1 when it runs on for 5 seconds.
  static int EventLoopExitCode() {
    QTimer cutOff;
    QObject::connect(&cutOff, &QTimer::timeout, [] { QApplication::exit(-1); });
    cutOff.start(5000);
    return QApplication::exec();
  }
};

// The first start makes the Database folder and says so; the window comes up with its
// side bar and its autosave and send timers running (the about window in front: the menu
// tests' start).
TEST_F(Startup, FirstStartCreatesTheDatabaseFolder) {
  MainWindow* w = m_window = MainWindow::Instance();
  EXPECT_EQ(
      std::make_tuple(w->database.AbsolutePath(), QFileInfo(DatabasePath()).isDir(), LogRows(),
                      SideBarNames(), Changed(), m_quits, m_recorded.messages.size()),
      std::make_tuple(QDir(DatabasePath()).absolutePath(), true,
                      QStringList{Logged("Creating the Database folder.")}, QStringList(), false, 0, 0));
  EXPECT_EQ(std::make_tuple(w->isVisible(), w->SaveTimer->isActive(), w->SendTimer->isActive()),
            std::make_tuple(true, true, true));
}

// Later starts open the last list or report it gone, list it in the side bar, and clear
// the unsaved mark that the read left (the journal of mail sent since the last save).
TEST_F(Startup, LaterStartsOpenTheLastList) {
  using Case = std::tuple<QByteArray, bool, QString>;  // LastDatabase, the list there, status line
  const Case cases[] = {{{}, false, "Slug"},
                        {"Customers", true, "1 addresses"},
                        {"Customers", false, "The list \"Customers\" that was open last is gone."}};
  QDir(m_dir.path()).mkpath("Database");
  QByteArray journal;
  lists::AppendJournalLine(journal, "a@x.com", "News(1/2/26) ");
  for (const auto& [last, listThere, slug] : cases) {
    SCOPED_TRACE("last list \"" + last.toStdString() + (listThere ? "\", there" : "\", not there"));
    QFile::remove(DatabasePath() + "/Customers");
    if (listThere) WriteAll(DatabasePath() + "/Customers", "a@x.com \n");
    if (listThere) WriteAll(DatabasePath() + "/.Customers.velmora-journal", journal);
    if (!last.isNull()) WriteAll(DatabasePath() + "/LastDatabase", last);
    m_window = MainWindow::Instance();
    EXPECT_EQ(
        std::make_tuple(m_window->Slug->text(), SideBarNames(), Changed(), QString(m_window->lastopen)),
        std::make_tuple(slug, listThere ? QStringList{"Customers*"} : QStringList(), false, QString(last)));
    CloseAll();
  }
}

// A last list's name that is there but cannot be read is reported, and no list is opened.
// (Settings that cannot be read: the preferences window's test.)
TEST_F(Startup, AnUnreadableLastListNameIsReported) {
  QDir(m_dir.path()).mkpath("Database");
  ASSERT_EQ(QFile::link("/proc/self/mem", DatabasePath() + "/LastDatabase"), true);  // a read error
  m_window = MainWindow::Instance();
  EXPECT_EQ(std::make_pair(m_window->Slug->text(), m_window->OpenList().File().IsNull()),
            std::make_pair("Could not read " + DatabasePath() +
                               "/LastDatabase (Input/output error); no list was opened.",
                           true));
}

// A Database that is no folder (a link to nothing) or cannot be made (a file comes first)
// is reported and left as it is, and the program ends there.
TEST_F(Startup, AnUnusableDatabaseIsReportedAndQuits) {
  const QString path = DatabasePath();
  const auto fileAtFirstReport = [&] {
    // The clock is first read for the time of the first report.
    platform::SetClockForTests([path] {
      QFile(path).open(QIODevice::WriteOnly);
      return QDateTime(QDate(2026, 5, 4), QTime(13, 14, 15));
    });
    return true;
  };
  const std::pair<std::function<bool()>, QStringList> cases[] = {
      {[&] { return QFile::link(m_dir.filePath("gone"), path); }, {}},
      {fileAtFirstReport,
       {Logged("Could not create the Database folder " + path + ": File exists."),
        Logged("Creating the Database folder.")}}};
  for (const auto& [make, log] : cases) {
    SCOPED_TRACE(log.isEmpty() ? "a link to nothing" : "a file made at the first report");
    ASSERT_EQ(make(), true);
    m_window = MainWindow::Instance();
    EXPECT_EQ(LogRows(), log);
    EXPECT_EQ(m_recorded.messages.size() == 1 && m_recorded.messages.takeFirst().startsWith(
                                                     "The 'Database' item beside Velmora is not a folder"),
              true);
    EXPECT_EQ(std::make_tuple(Windows<AboutWindow>().size(), QFileInfo(path).isDir(), EventLoopExitCode()),
              std::make_tuple(0, false, App::kRefusedStartExitCode));
    CloseAll();
    QFile::remove(path);
  }
}

// A window deleted while start-up yields ends the start-up there.
TEST_F(Startup, WindowGoneDuringStartUpEndsIt) {
  testing_support::YieldEveryStep yielding;
  QDir(m_dir.path()).mkpath("Database");
  WriteAll(DatabasePath() + "/Customers", "a@x.com \n");
  for (const QByteArray last : {"Customers", "Gone"}) {
    WriteAll(DatabasePath() + "/LastDatabase", last);
    QTimer::singleShot(0, [] { delete MainWindow::Existing(); });
    EXPECT_EQ(std::make_tuple(MainWindow::Instance(), Windows<AboutWindow>().size()),
              std::make_tuple(nullptr, 0))
        << (last == "Gone" ? "deleted while the side bar fills" : "deleted while the list opens");
  }
}

// Text and any file are taken; other data is not.
TEST_F(Startup, AcceptsDroppedTextAndEveryFile) {
  m_window = MainWindow::Instance();
  QMimeData text, file, image;
  text.setText("someone@example.com");
  file.setUrls({QUrl::fromLocalFile("/tmp/anything.bin")});
  image.setImageData(QImage(1, 1, QImage::Format_RGB32));
  EXPECT_EQ(
      QList<bool>({m_window->AcceptsDrop(text), m_window->AcceptsDrop(file), m_window->AcceptsDrop(image)}),
      QList<bool>({true, true, false}));
}

// One row at most is selected; the scroll range follows the rows without scrolling.
TEST(LogViewTest, SelectionAndScrollRange) {
  app::MessageLog log;
  LogView view;
  view.resize(300, 100);
  view.SetModel(&log);
  for (const char* text : {"a", "b", "c"}) log.InsertAtTop(text);  // rows: c b a
  view.show();
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(5, view.RowHeight() + 1));
  ASSERT_EQ(view.SelectedRow(), 1);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(5, 1));
  EXPECT_EQ(view.SelectedRow(), 0);
  QTest::keyClick(&view, Qt::Key_End);
  EXPECT_EQ(view.SelectedRow(), 2);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(5, 90));
  EXPECT_EQ(view.SelectedRow(), -1);  // below the last row

  for (int i = 0; i < 1000; ++i) log.InsertAtTop(QString::number(i));
  const int range = 1003 - view.viewport()->height() / view.RowHeight();
  testing_support::WaitUntil([&] { return view.verticalScrollBar()->maximum() == range; });
  EXPECT_EQ(view.verticalScrollBar()->maximum(), range);
  EXPECT_EQ(view.TopRow(), 0);
}

}  // namespace
