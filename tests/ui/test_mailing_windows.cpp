// The send and preferences windows over a real main window (offscreen).
#include <QCheckBox>
#include <QClipboard>
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
#include <QTimer>

#include "MainWindowFixture.h"
#include "app/CommandRouter.h"
#include "mailing/MessageFile.h"
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
    Start();
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
  m_window->TCPSocket1_MessageSent(std::make_shared<platform::SpecialEmail>());  // counted before
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
  EXPECT_EQ(std::make_tuple(inserted.count(), m_recorded.clipboard, m_window->mailssent(),
                            m_window->ProgressBar1->maximum(), Changed(), Shown<SendWindow>()),
            std::make_tuple(1, kMailed, 0, 4, false, nullptr));
  EXPECT_EQ(m_window->starttime()->Moment(), platform::Date().Moment());
}

// The Queue tab passes the pace to the send session and shows what it reports, the summary
// only while the tab is in front; an accepted message leaves the list unsaved.
TEST_F(MailingWindowsTest, QueueTabFollowsTheSendSession) {
  m_window->TabPanel1->setCurrentIndex(1);
  m_window->CheckList->AddRow(QStringList{"a@x.org", "Missing", "HTML", "Queued"});
  auto letter = std::make_shared<platform::SpecialEmail>();
  letter->AddRecipient("ann@x.org");
  m_window->TCPSocket1_MessageSent(letter);
  m_window->Rate->setValue(3);
  m_window->RatePer->setValue(10);
  m_window->SendTimer_Action();
  m_window->TabPanel1->setCurrentIndex(0);
  m_window->CheckList->AddRow(QStringList{"b@x.org", "Missing", "HTML", "Queued"});
  m_window->SendTimer_Action();
  EXPECT_EQ(std::make_tuple(m_window->Slug->text(), m_window->SendTimer->interval(),
                            m_window->QueueStatus->text(), m_window->ProgressBar1->value(), Changed()),
            std::make_tuple("3 messages every 10 seconds", 10000, "1 addresses", 1, true));
}

// Without a server OK, and with one Copy to Clipboard, mark the rows at once with one
// history entry each, all of one date even when the day turns meanwhile; nothing queued.
TEST_F(MailingWindowsTest, ClipboardModeMarksTheRows) {
  static int reads = 0;
  platform::SetClockForTests([] { return QDateTime(QDate(2026, 5, 4 + reads++ % 20), QTime(23, 59)); });
  for (const bool copyButton : {false, true}) {
    SCOPED_TRACE(copyButton ? "Copy to Clipboard" : "OK without a server");
    m_window->Changed = false;
    const QStringList before = Rows(m_window->elist);
    SendWindow* w = Open(copyButton ? "smtp.x.org" : "");
    (copyButton ? w->PushButton3 : w->PushButton1)->click();
    QStringList expected = before;
    const QString entry = Rows(m_window->elist)[0].mid(before[0].size());
    for (int r : {0, 2, 4}) expected[r] += entry;
    EXPECT_EQ(Rows(m_window->elist), expected);
    EXPECT_EQ(QRegularExpression("^Launch\\([^()]+\\) $").match(entry).hasMatch(), true);
    EXPECT_EQ(std::make_tuple(m_window->CheckList->ListCount(), Changed(), m_recorded.clipboard,
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
    SCOPED_TRACE(row.toStdString());
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
    EXPECT_EQ(Shown<SendWindow>(), button == 2 ? nullptr : w);
    if (button == 2) continue;
    EXPECT_EQ(std::make_pair(
                  m_window->Slug->text().contains(button == 1 ? "nothing was queued" : "nothing was marked"),
                  w->Warning->isVisible()),
              std::make_pair(true, false));
    w->close();
  }
}

// Up and down in the one-line fields step the popup within its rows.
TEST_F(MailingWindowsTest, ArrowKeysStepThePopup) {
  for (const char* name : {"A", "B"}) WriteAll(EMail(name), "");
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
}

// A chosen message comes back as it was read (sender, subject, format, every character of
// the body): OK stores it as it stood. Lines too long for word wrap break anywhere (also when
// pasted), past a million characters they show in parts, read-only. A file larger than the
// program reads is refused with a message.
TEST_F(MailingWindowsTest, LongLinesShowAndStoreAsTheyWere) {
  const QString emoji = QString::fromUtf8("\U0001F600"), wide(5000, 'w');
  using Case = std::tuple<QString, QTextOption::WrapMode, bool>;  // body, wrap, shown in parts
  for (const auto& [body, wrap, parts] :
       {Case{QString::fromUtf8("a\u00A0b\u2028c\rd\r"), QTextOption::WrapAtWordBoundaryOrAnywhere, false},
        Case{"x\r" + wide + "\r", QTextOption::WrapAnywhere, false},
        Case{QString(65535, 'h') + emoji + QString(1 << 20, 'h') + "\r", QTextOption::WrapAnywhere, true}}) {
    SCOPED_TRACE(testing::Message() << "a body of " << body.size() << " characters");
    const QByteArray file = "me@x.org\nNews\nHTML\n" + body.toUtf8();
    WriteAll(EMail("Launch"), file);
    SendWindow* w = Open("smtp.x.org");
    w->emails->setCurrentIndex(1);  // after "Folder"
    QApplication::processEvents();
    EXPECT_EQ(std::make_tuple(w->Body->toPlainText().contains(emoji), w->Body->wordWrapMode(),
                              w->Body->isReadOnly(), m_window->Slug->text().contains("too long to edit")),
              std::make_tuple(parts, wrap, parts, parts));
    w->PushButton1->click();
    EXPECT_EQ(ReadAll(EMail("Launch")) == file, true);
  }
  QFile tooLarge(EMail("Huge"));
  ASSERT_EQ(tooLarge.open(QIODevice::WriteOnly) && tooLarge.resize(mailing::kMaxMessageFileBytes + 1), true);
  SendWindow* w = Open("smtp.x.org");
  QGuiApplication::clipboard()->setText(wide);
  w->Body->paste();
  EXPECT_EQ(w->Body->wordWrapMode(), QTextOption::WrapAnywhere);
  w->emails->setCurrentIndex(1);
  QApplication::processEvents();
  EXPECT_EQ(
      std::make_pair(w->Body->Text(), m_window->Slug->text()),
      std::make_pair(QString(), QString("The message \"Huge\" is larger than 64 MB and cannot be read.")));
}

// While a chosen message is read, OK (Return) does nothing: pressed meanwhile, it would store
// the message half read over its file. Another message chosen meanwhile is the one shown. The
// window may be closed meanwhile.
TEST_F(MailingWindowsTest, ButtonsWhileTheChosenMessageIsRead) {
  const QByteArray file = "me@x.org\nNews\nHTML\nX\nY", other = "me@x.org\nNews\nHTML\nZ";
  WriteAll(EMail("A"), file), WriteAll(EMail("B"), other);
  testing_support::YieldEveryStep yielding;  // the read yields after each line
  QPointer<SendWindow> w = Open("smtp.x.org");
  const std::function<void()> presses[] = {[w] { QTest::keyClick(w->Name, Qt::Key_Return); },
                                           [w] { w->PushButton2->click(); },
                                           [w] { w->emails->setCurrentIndex(0); }};
  int i = 0;
  // Pressed at the read's first turn: it names the message before it reads.
  QObject::connect(w->Name, &QLineEdit::textChanged, w, [&] { QTimer::singleShot(0, w, presses[i]); });
  w->emails->setCurrentIndex(0);
  QApplication::processEvents();
  ASSERT_EQ(std::make_tuple(ReadAll(EMail("A")), m_window->CheckList->ListCount(), w.isNull()),
            std::make_tuple(file, 0, false));
  EXPECT_EQ(std::make_pair(w->isVisible(), w->Body->Text()), std::make_pair(true, QString("X\rY\r")));
  i = 2;
  w->emails->setCurrentIndex(1);
  QApplication::processEvents();
  EXPECT_EQ(std::make_pair(w->Body->Text(), w->PushButton1->isEnabled()),
            std::make_pair(QString("X\rY\r"), true));
  i = 1;
  w->emails->setCurrentIndex(1);
  QApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(std::make_pair(ReadAll(EMail("B")), w.isNull()), std::make_pair(other, true));
}

// OK applies the settings, starts the POP3 log-in for any user name but the empty one and
// keeps them; a file that cannot be written is reported and changes nothing else (and the
// next start-up reports what stands in its place).
TEST_F(MailingWindowsTest, PreferencesOk) {
  const app::Preferences first{"smtp.x.org", "me", "pass word", false, "pop.x.org", " ", "pop pass"};
  for (const auto& [settings, fileInTheWay, port] : std::vector<std::tuple<app::Preferences, bool, int>>{
           {first, false, 110}, {{"", "", "", true, "", "", ""}, false, 0}, {first, true, 110}}) {
    SCOPED_TRACE(fileInTheWay ? "a folder in the way" : settings.server.isEmpty() ? "no server" : "a server");
    m_window->_FilePreferences_Action();
    QPointer<PreferencesWindow> w = m_window->findChild<PreferencesWindow*>();
    EXPECT_EQ(w->Settings(), m_window->Settings().Values());
    w->SetSettings(settings);
    if (fileInTheWay)
      QFile::remove(DatabasePath() + "/Preferences") && QDir(DatabasePath()).mkdir("Preferences");
    m_window->POPSocket->SetPort(0);
    m_window->POPSocket->SetAddress({});
    w->PushButton1->click();
    EXPECT_EQ(std::make_tuple(m_window->Settings().Values(), m_window->POPSocket->Port(),
                              m_window->POPSocket->Address(), m_window->Slug->text().contains("Preferences")),
              std::make_tuple(settings, port, port ? settings.popserver : "", fileInTheWay));
    EXPECT_EQ(testing_support::WaitUntil([&] { return w.isNull(); }), true);
    CloseAll();
    m_window = MainWindow::Instance();  // a start-up that reports the folder in the file's place
    EXPECT_EQ(std::make_pair(m_window->Settings().Values(),
                             m_window->Slug->text().contains("a folder stands in its place")),
              std::make_pair(fileInTheWay ? app::Preferences() : settings, fileInTheWay));
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
