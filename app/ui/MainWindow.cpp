#include "app/ui/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

#include "app/MessageLog.h"
#include "app/ui/LogView.h"
#include "app/ui/MainWindowHooks.h"
#include "app/ui/SortIcon.h"
#include "app/ui/StatusLine.h"
#include "mailing/Pop3Login.h"
#include "mailing/SendEngine.h"
#include "platform/POP3Socket.h"
#include "platform/SMTPSocket.h"
#include "platform/ui/AccessibleWindows.h"
#include "platform/ui/Listbox.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WindowFont.h"
#include "platform/ui/WindowFrame.h"

namespace {

QPointer<MainWindow>& TheInstance() {
  static QPointer<MainWindow> instance;
  return instance;
}

}  // namespace

MainWindowHooks& MainWindowHooks::Installed() {
  static MainWindowHooks hooks;
  return hooks;
}

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
  Toolbar = new QToolBar(QStringLiteral("Main toolbar"), this);
  Toolbar->setObjectName(QStringLiteral("Toolbar"));
  Toolbar->setMovable(false);
  Toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  addToolBar(Qt::TopToolBarArea, Toolbar);
  auto addToolbarItem = [this](int index, const QString& caption) {
    QAction* item = Toolbar->addAction(caption);
    item->setObjectName(QStringLiteral("ToolbarItem1"));
    item->setProperty("index", index);
    item->setEnabled(true);
    ToolbarItem1[index] = item;
    connect(item, &QAction::triggered, this, [this, index] { ToolbarItem1_Action(index); });
    ToolbarItem1_Open(index);
  };
  addToolbarItem(0, QStringLiteral("Send"));
  addToolbarItem(1, QStringLiteral("Delete"));

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

  m_log = new app::MessageLog(this);
  UserMessages = AddControl(new LogView(m_content), QStringLiteral("UserMessages"), {5, 35, 464, 224}, 3);
  UserMessages->SetModel(m_log);
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
  CreateSendEngine();
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

void MainWindow::ToolbarItem1_Open(int index) {
  ToolbarItem1[index]->setIcon(SortIcon());
}

void MainWindow::SaveFile() {
  if (auto& hook = MainWindowHooks::Installed().saveFile) hook(*this);
}

void MainWindow::OpenDatabase(const QString& name) {
  if (auto& hook = MainWindowHooks::Installed().openDatabase) hook(*this, name);
}

void MainWindow::UpdateLists() {
  if (auto& hook = MainWindowHooks::Installed().updateLists) hook(*this);
}
