// The main window: its controls and their layout, the start-up road, the window's own events
// and its menu wiring. The commands and the controls' handlers: MainWindowCommands.cpp.
#include "app/ui/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <map>

#include "app/AddressIntake.h"
#include "app/CommandRouter.h"
#include "app/MenuTable.h"
#include "app/StartFiles.h"
#include "app/ui/LogView.h"
#include "app/ui/SortIcon.h"
#include "app/ui/StatusLine.h"
#include "app/ui/Windows.h"
#include "lists/ui/SideBarWindow.h"
#include "mailing/Pop3Login.h"
#include "mailing/SendEngine.h"
#include "platform/EventLoop.h"
#include "platform/LongWork.h"
#include "platform/POP3Socket.h"
#include "platform/SMTPSocket.h"
#include "platform/Seams.h"
#include "platform/TCPSocket.h"
#include "platform/Text.h"
#include "platform/ui/AccessibleWindows.h"
#include "platform/ui/App.h"
#include "platform/ui/DragItem.h"
#include "platform/ui/KeyText.h"
#include "platform/ui/Listbox.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WindowFont.h"
#include "platform/ui/WindowFrame.h"
#include "tools/OptOutCheck.h"
#include "tools/ui/MessageWindow.h"

namespace {

constexpr int kBackspace = 8;
constexpr int kLeftArrow = 28;
constexpr int kRightArrow = 29;
constexpr int kLastTab = 2;

QPointer<MainWindow>& TheInstance() {
  static QPointer<MainWindow> instance;
  return instance;
}

SideBarWindow* CreateSideBar(MainWindow& window) {
  QPointer<MainWindow> main(&window);
  SideBarWindow::Host host;
  host.database = [main] { return main ? main->database : platform::FolderItem(); };
  host.lastopen = [main] { return main ? main->lastopen : QString(); };
  host.openDatabase = [main](const QString& name, const std::function<void(bool)>& done) {
    if (main) main->OpenList().OpenDatabase(name, done);
  };
  host.activationChanged = [main] {
    if (main) main->ActivationChanged();
  };
  auto* bar = new SideBarWindow(host, &window);
  bar->show();
  // F6 moves the keyboard between the window and its side bar, as between the panes of
  // a window (the shortcut serves the side bar too).
  auto* otherPane = new QShortcut(QKeySequence(Qt::Key_F6), &window);
  QObject::connect(otherPane, &QShortcut::activated, bar, [bar] {
    if (bar->isActiveWindow()) {
      bar->ReturnKeyboard();
    } else {
      bar->TakeKeyboard();
    }
  });
  return bar;
}

}  // namespace

MainWindow* MainWindow::Instance() {
  if (!TheInstance()) {
    auto* window = new MainWindow();
    TheInstance() = window;
    window->show();
    window->Event_Open();
  }
  return TheInstance();
}

MainWindow* MainWindow::Existing() {
  return TheInstance();
}

MainWindow::MainWindow() {
  Layout();
  CreateControls();
  m_openList.SetList(elist->Model());
  connect(&m_openList, &lists::OpenList::reported, this, &MainWindow::SetSlug);
  connect(&m_reports, &app::StatusReports::statusChanged, Slug, &QLabel::setText);
  connect(&m_reports, &app::StatusReports::heldBackShown, this, qOverload<>(&QWidget::update));
  connect(&m_intake, &app::AddressIntake::progressed, this, qOverload<>(&QWidget::update));
  AddMenuHandlers();
}

MainWindow::~MainWindow() {
  // The engine works on this window's properties and controls: it goes first.
  delete m_sendEngine;
  m_sendEngine = nullptr;
}

void MainWindow::Layout() {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(QStringLiteral("Velmora"));
  // Every window of the program is created while this one stands.
  platform::InstallAccessibleWindowRoles();
  m_content = InstallMenuBarAndContent(*this, {300, 250});
  setMaximumSize(32000, 32000);
  SetSize(483, 370);
}

void MainWindow::CreateControls() {
  _CreateControls0();
}

// The control names are the program's own; assistive technology reads each control as the
// user sees it: a button by its caption, a text by itself, a list by its tab or purpose.
template <typename T>
T* MainWindow::AddControl(T* control, const QString& name, QRect bounds, int tabPage) {
  control->setObjectName(name);
  control->setGeometry(bounds);
  control->setFont(platform::WindowFont(12));
  if (tabPage > 0) m_tabControls[tabPage - 1].append(control);
  return control;
}

void MainWindow::_CreateControls0() {
  TabPanel1 = AddControl(new QTabWidget(m_content), QStringLiteral("TabPanel1"), {5, 5, 464, 258}, 0);
  for (const char* tab : {"Addresses", "Queue", "User Messages"}) {
    auto* page = new QWidget;
    page->setAccessibleName(QString::fromLatin1(tab));
    TabPanel1->addTab(page, QString::fromLatin1(tab));
  }
  TabPanel1->setCurrentIndex(0);
  TabPanel1->setToolTip(QStringLiteral("Cmd-Shift-Left/Right to cycle."));

  elist = AddControl(new platform::Listbox(2, m_content), QStringLiteral("elist"), {5, 35, 464, 228}, 1);
  elist->Model()->SetHeadings({QStringLiteral("Address"), QStringLiteral("Mailings")});
  elist->SetColumnWidths({200});
  elist->SetMultipleSelection(true);
  elist->setAccessibleName(QStringLiteral("Addresses"));
  elist->setToolTip(
      QStringLiteral("To add email addresses to the list, drag and drop, copy and paste, or "
                     "select \"New\" from the \"Addresses\" menu."));
  connect(elist, &platform::Listbox::DoubleClick, this, &MainWindow::elist_DoubleClick);
  connect(elist, &platform::Listbox::KeyDown, this, [this](const QString& key, bool* handled) {
    if (elist_KeyDown(key)) *handled = true;
  });
  connect(elist, &platform::Listbox::Change, this, &MainWindow::elist_Change);

  Slug = AddControl(new StatusLine(QStringLiteral("Slug"), m_content), QStringLiteral("Slug"),
                    {5, 351, 600, 15}, 0);
  Slug->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  SaveTimer = new QTimer(this);
  SaveTimer->setObjectName(QStringLiteral("SaveTimer"));
  SaveTimer->setInterval(300000);
  connect(SaveTimer, &QTimer::timeout, this, &MainWindow::SaveTimer_Action);
  SaveTimer->start();

  TCPSocket1 = new platform::SMTPSocket(this);
  TCPSocket1->setObjectName(QStringLiteral("TCPSocket1"));
  TCPSocket1->SetAddress(QString());

  // The title is what the toolbar is read and listed by.
  auto* toolbar = new QToolBar(QStringLiteral("Main toolbar"), this);
  toolbar->setObjectName(QStringLiteral("Toolbar"));
  toolbar->setMovable(false);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  addToolBar(Qt::TopToolBarArea, toolbar);
  auto addToolbarItem = [this, toolbar](int index, const QString& caption) {
    QAction* item = toolbar->addAction(caption);
    item->setObjectName(QStringLiteral("ToolbarItem1"));
    item->setProperty("index", index);
    item->setEnabled(true);
    ToolbarItem1[index] = item;
    connect(item, &QAction::triggered, this, [this, index] { ToolbarItem1_Action(index); });
    ToolbarItem1_Open(index);
  };
  addToolbarItem(0, QStringLiteral("Send"));
  addToolbarItem(1, QStringLiteral("Delete"));

  oosocket = new platform::TCPSocket(this);
  oosocket->setObjectName(QStringLiteral("oosocket"));
  connect(oosocket, &platform::TCPSocket::Connected, this, &MainWindow::oosocket_Connected);
  connect(oosocket, &platform::TCPSocket::DataAvailable, this, &MainWindow::oosocket_DataAvailable);
  connect(oosocket, &platform::TCPSocket::Error, this, &MainWindow::oosocket_Error);
  tools::OptOutCheck::Hooks optOut;
  optOut.report = [this](const QString& text) { SetSlug(text); };
  optOut.status = [this] { return Slug->text(); };
  optOut.list = [this] { return QPointer<platform::ListModel>(elist->Model()); };
  optOut.openResults = [this] {
    auto* window = app::ui::MakeMessageWindow(*this);
    window->OpenInFront();
    window->setWindowTitle(QStringLiteral("Opt-Out Addresses"));
    return QPointer<platform::ListModel>(window->MessageList->Model());
  };
  optOut.markChanged = [this] { m_openList.MarkChanged(); };
  m_optOutCheck = new tools::OptOutCheck(oosocket, std::move(optOut), this);

  CheckList =
      AddControl(new platform::Listbox(4, m_content), QStringLiteral("CheckList"), {5, 35, 464, 178}, 2);
  CheckList->Model()->SetHeadings({QStringLiteral("Address"), QStringLiteral("Mailing"),
                                   QStringLiteral("Format"), QStringLiteral("Status")});
  CheckList->SetMultipleSelection(true);
  CheckList->setAccessibleName(QStringLiteral("Send queue"));

  addToolbarItem(2, QStringLiteral("Sort"));

  StopSending = new QPushButton(QStringLiteral("Stop Sending"), m_content);
  StopSending->setAutoDefault(false);
  StopSending->setDefault(false);
  AddControl(StopSending, QStringLiteral("StopSending"), {12, 219, 99, 16}, 2);

  SendTimer = new QTimer(this);
  SendTimer->setObjectName(QStringLiteral("SendTimer"));
  SendTimer->setInterval(1000);
  connect(SendTimer, &QTimer::timeout, this, &MainWindow::SendTimer_Action);
  SendTimer->start();

  ProgressBar1 =
      AddControl(new QProgressBar(m_content), QStringLiteral("ProgressBar1"), {123, 223, 100, 12}, 2);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setAccessibleName(QStringLiteral("Sending progress"));

  QueueStatus = AddControl(new QLabel(QStringLiteral("0 addresses"), m_content),
                           QStringLiteral("QueueStatus"), {233, 221, 230, 16}, 2);
  QueueStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  // Port 0 until a log-in sets 110. The password goes as a plain PASS, never APOP, which
  // the client sends only over TLS or to this machine.
  using platform::POP3Socket;
  POPSocket = new POP3Socket(this);
  POPSocket->setObjectName(QStringLiteral("POPSocket"));
  POPSocket->SetAddress(QString());
  POPSocket->SetPort(0);
  m_popLogin = new mailing::Pop3Login(
      POPSocket, [this](const QString& text) { SetSlug(text); }, this);
  connect(POPSocket, &POP3Socket::Disconnected, this, &MainWindow::POPSocket_Disconnected);
  connect(POPSocket, &POP3Socket::LoginSuccessful, this, &MainWindow::POPSocket_LoginSuccessful);
  connect(POPSocket, &POP3Socket::ConnectionEstablished, this, &MainWindow::POPSocket_ConnectionEstablished);
  connect(POPSocket, &POP3Socket::MessageCount, this, &MainWindow::POPSocket_MessageCount);

  UserMessages = AddControl(new LogView(m_content), QStringLiteral("UserMessages"), {5, 35, 464, 224}, 3);
  UserMessages->SetModel(&m_reports.Log());
  UserMessages->setAccessibleName(QStringLiteral("Message log"));

  auto makeSlider = [this](const QString& name, QRect bounds, int maximum, int pageStep) {
    auto* slider = AddControl(new QSlider(Qt::Horizontal, m_content), name, bounds, 2);
    slider->setRange(1, maximum);
    slider->setValue(1);
    slider->setSingleStep(1);
    slider->setPageStep(pageStep);
    slider->setTracking(true);
    return slider;
  };
  Rate = makeSlider(QStringLiteral("Rate"), {12, 245, 149, 14}, 5, 20);
  RatePer = makeSlider(QStringLiteral("RatePer"), {173, 245, 149, 14}, 180, 10);
  // As the status line reads them when they move: "N messages every M seconds".
  Rate->setAccessibleName(QStringLiteral("Messages at a time"));
  RatePer->setAccessibleName(QStringLiteral("Seconds between sends"));

  RandRate = new QCheckBox(QStringLiteral("Random"), m_content);
  RandRate->setChecked(false);
  AddControl(RandRate, QStringLiteral("RandRate"), {334, 240, 80, 20}, 2);

  // Controls on the panel stand above it, on the content area.
  for (const auto& controls : m_tabControls) {
    for (QWidget* control : controls) control->raise();
  }
  Slug->raise();
  connect(TabPanel1, &QTabWidget::currentChanged, this, &MainWindow::ShowControlsOfTab);
  ShowControlsOfTab(TabPanel1->currentIndex());
  // The keyboard starts in the address list, not on the tabs.
  elist->setFocus();

  // The send session, wired to its controls last of all. The account is read through this
  // one getter, at every hand-over.
  using mailing::SendEngine;
  m_sendEngine = new SendEngine(
      CheckList->Model(), elist->Model(), TCPSocket1,
      [this] {
        const app::Preferences& settings = m_settings.Values();
        return mailing::SmtpAccount{settings.server, settings.username, settings.password};
      },
      this);
  m_sendEngine->SetRate(Rate->value());
  m_sendEngine->SetRatePer(RatePer->value());
  m_sendEngine->SetRandRate(RandRate->isChecked());
  m_sendEngine->SetSummaryShown(TabPanel1->currentIndex() == 1);
  m_sendEngine->SetHistoryJournal(
      [this](const QString& address, const QString& entry) { m_openList.JournalMailing(address, entry); });
  connect(m_sendEngine, &SendEngine::progressChanged, ProgressBar1, [this](int value, int maximum) {
    ProgressBar1->setMaximum(maximum);
    ProgressBar1->setValue(value);
  });
  connect(m_sendEngine, &SendEngine::summaryChanged, QueueStatus, &QLabel::setText);
  connect(m_sendEngine, &SendEngine::periodChanged, SendTimer, qOverload<int>(&QTimer::setInterval));
  connect(m_sendEngine, &SendEngine::reported, this, &MainWindow::SetSlug);
  connect(m_sendEngine, &SendEngine::rateShown, Slug, &QLabel::setText);
  connect(m_sendEngine, &SendEngine::addressesEdited, &m_openList, &lists::OpenList::MarkChanged);
  connect(TabPanel1, &QTabWidget::currentChanged, m_sendEngine,
          [this](int tab) { m_sendEngine->SetSummaryShown(tab == 1); });
  using platform::SMTPSocket;
  connect(TCPSocket1, &SMTPSocket::MessageSent, this, &MainWindow::TCPSocket1_MessageSent);
  // A refused message leaves the queue with a log row.
  connect(TCPSocket1, &SMTPSocket::ServerError, m_sendEngine,
          [this](const platform::EmailMessagePtr& message, int, const QString& reply) {
            m_sendEngine->MessageRefused(message, reply);
          });
  connect(TCPSocket1, &SMTPSocket::Error, this, &MainWindow::TCPSocket1_Error);
  connect(TCPSocket1, &SMTPSocket::ConnectionEstablished, this,
          &MainWindow::TCPSocket1_ConnectionEstablished);
  connect(TCPSocket1, &SMTPSocket::SendProgress, this, &MainWindow::TCPSocket1_SendProgress);
  connect(CheckList, &platform::Listbox::Change, this, &MainWindow::CheckList_Change);
  connect(StopSending, &QPushButton::clicked, this, &MainWindow::StopSending_Action);
  connect(Rate, &QSlider::valueChanged, this, &MainWindow::Rate_ValueChanged);
  connect(RatePer, &QSlider::valueChanged, this, &MainWindow::RatePer_ValueChanged);
  connect(RandRate, &QCheckBox::toggled, this, &MainWindow::RandRate_Action);
}

void MainWindow::ShowControlsOfTab(int tab) {
  // The keyboard goes with the tab to its first control: left to Qt, it would pass from the
  // control that hides to the tab bar, where a plain arrow key switches tabs.
  QWidget* focus = focusWidget();
  bool focusGoes = false;
  for (int i = 0; i < static_cast<int>(m_tabControls.size()); ++i) {
    for (QWidget* control : m_tabControls[i]) {
      if (i != tab && focus && (control == focus || control->isAncestorOf(focus))) focusGoes = true;
      control->setVisible(i == tab);
    }
  }
  if (focusGoes && tab >= 0 && tab < static_cast<int>(m_tabControls.size()) && !m_tabControls[tab].isEmpty())
    m_tabControls[tab].front()->setFocus(Qt::OtherFocusReason);
}

// ---- Size and layout ------------------------------------------------------------------------

int MainWindow::Width() const {
  return m_content->width();
}
int MainWindow::Height() const {
  return m_content->height();
}

void MainWindow::SetSize(int width, int height) {
  SizeContentArea(*this, {width, height});
}

void MainWindow::ResizeControls() {
  const int W = Width();
  const int H = Height();
  TabPanel1->resize(W - 10, H - 30);
  elist->resize(W - 10, H - 60);
  CheckList->resize(W - 10, H - 110);
  const int C = CheckList->y() + CheckList->height();
  StopSending->move(StopSending->x(), C + 5);
  ProgressBar1->move(ProgressBar1->x(), C + 9);
  QueueStatus->move(QueueStatus->x(), C + 7);
  Rate->move(Rate->x(), C + 30);
  RatePer->move(RatePer->x(), C + 30);
  RandRate->move(RandRate->x(), C + 25);
  UserMessages->resize(W - 10, H - 60);
  Slug->move(Slug->x(), H - 20);
  if (SideBar) {
    const QRect frame = geometry();
    SideBar->setGeometry(frame.x() + W + 1, frame.y(), 170, H);
  }
}

void MainWindow::Event_Moved() {
  ResizeControls();
}
void MainWindow::Event_Resizing() {
  ResizeControls();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_content && event->type() == QEvent::Resize && TabPanel1) Event_Resizing();
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (TabPanel1) Event_Moved();
}

// ---- Start-up --------------------------------------------------------------------------------

void MainWindow::Event_Open() {
  // Reading the last list and filling the side bar yield: the window may be closed and
  // gone when they return.
  const platform::LongWork work(this);

  // 1. The side bar beside the window.
  SideBar = CreateSideBar(*this);

  // 2 to 6. The Database folder, the settings and the name of the list opened last.
  const app::StartFiles files =
      app::ReadStartFiles(m_openList, m_settings, [this](const QString& text) { SetSlug(text); });
  if (files.refusal) {
    platform::MsgBox(*files.refusal);
    App::QuitRefusedStart();
    return;
  }
  if (files.lastList) {
    OpenDatabase(*files.lastList);
    if (work.Stopped()) return;
  }

  // 7. Toolbar images and the side bar's lists.
  UpdateLists();
  if (work.Stopped()) return;

  // 8. POP3 log-in; it runs on socket events and start-up does not wait for it.
  const app::Preferences& account = m_settings.Values();
  m_popLogin->Start(account.popserver, account.popusername, account.poppassword);

  // 9.
  m_openList.MarkClean();

  // 10. Dropped files of every type, and dropped text.
  AcceptFileDrop(QStringLiteral("ANY"));
  AcceptTextDrop();

  // 11.
  SetSize(475, 370);
  ResizeControls();

  // 12. The about window in front; its Continue brings the main window forward.
  app::ui::OpenAboutWindow();
}

void MainWindow::UpdateLists() {
  // The desktop's own mail and delete pictures where its icon theme has them.
  ToolbarItem1[0]->setIcon(
      QIcon::fromTheme(QStringLiteral("mail-send"), QIcon(QStringLiteral(":/pictures/send.xpm"))));
  ToolbarItem1[1]->setIcon(
      QIcon::fromTheme(QStringLiteral("edit-delete"), QIcon(QStringLiteral(":/pictures/delete.xpm"))));
  if (auto* bar = qobject_cast<SideBarWindow*>(SideBar.data())) bar->UpdateLists();
}

// ---- Window events ------------------------------------------------------------------------

bool MainWindow::Event_KeyDown(const QString& key) {
  const int code = platform::Asc(key);
  SetSlug(QStringLiteral("Key down = ") + platform::Str(static_cast<long long>(code)));
  if (code == kBackspace) DeleteItems();
  const bool commandShift = platform::AsyncCommandKey() && platform::AsyncShiftKey();
  // At either end the tab stays where it is.
  if (code == kRightArrow && commandShift && TabPanel1->currentIndex() < kLastTab) {
    TabPanel1->setCurrentIndex(TabPanel1->currentIndex() + 1);
  }
  if (code == kLeftArrow && commandShift && TabPanel1->currentIndex() > 0) {
    TabPanel1->setCurrentIndex(TabPanel1->currentIndex() - 1);
  }
  return false;
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // A modifier pressed alone types nothing and moves nothing: it is no key to echo, or every
  // shortcut would leave a row "Key down = 0" behind.
  const QString key = platform::KeyText(*event);
  if (!key.isEmpty()) Event_KeyDown(key);
  QMainWindow::keyPressEvent(event);
}

void MainWindow::Event_Activate() {
  if (SideBar) SideBar->setVisible(true);
}

void MainWindow::Event_Deactivate() {
  if (SideBar) SideBar->setVisible(false);
}

void MainWindow::ActivationChanged() {
  if (isActiveWindow() || (SideBar && SideBar->isActiveWindow())) {
    Event_Activate();
  } else {
    Event_Deactivate();
  }
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) ActivationChanged();
  QMainWindow::changeEvent(event);
}

bool MainWindow::Event_Close() {
  // A save that fails (a full disk, a read-only file, the save dialog cancelled) takes the
  // edits with the window only when the user chooses to discard them; otherwise it stays open.
  if (m_openList.IsChanged() && !m_openList.SaveBeforeLeaving()) return false;
  if (SideBar) SideBar->close();
  return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // While a list file is being written or read, the save of the close would wait for that
  // work and go with the window: the window closes once the work ends.
  if (m_openList.FileBusy()) {
    event->ignore();
    m_openList.RunWhenFileIdle(this, [this] { close(); });
    return;
  }
  if (!Event_Close()) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

// ---- Drops ------------------------------------------------------------------------------------

void MainWindow::AcceptFileDrop(const QString& fileTypeName) {
  m_drops.AcceptFileType(fileTypeName);
  setAcceptDrops(true);
}

void MainWindow::AcceptTextDrop() {
  m_drops.AcceptText();
  setAcceptDrops(true);
}

bool MainWindow::AcceptsDrop(const QMimeData& data) const {
  return m_drops.Accepts(data);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (AcceptsDrop(*event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (!AcceptsDrop(*event->mimeData())) return;
  event->acceptProposedAction();
  platform::DragItem items(*event->mimeData());
  Event_DropObject(items);
}

void MainWindow::Event_DropObject(platform::DragItem& obj) {
  const platform::LongWork importing(m_openList.List(), platform::LongWork::Importing, this);
  do {
    // An item with both is handled both ways, the file first.
    const platform::FolderItem file = obj.FolderItem();
    if (!file.IsNull()) {
      getemailfromfile(file);
      if (importing.Stopped()) return;
    }
    if (obj.TextAvailable()) {
      m_intake.ImportText(obj.Text());
      if (importing.Stopped()) return;
    }
    platform::YieldToEventLoop();
    if (importing.Stopped()) return;
  } while (obj.NextItem());
}

// ---- Status line and message log ---------------------------------------------------------------

void MainWindow::SetSlug(const QString& text) {
  m_reports.Report(text);
}

// ---- Menus -----------------------------------------------------------------------------------

QAction* MainWindow::MenuItem(const QString& name) const {
  // The window's menu bar holds the application's shared items (Layout fills it from Menu).
  return Menu::Instance().Lookup(name);
}

void MainWindow::AddMenuHandlers() {
  // The main window's handlers, registered in the table's order.
  using Handler = bool (MainWindow::*)();
  static const std::map<QString, Handler> handlers = {
      {QStringLiteral("FileSave"), &MainWindow::_FileSave_Action},
      {QStringLiteral("FileSaveAs"), &MainWindow::_FileSaveAs_Action},
      {QStringLiteral("AppleAboutVelmora"), &MainWindow::_AppleAboutVelmora_Action},
      {QStringLiteral("FilePreferences"), &MainWindow::_FilePreferences_Action},
      {QStringLiteral("AddressesSendeMail"), &MainWindow::_AddressesSendeMail_Action},
      {QStringLiteral("EditPaste"), &MainWindow::_EditPaste_Action},
      {QStringLiteral("EditDuplicate"), &MainWindow::_EditDuplicate_Action},
      {QStringLiteral("MailingListsNewMailingList"), &MainWindow::_MailingListsNewMailingList_Action},
      {QStringLiteral("MailingListsRemoveMailingList"), &MainWindow::_MailingListsRemoveMailingList_Action},
      {QStringLiteral("HelpVelmoraHelp"), &MainWindow::_HelpVelmoraHelp_Action},
      {QStringLiteral("AddressesNew"), &MainWindow::_AddressesNew_Action},
      {QStringLiteral("AddressesRemove"), &MainWindow::_AddressesRemove_Action},
      {QStringLiteral("AddressesBlackList"), &MainWindow::_AddressesBlackList_Action},
      {QStringLiteral("AddressesClearHistory"), &MainWindow::_AddressesClearHistory_Action},
      {QStringLiteral("MailingListsEmptyTash"), &MainWindow::_MailingListsEmptyTash_Action},
      {QStringLiteral("EditSelectAll"), &MainWindow::_EditSelectAll_Action},
      {QStringLiteral("EditCopy"), &MainWindow::_EditCopy_Action},
      {QStringLiteral("EditUnselectAll"), &MainWindow::_EditUnselectAll_Action},
      {QStringLiteral("EditSelectUnsent"), &MainWindow::_EditSelectUnsent_Action},
      {QStringLiteral("EditFind"), &MainWindow::_EditFind_Action},
      {QStringLiteral("EditFindNext"), &MainWindow::_EditFindNext_Action},
      {QStringLiteral("AddressesBulkRemove"), &MainWindow::_AddressesBulkRemove_Action},
      {QStringLiteral("AddressesCheckOptOut"), &MainWindow::_AddressesCheckOptOut_Action},
  };
  auto& router = app::CommandRouter::Instance();
  for (const QString& name : app::MainWindowMenuHandlerOrder()) {
    auto it = handlers.find(name);
    if (it == handlers.end()) continue;
    const Handler handler = it->second;
    router.AddMenuHandler(this, name, [this, handler] { return (this->*handler)(); });
  }
  router.SetEnableMenuItems(this, [this] { Event_EnableMenuItems(); });
  // The main window keeps the menu bar's own enabling: every command but Undo is enabled
  // there, Close too, though it does nothing while this window is in front.
  router.KeepUnhandledItemsEnabled(this);
}

void MainWindow::Event_EnableMenuItems() {
  // Without any condition: each handler itself tests the selection, tab or clipboard.
  for (const QString& name : app::MainWindowEnabledItems()) {
    if (QAction* item = MenuItem(name)) item->setEnabled(true);
  }
}
