// The send and preferences windows over a real main window (offscreen).
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "MainWindowFixture.h"
#include "app/CommandRouter.h"
#include "app/ui/MainWindowSettings.h"
#include "mailing/ui/PreferencesWindow.h"
#include "mailing/ui/SendWindow.h"
#include "platform/POP3Socket.h"
#include "platform/ui/Listbox.h"

using testing_support::ReadAll;
using testing_support::WriteAll;

namespace {

// ann (twice) and cat may be mailed; the others are marked "Black Listed" or "Opted Out"
// (anywhere in the column) or not selected.
const QStringList kRows = {
    "*ann@x.org|", "*bob@x.org|Black Listed",          "*cat@x.org|News(1/2/26) ", "dan@x.org|",
    "*ann@x.org|", "*eve@x.org|News(1/2/26) Opted Out"};
const QString kMailed = "ann@x.org, cat@x.org, ann@x.org";

class MailingWindowsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    mailing::ui::InstallSendWindowHook();
    StartCountingSaves();
    m_window->SendTimer->stop();
    testing_support::SetRows(*m_window->elist->Model(), kRows);
    m_recorded.clipboard = "before";
    QDir(m_dir.path()).mkpath("eMail/Folder");
  }

  QString EMail(const QString& name) const { return m_dir.filePath("eMail/" + name); }
  SendWindow* Open(const QString& server, const QString& name = "Launch") {
    m_window->server = server;
    m_window->ToolbarItem1[0]->trigger();
    Shown<SendWindow>()->Name->setText(name);
    return Shown<SendWindow>();
  }
  static QStringList Rows(platform::Listbox* list) {
    QStringList rows;
    for (int r = 0; r < list->ListCount(); ++r) {
      QStringList cells;
      for (int c = 0; c < list->Model()->columnCount(); ++c) cells << list->Cell(r, c);
      rows << cells.join('|');
    }
    return rows;
  }
};

// A missing eMail folder is made and reported; entries but ".DS_Store" listed, none chosen;
// no SMTP server: the warning covers the message. No selection, no window.
TEST_F(MailingWindowsTest, Opening) {
  QDir(m_dir.filePath("eMail")).removeRecursively();
  SendWindow* w = Open("smtp.x.org");
  EXPECT_EQ(std::make_tuple(w->emails->count(), LogRows().first(), w->Warning->isVisible()),
            std::make_tuple(0, Logged("Creating the eMails folder."), false));
  w->close();
  for (const char* name : {".DS_Store", ".hidden", "News"}) WriteAll(EMail(name), "A\nB\nHTML\nX");
  w = Open("");
  EXPECT_EQ(std::make_tuple(w->emails->count(), w->emails->itemText(0), w->emails->itemText(1),
                            w->emails->currentIndex()),
            std::make_tuple(2, QString(".hidden"), QString("News"), -1));
  EXPECT_EQ(QList<bool>({w->Warning->isVisible(), w->Body->isVisible(), w->Name->isVisible()}),
            QList<bool>({true, false, true}));
  m_window->elist->Model()->SetAllSelected(false);
  m_window->_AddressesSendeMail_Action();
  EXPECT_EQ(m_recorded.messages, QStringList({"Please select a destination address..."}));
}

// OK stores the message (body converted and reported) and appends a queue row per sendable
// selected row, in one model signal; then the mailing's count starts.
TEST_F(MailingWindowsTest, OkStoresAndQueues) {
  m_window->CheckList->AddRow(QStringList{"old@x.org", "Old", "Plain Text", "Waiting"});
  m_window->mailssent = 7;
  SendWindow* w = Open("smtp.x.org");
  w->From->setText("me@x.org");
  w->Subject->setText(QString::fromUtf8("¡Hola!"));
  w->Body->setPlainText(QString::fromUtf8("¡Hola!\nSí"));
  w->HTMLcoded->setChecked(true);
  QSignalSpy inserted(m_window->CheckList->Model(), &platform::ListModel::rowsInserted);
  w->PushButton1->click();
  EXPECT_EQ(ReadAll(EMail("Launch")), QByteArray("me@x.org\n\xc2\xa1Hola!\nHTML\n&iexcl;Hola!\rS&iacute;"));
  EXPECT_EQ(LogRows().mid(0, 2), QStringList({Logged(QString::fromUtf8("Changing ¡ to &iexcl;")),
                                              Logged(QString::fromUtf8("Changing í to &iacute;"))}));
  const QString queued = "ann@x.org|Launch|HTML|Queued";
  EXPECT_EQ(Rows(m_window->CheckList),
            QStringList({"old@x.org|Old|Plain Text|Waiting", queued, "cat" + queued.mid(3), queued}));
  EXPECT_EQ(std::make_tuple(inserted.count(), m_recorded.clipboard, m_window->mailssent,
                            m_window->ProgressBar1->maximum(), m_window->Changed, Shown<SendWindow>()),
            std::make_tuple(1, kMailed, 0, 4, false, nullptr));
  EXPECT_EQ(m_window->starttime->Moment(), platform::Date().Moment());
}

// Without a server OK, and with one Copy to Clipboard, mark the rows at once with one
// history entry each, all of one date even when the day turns meanwhile; nothing queued.
TEST_F(MailingWindowsTest, ClipboardModeMarksTheRows) {
  static int reads = 0;
  platform::SetClockForTests([] { return QDateTime(QDate(2026, 5, 4 + reads++ % 20), QTime(23, 59)); });
  for (const bool copyButton : {false, true}) {
    m_window->Changed = false;
    const QStringList before = Rows(m_window->elist);
    SendWindow* w = Open(copyButton ? "smtp.x.org" : "");
    (copyButton ? w->PushButton3 : w->PushButton1)->click();
    QStringList expected = before;
    const QString entry = Rows(m_window->elist)[0].mid(before[0].size());
    for (int r : {0, 2, 4}) expected[r] += entry;
    EXPECT_EQ(Rows(m_window->elist), expected);
    EXPECT_EQ(QRegularExpression("^Launch\\([^()]+\\) $").match(entry).hasMatch(), true);
    EXPECT_EQ(std::make_tuple(m_window->CheckList->ListCount(), m_window->Changed, m_recorded.clipboard,
                              QFileInfo::exists(EMail("Launch"))),
              std::make_tuple(0, true, kMailed, true));
    EXPECT_EQ(m_recorded.messages.takeLast().startsWith("The selected entries in the list have been copied"),
              true);
  }
}

// Cancel, and any button when the message cannot be stored, or OK when its sender is no
// e-mail address, store, queue, mark and copy nothing; a failure is reported and leaves the
// window open as it was, for another name or sender.
TEST_F(MailingWindowsTest, NothingHappensUnlessTheMessageIsStored) {
  // Each row: the name, the button, the sender.
  for (const QString row : {"Launch 2", ".. 1 me@x.org", "a/b 3", "Folder 1 Me <me@x.org>", "Folder 3",
                            "Launch 1", "Launch 1 Me me@x.org", "Launch 1 me@x.org, you@x.org"}) {
    const QString name = row.section(' ', 0, 0), from = row.section(' ', 2);
    const int button = row.section(' ', 1, 1).toInt();
    SendWindow* w = Open("smtp.x.org", name);
    w->From->setText(from);
    w->Body->setPlainText(QString::fromUtf8("Sí"));
    QList<QPushButton*>{w->PushButton1, w->PushButton2, w->PushButton3}[button - 1]->click();
    const auto entries = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden;
    EXPECT_EQ(QDir(m_dir.path()).entryList(entries) + QDir(EMail("")).entryList(entries),
              QStringList({"Database", "eMail", "Folder"}));
    EXPECT_EQ(
        std::make_tuple(m_window->CheckList->ListCount(), Rows(m_window->elist).filter("Launch(").size(),
                        m_recorded.clipboard, m_recorded.messages.size()),
        std::make_tuple(0, 0, QString("before"), 0));
    EXPECT_EQ(Shown<SendWindow>(), button == 2 ? nullptr : w) << row.toStdString();
    if (button == 2) continue;
    EXPECT_EQ(std::make_pair(
                  m_window->Slug->text().contains(button == 1 ? "nothing was queued" : "nothing was marked"),
                  w->Warning->isVisible()),
              std::make_pair(true, false));
    w->close();
  }
}

// Up and down in the one-line fields step the popup within its rows; a row loads its message.
TEST_F(MailingWindowsTest, ArrowKeysStepThePopup) {
  for (const char* name : {"A", "B"}) WriteAll(EMail(name), QByteArray("from ") + name + "\nS\nHTML\nX");
  SendWindow* w = Open("smtp.x.org");
  for (const auto& [from, key, field, to] :
       std::vector<std::tuple<int, Qt::Key, QLineEdit*, int>>{{-1, Qt::Key_Down, w->Name, 0},
                                                              {0, Qt::Key_Up, w->From, 0},
                                                              {0, Qt::Key_Down, w->Subject, 1},
                                                              {2, Qt::Key_Down, w->Name, 2},
                                                              {1, Qt::Key_Left, w->Name, 1}}) {
    w->emails->setCurrentIndex(from);
    field->setFocus();
    QTest::keyClick(field, key);
    EXPECT_EQ(w->emails->currentIndex(), to) << from << " " << key;
  }
  w->emails->setCurrentIndex(0);
  EXPECT_EQ(
      std::make_tuple(w->Name->text(), w->From->text(), w->Body->toPlainText(), w->HTMLcoded->isChecked()),
      std::make_tuple("A", "from A", "X\n", true));
}

// OK applies the settings, starts the POP3 log-in for any user name but the empty one and
// keeps them; a file that cannot be written is reported and changes nothing else.
TEST_F(MailingWindowsTest, PreferencesOk) {
  const app::Preferences first{"smtp.x.org", "me", "pass word", false, "pop.x.org", " ", "pop pass"};
  for (const auto& [settings, fileInTheWay, port] : std::vector<std::tuple<app::Preferences, bool, int>>{
           {first, false, 110}, {{"", "", "", true, "", "", ""}, false, 0}, {first, true, 110}}) {
    m_window->_FilePreferences_Action();
    QPointer<PreferencesWindow> w = m_window->findChild<PreferencesWindow*>();
    EXPECT_EQ(w->Settings(), SettingsOf(*m_window));
    w->SetSettings(settings);
    if (fileInTheWay)
      QFile::remove(DatabasePath() + "/Preferences") && QDir(DatabasePath()).mkdir("Preferences");
    m_window->POPSocket->SetPort(0);
    m_window->POPSocket->SetAddress({});
    w->PushButton1->click();
    EXPECT_EQ(std::make_tuple(SettingsOf(*m_window), m_window->POPSocket->Port(),
                              m_window->POPSocket->Address(), m_window->Slug->text().contains("Preferences")),
              std::make_tuple(settings, port, port ? settings.popserver : "", fileInTheWay));
    EXPECT_EQ(testing_support::WaitUntil([&] { return w.isNull(); }), true);
    CloseAll();
    m_window = MainWindow::Instance();
    EXPECT_EQ(SettingsOf(*m_window), fileInTheWay ? app::Preferences() : settings);
  }
}

// Select All, by its shortcut from a POP3 field or from the window's own Edit menu, selects
// the three SMTP fields whole and leaves the POP3 fields alone.
TEST_F(MailingWindowsTest, PreferencesSelectAll) {
  m_window->_FilePreferences_Action();
  PreferencesWindow* w = m_window->findChild<PreferencesWindow*>();
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  w->SetSettings({"smtp.x.org", "me", "secret", false, "pop.x.org", "popme", "popsecret"});
  auto* bar = w->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  for (bool byMenu : {false, true}) {
    w->POPUsername->setFocus();
    w->POPUsername->setSelection(1, 2);
    for (QLineEdit* smtp : {w->Server, w->Username, w->Password}) smtp->deselect();
    byMenu ? bar->actions().at(1)->menu()->actions().at(2)->trigger()
           : QTest::keyClick(w->POPUsername, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(
        QStringList({w->Server->selectedText(), w->Username->selectedText(), w->Password->selectedText(),
                     w->POPServer->selectedText(), w->POPUsername->selectedText()}),
        QStringList({"smtp.x.org", "me", "secret", "", "op"}))
        << byMenu;
  }
}

}  // namespace
