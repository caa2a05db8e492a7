#include "mailing/ui/PreferencesWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>

#include "app/CommandRouter.h"
#include "app/Settings.h"
#include "platform/ui/DialogSupport.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WindowFrame.h"

namespace {

using platform::LabelField;
using platform::Place;

constexpr int kGeneral = 0;
constexpr int kSmtp = 1;
constexpr int kPop = 2;

const QString kSmtpHelp = QStringLiteral(
    "In order to send email directly from Velmora, you need to configure your SMTP server and your account "
    "information.  If you don't use an SMTP server, velmora will place the list of email addresses in the "
    "clipboard when you select a list of email addresses and click the Send button.  You can then paste them "
    "into your own email application (i.e. Example Webmail or Sample Mail).");

const QString kPopHelp = QStringLiteral(
    "Some ISPs and email services require that you check your POP mail first, before you're allowed to send "
    "SMTP mail.  Leave these fields blank if you don't want to log in to your POP server.");

}  // namespace

PreferencesWindow::PreferencesWindow(app::Settings& settings, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_settings(&settings) {
  Layout();
  CreateControls();
  AddMenuHandlers();
}

void PreferencesWindow::Layout() {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("PreferencesWindow"));
  setWindowTitle(QStringLiteral("Velmora Preferences"));
  // Its own menu bar: Edit > Select All, chosen there, stays with this window.
  m_content = InstallMenuBarAndContent(*this, {64, 64});
  SizeContentArea(*this, {450, 315});
}

void PreferencesWindow::CreateControls() {
  _CreateControls0();
}

template <typename T>
T* PreferencesWindow::OnPage(int page, T* control, const QString& name, QRect bounds) {
  m_pageControls[page].append(control);
  return Place(control, name, bounds);
}

void PreferencesWindow::_CreateControls0() {
  TabPanel1 = Place(new QTabWidget(m_content), QStringLiteral("TabPanel1"), {4, 4, 438, 274});
  for (const char* tab : {"General", "SMTP Settings", "POP Settings"}) {
    auto* page = new QWidget;
    page->setAccessibleName(QString::fromLatin1(tab));
    TabPanel1->addTab(page, QString::fromLatin1(tab));
  }
  auto label = [this](int page, const QString& text, const QString& name, QRect bounds) {
    return OnPage(page, new QLabel(text, m_content), name, bounds);
  };
  auto field = [this](int page, const QString& name, QRect bounds) {
    return OnPage(page, new QLineEdit(m_content), name, bounds);
  };
  StaticText1 = label(kSmtp, QStringLiteral("SMTP Server:"), QStringLiteral("StaticText1"), {9, 138, 77, 20});
  Server = field(kSmtp, QStringLiteral("Server"), {90, 137, 168, 22});
  StaticText2 = label(kSmtp, QStringLiteral("i.e. smtp.example.com"), QStringLiteral("StaticText2"),
                      {262, 138, 152, 20});
  StaticText3 = label(kSmtp, QStringLiteral("Username:"), QStringLiteral("StaticText3"), {9, 165, 65, 20});
  Username = field(kSmtp, QStringLiteral("Username"), {90, 164, 168, 22});
  StaticText4 =
      label(kSmtp, QStringLiteral("i.e. jsmith"), QStringLiteral("StaticText4"), {262, 165, 152, 20});
  StaticText5 = label(kSmtp, QStringLiteral("Password:"), QStringLiteral("StaticText5"), {9, 192, 65, 20});
  Password = field(kSmtp, QStringLiteral("Password"), {90, 191, 168, 21});
  Password->setEchoMode(QLineEdit::Password);
  StaticText6 = label(kSmtp, kSmtpHelp, QStringLiteral("StaticText6"), {9, 40, 424, 92});
  StaticText6->setWordWrap(true);
  StaticText6->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PushButton1 = Place(new QPushButton(QStringLiteral("OK"), m_content), QStringLiteral("PushButton1"),
                      {191, 288, 69, 20});
  PushButton1->setDefault(true);
  XDuplicates = OnPage(
      kGeneral,
      new QCheckBox(QStringLiteral("Exclude duplicates when importing (slower for big lists)."), m_content),
      QStringLiteral("XDuplicates"), {9, 40, 380, 20});
  StaticText7 = label(kPop, kPopHelp, QStringLiteral("StaticText7"), {9, 40, 424, 48});
  StaticText7->setWordWrap(true);
  StaticText7->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  StaticText8 = label(kPop, QStringLiteral("POP Server:"), QStringLiteral("StaticText8"), {14, 97, 77, 20});
  StaticText9 = label(kPop, QStringLiteral("Username:"), QStringLiteral("StaticText9"), {14, 124, 65, 20});
  StaticText10 = label(kPop, QStringLiteral("Password:"), QStringLiteral("StaticText10"), {14, 151, 65, 20});
  POPServer = field(kPop, QStringLiteral("POPServer"), {95, 96, 168, 22});
  StaticText11 =
      label(kPop, QStringLiteral("i.e. pop.example.com"), QStringLiteral("StaticText11"), {267, 97, 152, 20});
  POPUsername = field(kPop, QStringLiteral("POPUsername"), {95, 123, 168, 22});
  StaticText12 =
      label(kPop, QStringLiteral("i.e. jsmith"), QStringLiteral("StaticText12"), {267, 124, 152, 20});
  POPPassword = field(kPop, QStringLiteral("POPPassword"), {95, 150, 168, 21});
  POPPassword->setEchoMode(QLineEdit::Password);

  LabelField(StaticText1, Server);
  LabelField(StaticText3, Username);
  LabelField(StaticText5, Password);
  LabelField(StaticText8, POPServer);
  LabelField(StaticText9, POPUsername);
  LabelField(StaticText10, POPPassword);

  // Controls of the pages stand above the panel.
  for (const auto& controls : m_pageControls) {
    for (QWidget* control : controls) control->raise();
  }
  connect(TabPanel1, &QTabWidget::currentChanged, this, &PreferencesWindow::ShowControlsOfPage);
  TabPanel1->setCurrentIndex(kGeneral);
  ShowControlsOfPage(kGeneral);

  connect(PushButton1, &QPushButton::clicked, this, &PreferencesWindow::PushButton1_Action);
  // Escape closes the window as its close box does, dropping the edits: from the keyboard
  // there is otherwise no way out but OK.
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
  for (QLineEdit* edit : {Server, Username, Password, POPServer, POPUsername, POPPassword})
    connect(edit, &QLineEdit::returnPressed, this, &PreferencesWindow::PushButton1_Action);
}

void PreferencesWindow::ShowControlsOfPage(int page) {
  for (int i = 0; i < static_cast<int>(m_pageControls.size()); ++i) {
    for (QWidget* control : m_pageControls[i]) control->setVisible(i == page);
  }
}

void PreferencesWindow::SetSettings(const app::Preferences& settings) {
  Server->setText(settings.server);
  Username->setText(settings.username);
  Password->setText(settings.password);
  XDuplicates->setChecked(settings.xduplicates);
  POPServer->setText(settings.popserver);
  POPUsername->setText(settings.popusername);
  POPPassword->setText(settings.poppassword);
}

app::Preferences PreferencesWindow::Settings() const {
  return {Server->text(),    Username->text(),    Password->text(),   XDuplicates->isChecked(),
          POPServer->text(), POPUsername->text(), POPPassword->text()};
}

void PreferencesWindow::PushButton1_Action() {
  if (m_settings) {
    m_settings->Set(Settings());
    emit Confirmed(m_settings->Save());
  }
  close();
}

void PreferencesWindow::AddMenuHandlers() {
  auto& router = app::CommandRouter::Instance();
  router.AddMenuHandler(this, QStringLiteral("EditSelectAll"), [this] { return _EditSelectAll_Action(); });
  router.SetEnableMenuItems(this, [this] { Event_EnableMenuItems(); });
}

void PreferencesWindow::Event_EnableMenuItems() {
  EditSelectAll()->setEnabled(true);
}

bool PreferencesWindow::_EditSelectAll_Action() {
  // The SMTP fields only, whichever field has the focus.
  for (QLineEdit* edit : {Server, Username, Password})
    edit->setSelection(0, static_cast<int>(edit->text().size()));
  return false;
}
