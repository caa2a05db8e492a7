// The send window over a real main window (offscreen): listing, storing and queueing or
// marking the selected addresses, the arrow keys, and the main window going away.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "MainWindowFixture.h"
#include "mailing/ui/PreferencesWindow.h"
#include "mailing/ui/SendWindow.h"
#include "platform/EventLoop.h"
#include "platform/ui/Listbox.h"

using testing_support::ReadAll;
using testing_support::WaitUntil;
using testing_support::WriteAll;

namespace {

struct Row {
  QString address, mailings;
  bool selected;
};

// ann and cat may be mailed, ann twice; the others are marked or not selected.
const std::vector<Row> kRows = {{"ann@x.org", "", true},
                                {"bob@x.org", "Black Listed", true},
                                {"cat@x.org", "News(1/2/26) ", true},
                                {"dan@x.org", "", false},
                                {"ann@x.org", "", true},
                                {"eve@x.org", "Opted Out", true},
                                {"fay@x.org", "News(1/2/26) Black Listed", true}};
const QStringList kMailed = {"ann@x.org", "cat@x.org", "ann@x.org"};

class SendWindowTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    mailing::ui::InstallSendWindowHook();
    StartCountingSaves();
    m_window->SendTimer->stop();  // the queue stays as the window leaves it
    for (const Row& r : kRows) {
      m_window->elist->AddRow(QStringList{r.address, r.mailings});
      m_window->elist->SetSelected(m_window->elist->LastIndex(), r.selected);
    }
    m_recorded.clipboard = "before";
  }

  QString EMail(const QString& name = {}) const { return m_dir.filePath("eMail/" + name); }

  // Opens the window by the toolbar's Send with this SMTP server set.
  SendWindow* Open(const QString& server) {
    m_window->server = server;
    m_window->ToolbarItem1[0]->trigger();
    return Current();
  }
  SendWindow* Current() const {
    for (SendWindow* w : m_window->findChildren<SendWindow*>())
      if (w->isVisible()) return w;
    return nullptr;
  }
  QStringList Column(platform::Listbox* list, int column) const {
    QStringList cells;
    for (int r = 0; r < list->ListCount(); ++r) cells << list->Cell(r, column);
    return cells;
  }
  QStringList Popup(SendWindow* w) const {
    QStringList rows;
    for (int i = 0; i < w->emails->count(); ++i) rows << w->emails->itemText(i);
    return rows;
  }
};

// The window creates a missing eMail folder and says so, lists every entry but
// ".DS_Store" without choosing one, and covers the fields with the warning when no SMTP
// server is set. The menu opens it only for a selection; the toolbar always.
TEST_F(SendWindowTest, Opening) {
  SendWindow* w = Open("smtp.x.org");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(LogRows().first(), Logged("Creating the eMails folder."));
  EXPECT_EQ(QFileInfo(EMail()).isDir(), true);
  EXPECT_EQ(Popup(w), QStringList());
  EXPECT_EQ(w->Warning->isVisible(), false);
  w->close();

  for (const char* name : {".DS_Store", ".hidden", "Launch", "News"}) WriteAll(EMail(name), "A\nB\nHTML\nX");
  w = Open("");
  EXPECT_EQ(Popup(w), QStringList({".hidden", "Launch", "News"}));
  EXPECT_EQ(w->emails->currentIndex(), -1);
  EXPECT_EQ(w->Warning->isVisible(), true);
  EXPECT_EQ(w->Body->isVisible(), false);
  EXPECT_EQ(w->Name->isVisible(), true);
  w->close();

  m_window->elist->Model()->SetAllSelected(false);
  m_window->_AddressesSendeMail_Action();
  EXPECT_EQ(m_recorded.messages, QStringList({"Please select a destination address..."}));
  EXPECT_EQ(Current(), nullptr);
}

// OK stores the message (body converted, a carriage return between its lines), then
// queues the selected sendable rows after the earlier ones and starts the mailing's count.
TEST_F(SendWindowTest, OkStoresAndQueues) {
  m_window->CheckList->AddRow(QStringList{"old@x.org", "Old", "Plain Text", "Waiting"});
  m_window->mailssent = 7;
  SendWindow* w = Open("smtp.x.org");
  w->Name->setText("Launch");
  w->From->setText("me@x.org");
  w->Subject->setText(QString::fromUtf8("¡Hola!"));
  w->Body->setPlainText(QString::fromUtf8("¡Hola!\nSí"));
  w->HTMLcoded->setChecked(true);
  w->PushButton1->click();

  EXPECT_EQ(ReadAll(EMail("Launch")), QByteArray("me@x.org\n\xc2\xa1Hola!\nHTML\n&iexcl;Hola!\rS&iacute;"));
  EXPECT_EQ(LogRows().mid(0, 2), QStringList({Logged(QString::fromUtf8("Changing ¡ to &iexcl;")),
                                              Logged(QString::fromUtf8("Changing í to &iacute;"))}));
  EXPECT_EQ(Column(m_window->CheckList, 0), QStringList{"old@x.org"} + kMailed);
  for (int c : {1, 2, 3})
    EXPECT_EQ(Column(m_window->CheckList, c).mid(1),
              QStringList(3, QStringList{"", "Launch", "HTML", "Queued"}[c]));
  EXPECT_EQ(m_recorded.clipboard, kMailed.join(", "));
  EXPECT_EQ(m_window->mailssent, 0);
  EXPECT_EQ(m_window->starttime->Moment(), platform::Date().Moment());
  EXPECT_EQ(m_window->ProgressBar1->maximum(), 4);
  EXPECT_EQ(m_window->Changed, false);
  EXPECT_EQ(Current(), nullptr);
}

// Without a server OK, and with one Copy to Clipboard, mark the rows at once: one history
// entry each, all of one date even when the day turns meanwhile, nothing queued.
TEST_F(SendWindowTest, ClipboardModeMarksTheRows) {
  static int reads = 0;
  platform::SetClockForTests([&] { return QDateTime(QDate(2026, 5, 4 + reads++ % 20), QTime(23, 59)); });
  for (const bool copyButton : {false, true}) {
    SCOPED_TRACE(copyButton);
    m_window->Changed = false;
    const QStringList before = Column(m_window->elist, 1);
    SendWindow* w = Open(copyButton ? "smtp.x.org" : "");
    w->Name->setText("Launch");
    (copyButton ? w->PushButton3 : w->PushButton1)->click();

    const QStringList after = Column(m_window->elist, 1);
    const QString entry = after[0].mid(before[0].size());
    EXPECT_EQ(entry.startsWith("Launch(") && entry.endsWith(") "), true) << entry.toStdString();
    QStringList expected = before;
    for (int r : {0, 2, 4}) expected[r] += entry;
    EXPECT_EQ(after, expected);
    EXPECT_EQ(m_window->CheckList->ListCount(), 0);
    EXPECT_EQ(m_window->Changed, true);
    EXPECT_EQ(m_recorded.clipboard, kMailed.join(", "));
    EXPECT_EQ(
        m_recorded.messages.takeLast(),
        "The selected entries in the list have been copied to the clipboard and updated to reflect that "
        "email has been sent to them.");
    EXPECT_EQ(QFileInfo::exists(EMail("Launch")), true);
    EXPECT_EQ(Current(), nullptr);
  }
}

// Cancel, and any button when the message cannot be stored, store, queue, mark and copy
// nothing; a failure says so and leaves the window open, as it was, for another name.
TEST_F(SendWindowTest, NothingHappensUnlessTheMessageIsStored) {
  QDir(m_dir.path()).mkpath("eMail/Folder");
  struct Case {
    QString name;
    int button;  // 1 OK, 2 Cancel, 3 Copy to Clipboard
  };
  for (const Case& c :
       {Case{"Launch", 2}, Case{"", 1}, Case{"..", 3}, Case{"../Launch", 1}, Case{"Folder", 3}}) {
    SCOPED_TRACE(c.name.toStdString());
    const int logged = m_window->UserMessagesLog().Count();
    SendWindow* w = Open("smtp.x.org");
    w->Name->setText(c.name);
    w->Body->setPlainText(QString::fromUtf8("Sí"));
    (c.button == 1 ? w->PushButton1 : c.button == 2 ? w->PushButton2 : w->PushButton3)->click();
    EXPECT_EQ(QDir(EMail()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"Folder"});
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"Database", "eMail"}));
    EXPECT_EQ(m_window->CheckList->ListCount(), 0);
    EXPECT_EQ(Column(m_window->elist, 1).filter("Launch("), QStringList());
    EXPECT_EQ(m_recorded.clipboard, QString("before"));
    EXPECT_EQ(m_recorded.messages, QStringList());
    EXPECT_EQ(Current(), c.button == 2 ? nullptr : w);
    if (c.button == 2) continue;
    EXPECT_EQ(m_window->Slug->text().contains("nothing was queued or copied"), c.button == 1);
    EXPECT_EQ(m_window->Slug->text().contains("nothing was marked or copied"), c.button == 3);
    EXPECT_GT(m_window->UserMessagesLog().Count(), logged);
    EXPECT_EQ(w->Warning->isVisible(), false);
    w->close();
  }
}

// Up and down arrows in the three one-line fields step the popup once per key, within its
// rows, and choosing a row loads its message.
TEST_F(SendWindowTest, ArrowKeysStepThePopup) {
  QDir(m_dir.path()).mkdir("eMail");
  for (const char* name : {"A", "B", "C"}) WriteAll(EMail(name), QByteArray("from ") + name + "\nS\nHTML\nX");
  SendWindow* w = Open("smtp.x.org");
  struct Case {
    int from;
    Qt::Key key;
    QLineEdit* field;
    int to;
  };
  for (const Case& c : {Case{-1, Qt::Key_Down, w->Name, 0}, Case{0, Qt::Key_Up, w->From, 0},
                        Case{0, Qt::Key_Down, w->Subject, 1}, Case{2, Qt::Key_Down, w->Name, 2},
                        Case{2, Qt::Key_Up, w->From, 1}, Case{1, Qt::Key_Left, w->Name, 1}}) {
    w->emails->setCurrentIndex(c.from);
    c.field->setFocus();
    QTest::keyClick(c.field, c.key);
    EXPECT_EQ(w->emails->currentIndex(), c.to) << c.from << " " << c.key;
  }
  w->emails->setCurrentIndex(0);
  EXPECT_EQ(w->Name->text(), QString("A"));
  EXPECT_EQ(w->From->text(), QString("from A"));
  EXPECT_EQ(w->HTMLcoded->isChecked(), true);
  EXPECT_EQ(w->Body->toPlainText(), QString("X\n"));
}

// Closing the main window takes its send and preferences windows with it, also in the
// middle of a send, and never brings up another main window.
TEST_F(SendWindowTest, TheMainWindowClosesUnderItsWindows) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    if (!m_window) {
      m_window = MainWindow::Instance();
      m_window->SendTimer->stop();
      for (int i = 0; i < 1000; ++i) m_window->elist->AddRow(QStringList{"ann@x.org", ""});
      m_window->elist->Model()->SetAllSelected(true);
    }
    QPointer<MainWindow> main(m_window);
    QPointer<SendWindow> send(Open("smtp.x.org"));
    m_window->_FilePreferences_Action();
    QPointer<PreferencesWindow> preferences(m_window->findChild<PreferencesWindow*>());
    if (round == 0) {
      m_window->close();
    } else {
      // Gone at once, by a timer while OK walks the list, between two rows.
      const auto interval = platform::YieldInterval();
      platform::SetYieldInterval(std::chrono::microseconds(0));
      QTimer::singleShot(0, qApp, [main] { delete main.data(); });
      send->Name->setText("Launch");
      send->PushButton1->click();
      platform::SetYieldInterval(interval);
    }
    EXPECT_EQ(WaitUntil([&] { return !main && !send && !preferences; }), true);
    EXPECT_EQ(MainWindow::Existing(), nullptr);
    m_window = nullptr;
  }
}

}  // namespace
