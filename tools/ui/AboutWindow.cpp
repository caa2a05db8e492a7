#include "tools/ui/AboutWindow.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>

#include "app/CommandRouter.h"
#include "platform/LongWork.h"
#include "platform/Seams.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WindowFont.h"
#include "platform/ui/WindowFrame.h"
#include "tools/ui/LinkLabel.h"

namespace {

const QColor kLinkBlue(0, 28, 255);
const QColor kLinkRed(255, 0, 0);
const QString kProductName = QStringLiteral("Velmora");

}  // namespace

const QString AboutWindow::kMakerPage = QStringLiteral("https://www.example.com/harlock/");

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
  Layout();
  CreateControls();
  AddMenuHandlers();
}

void AboutWindow::Layout() {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("AboutWindow"));
  setWindowTitle(QStringLiteral("About Velmora"));
  // No close, minimise or maximise, and a fixed size. Some window managers (openbox) offer
  // close and minimise on every window with a title bar, whatever its hints ask; none does
  // on the window a program shows as it starts, which this one is.
  setWindowFlags(Qt::SplashScreen | Qt::CustomizeWindowHint);
  // Left open, it keeps the program running like any other window.
  setAttribute(Qt::WA_QuitOnClose);
  // Its own menu bar above the design's area: File > Quit, chosen there, stays with this
  // window; from the main window's bar it would bring that window forward and act there.
  m_content = InstallMenuBarAndContent(*this, {480, 366});
  m_content->setFixedSize(480, 366);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  setModal(false);
}

void AboutWindow::CreateControls() {
  _CreateControls0();
}

LinkLabel* AboutWindow::AddLink(const QString& name, const QString& text, QRect bounds, int pixelSize) {
  auto* label = new LinkLabel(text, m_content);
  label->setObjectName(name);
  label->setGeometry(bounds);
  label->setFont(platform::WindowFont(pixelSize));
  label->SetTextColor(kLinkBlue);
  connect(label, &LinkLabel::Opened, this, [] { platform::ShowURL(kMakerPage); });
  return label;
}

QLabel* AboutWindow::AddLabel(const QString& name, const QString& text, QRect bounds, int pixelSize,
                              QColor color) {
  auto* label = new QLabel(text, m_content);
  label->setObjectName(name);
  label->setGeometry(bounds);
  label->setFont(platform::WindowFont(pixelSize));
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, color);
  label->setPalette(p);
  return label;
}

void AboutWindow::_CreateControls0() {
  StaticText1 = AddLink(QStringLiteral("StaticText1"), QStringLiteral("Harlock"), {178, 65, 89, 18}, 20);
  connect(StaticText1, &LinkLabel::MouseExit, this, &AboutWindow::StaticText1_MouseExit);
  connect(StaticText1, &LinkLabel::MouseEnter, this, &AboutWindow::StaticText1_MouseEnter);
  connect(StaticText1, &LinkLabel::MouseDown, this, &AboutWindow::StaticText1_MouseDown);

  StaticText2 = AddLink(QStringLiteral("StaticText2"), QStringLiteral("Development"), {199, 82, 100, 14}, 12);
  connect(StaticText2, &LinkLabel::MouseDown, this, &AboutWindow::StaticText2_MouseDown);
  connect(StaticText2, &LinkLabel::MouseEnter, this, &AboutWindow::StaticText2_MouseEnter);
  connect(StaticText2, &LinkLabel::MouseExit, this, &AboutWindow::StaticText2_MouseExit);

  StaticText4 =
      AddLabel(QStringLiteral("StaticText4"), QStringLiteral("v2.9.5"), {286, 48, 51, 20}, 10, Qt::black);

  CloseAbout = new QPushButton(QStringLiteral("Continue"), m_content);
  CloseAbout->setObjectName(QStringLiteral("CloseAbout"));
  CloseAbout->setGeometry(398, 5, 74, 20);
  CloseAbout->setDefault(true);
  CloseAbout->setEnabled(true);
  connect(CloseAbout, &QPushButton::clicked, this, &AboutWindow::CloseAbout_Action);

  StaticText6 =
      AddLabel(QStringLiteral("StaticText6"),
               QStringLiteral("Manage all those email addresses in your text files!  Just drag and drop "
                              "from your text files or your web browser into Velmora and the email "
                              "addresses will be stripped out and added to your emailing list.\n\n"
                              "Written in September, 2002, Updated in May, 2004."),
               {5, 118, 467, 239}, 12, Qt::black);
  StaticText6->setWordWrap(true);
  StaticText6->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  StaticText7 = AddLink(QStringLiteral("StaticText7"), kMakerPage, {153, 99, 171, 14}, 9);
  connect(StaticText7, &LinkLabel::MouseEnter, this, &AboutWindow::StaticText7_MouseEnter);
  connect(StaticText7, &LinkLabel::MouseExit, this, &AboutWindow::StaticText7_MouseExit);
  connect(StaticText7, &LinkLabel::MouseDown, this, &AboutWindow::StaticText7_MouseDown);

  // The logo: the product name split after its first letter, the letter in red.
  StaticText3 = AddLabel(QStringLiteral("StaticText3"), kProductName.left(1), {148, 3, 30, 55}, 48, kLinkRed);
  StaticText5 =
      AddLabel(QStringLiteral("StaticText5"), kProductName.mid(1), {175, 3, 144, 55}, 48, Qt::black);
  // Read aloud, the logo's first letter stands for the whole name.
  StaticText3->setAccessibleName(kProductName);
  // The logo's design width is too narrow for the product name at 48 pixels in the
  // fonts found here; widen it rightwards rather than cut the name off.
  StaticText5->resize(std::max(StaticText5->width(), StaticText5->sizeHint().width()), StaticText5->height());

  // Tab goes from Continue down the links.
  setTabOrder(CloseAbout, StaticText1);
  setTabOrder(StaticText1, StaticText2);
  setTabOrder(StaticText2, StaticText7);
  CloseAbout->setFocus();
}

void AboutWindow::OpenInFront() {
  show();
  raise();
  activateWindow();
}

void AboutWindow::StaticText1_MouseExit() {
  StaticText1->SetTextColor(kLinkBlue);
}
void AboutWindow::StaticText1_MouseEnter() {
  StaticText1->SetTextColor(kLinkRed);
}
bool AboutWindow::StaticText1_MouseDown(int, int) {
  platform::ShowURL(kMakerPage);
  return false;
}

bool AboutWindow::StaticText2_MouseDown(int, int) {
  platform::ShowURL(kMakerPage);
  return false;
}
void AboutWindow::StaticText2_MouseEnter() {
  StaticText2->SetTextColor(kLinkRed);
}
void AboutWindow::StaticText2_MouseExit() {
  StaticText2->SetTextColor(kLinkBlue);
}

void AboutWindow::CloseAbout_Action() {
  // Continuing may start a main window, whose start-up yields: this window may be gone
  // when it returns.
  const platform::LongWork work(this);
  emit Continued();
  if (!work.Stopped()) close();
}

void AboutWindow::StaticText7_MouseEnter() {
  StaticText7->SetTextColor(kLinkRed);
}
void AboutWindow::StaticText7_MouseExit() {
  StaticText7->SetTextColor(kLinkBlue);
}
bool AboutWindow::StaticText7_MouseDown(int, int) {
  platform::ShowURL(kMakerPage);
  return false;
}

void AboutWindow::AddMenuHandlers() {
  auto& router = app::CommandRouter::Instance();
  router.AddMenuHandler(this, QStringLiteral("FileQuit"), [this] { return _FileQuit_Action(); });
  router.SetEnableMenuItems(this, [this] { Event_EnableMenuItems(); });
}

void AboutWindow::Event_EnableMenuItems() {
  FileQuit()->setEnabled(true);
}

bool AboutWindow::_FileQuit_Action() {
  emit QuitChosen();
  return true;
}

void AboutWindow::closeEvent(QCloseEvent* event) {
  // Continue is the way out, and File > Quit, which closes every window: a close that the
  // window manager or a task bar asks for is refused.
  if (event->spontaneous()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void AboutWindow::keyPressEvent(QKeyEvent* event) {
  // Continue is the only way to close the window: Escape does not dismiss it.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}
