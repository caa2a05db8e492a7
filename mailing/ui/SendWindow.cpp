#include "mailing/ui/SendWindow.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "app/Settings.h"
#include "lists/OpenList.h"
#include "mailing/MailSelection.h"
#include "mailing/MessageFile.h"
#include "mailing/SendEngine.h"
#include "platform/EmailMessage.h"
#include "platform/EventLoop.h"
#include "platform/LongWork.h"
#include "platform/Seams.h"
#include "platform/Text.h"
#include "platform/ui/DialogSupport.h"
#include "platform/ui/KeyText.h"

namespace {

using platform::Place;

const QString kWarning = QStringLiteral(
    "Warning: The SMTP server in the preferences panel has not been configured.  Pressing the OK button will "
    "result in the email addresses that you have selected being copied to the clipboard.  You must paste the "
    "list of emails into your normal email application and send the email from there.\n\n"
    "You should select the email to send as normal, in order to mark that email as having been sent to the "
    "selected email addresses.\n\n"
    "If you do not wish for this to happen, press the Cancel button now.");

// The largest message file, in words.
const QString kLargest = QString::number(mailing::kMaxMessageFileBytes >> 20) + QStringLiteral(" MB");

constexpr int kUpArrow = 30;
constexpr int kDownArrow = 31;

}  // namespace

SendWindow::SendWindow(Owners owners, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_owners(std::move(owners)) {
  Layout();
  CreateControls();
}

void SendWindow::Layout() {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("SendWindow"));
  setWindowTitle(QStringLiteral("Send eMails..."));
  setFixedSize(457, 304);
}

void SendWindow::CreateControls() {
  _CreateControls0();
}

void SendWindow::_CreateControls0() {
  Name = Place(new QLineEdit(this), QStringLiteral("Name"), {47, 5, 80, 22});
  From = Place(new QLineEdit(this), QStringLiteral("From"), {43, 31, 232, 21});
  Subject = Place(new QLineEdit(this), QStringLiteral("Subject"), {58, 57, 232, 20});
  Body = Place(new BodyField(this), QStringLiteral("Body"), {7, 103, 442, 166});
  PushButton1 =
      Place(new QPushButton(QStringLiteral("OK"), this), QStringLiteral("PushButton1"), {82, 275, 69, 20});
  PushButton1->setDefault(true);
  PushButton2 = Place(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("PushButton2"),
                      {306, 275, 69, 20});
  PushButton2->setShortcut(Qt::Key_Escape);  // the cancel button
  StaticText1 =
      Place(new QLabel(QStringLiteral("Name:"), this), QStringLiteral("StaticText1"), {7, 6, 41, 20});
  StaticText2 =
      Place(new QLabel(QStringLiteral("Subject:"), this), QStringLiteral("StaticText2"), {7, 58, 49, 20});
  StaticText3 =
      Place(new QLabel(QStringLiteral("Body:"), this), QStringLiteral("StaticText3"), {7, 84, 36, 20});
  StaticText4 =
      Place(new QLabel(QStringLiteral("From:"), this), QStringLiteral("StaticText4"), {7, 32, 36, 20});
  emails = Place(new QComboBox(this), QStringLiteral("emails"), {134, 6, 141, 20});
  // The stored messages to pick from; its drop-down list is known by the same name.
  emails->setAccessibleName(QStringLiteral("Stored messages"));
  emails->view()->setAccessibleName(emails->accessibleName());
  Warning = Place(new QLabel(kWarning, this), QStringLiteral("Warning"), {7, 34, 443, 156});
  Warning->setWordWrap(true);
  Warning->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QPalette red = Warning->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  Warning->setPalette(red);
  Warning->setAutoFillBackground(true);  // it covers the message fields
  Warning->hide();
  PushButton3 = Place(new QPushButton(QStringLiteral("Copy to Clipboard"), this),
                      QStringLiteral("PushButton3"), {163, 275, 131, 20});
  HTMLcoded =
      Place(new QCheckBox(QStringLiteral("HTML"), this), QStringLiteral("HTMLcoded"), {7, 275, 60, 20});

  platform::LabelField(StaticText1, Name);
  platform::LabelField(StaticText4, From);
  platform::LabelField(StaticText2, Subject);
  platform::LabelField(StaticText3, Body);

  for (QLineEdit* field : {Name, From, Subject}) {
    field->installEventFilter(this);
    connect(field, &QLineEdit::returnPressed, this, &SendWindow::PushButton1_Action);
  }
  connect(PushButton1, &QPushButton::clicked, this, &SendWindow::PushButton1_Action);
  connect(PushButton2, &QPushButton::clicked, this, &SendWindow::PushButton2_Action);
  connect(PushButton3, &QPushButton::clicked, this, &SendWindow::PushButton3_Action);
  // The load yields while a long message comes in, and whatever runs meanwhile may close the
  // window: it must not run inside the popup's own change, which would then go on in a
  // deleted popup.
  connect(
      emails, &QComboBox::currentIndexChanged, this,
      [this] {
        if (emails->currentIndex() >= 0) emails_Change();
      },
      Qt::QueuedConnection);
}

void SendWindow::Open() {
  show();
  Event_Open();
}

// ---- Keys ---------------------------------------------------------------------------------

bool SendWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const QString key = platform::KeyText(*static_cast<QKeyEvent*>(event));
    if (watched == Name) return Name_KeyDown(key);
    if (watched == From) return From_KeyDown(key);
    if (watched == Subject) return Subject_KeyDown(key);
  }
  return QWidget::eventFilter(watched, event);
}

void SendWindow::keyPressEvent(QKeyEvent* event) {
  // A key that one of the three fields leaves alone comes on to the window; the field's
  // own key event has already passed it on.
  const QWidget* focus = focusWidget();
  if (focus != Name && focus != From && focus != Subject) Event_KeyDown(platform::KeyText(*event));
  QWidget::keyPressEvent(event);
}

bool SendWindow::Event_KeyDown(const QString& key) {
  ProcessKeyDown(key);
  return false;
}

void SendWindow::ProcessKeyDown(const QString& key) {
  // Choosing a row raises the popup's change, which loads the message.
  const int code = platform::Asc(key);
  const int chosen = emails->currentIndex();
  if (code == kUpArrow && chosen >= 1) emails->setCurrentIndex(chosen - 1);
  if (code == kDownArrow && chosen < emails->count() - 1) emails->setCurrentIndex(chosen + 1);
}

// ---- Opening ------------------------------------------------------------------------------

void SendWindow::Event_Open() {
  const platform::LongWork work(this);
  platform::FolderItem folder = mailing::MessageFolder();
  if (!folder.Exists()) {
    m_owners.report(QStringLiteral("Creating the eMails folder."));
    folder = mailing::MessageFolder();
    if (const platform::FileResult made = folder.CreateAsFolder(); !made.Ok()) {
      m_owners.report(QStringLiteral("Could not create the folder ") + folder.AbsolutePath() +
                      platform::InBrackets(made.Reason()) + QStringLiteral("; messages cannot be stored."));
    }
  }
  for (int i = 1; i <= folder.Count(); ++i) {
    const QString name = folder.Item(i).DisplayName();
    if (platform::StrComp(name, QStringLiteral(".DS_Store"), 0) != 0) {
      // Adding the first row would choose it; the choice is the user's.
      const QSignalBlocker quiet(emails);
      const int chosen = emails->currentIndex();
      emails->addItem(name);
      emails->setCurrentIndex(chosen);
    }
    platform::YieldToEventLoop();
    if (work.Stopped()) return;
  }
  if (!m_owners.settings || platform::TextEquals(m_owners.settings->Values().server, QString()))
    ShowWarning();
}

void SendWindow::ShowWarning() {
  Warning->show();
  for (QWidget* hidden :
       std::initializer_list<QWidget*>{Body, From, Subject, StaticText2, StaticText3, StaticText4})
    hidden->hide();
}

// ---- A stored message -----------------------------------------------------------------------

QString SendWindow::BodyText() const {
  return Body->Text();
}

bool SendWindow::SetBodyText(const QString& body) {
  return Body->Show(body);
}

void SendWindow::EnableSending(bool enabled) {
  for (QPushButton* button : {PushButton1, PushButton3}) button->setEnabled(enabled);
}

bool SendWindow::Loading() const {
  return platform::LongWork::IsBusy(this, platform::LongWork::Loading);
}

void SendWindow::emails_Change() {
  const QString name = emails->currentText();
  Name->setText(name);
  From->clear();
  Subject->clear();
  HTMLcoded->setChecked(false);
  // A later choice takes over from a load under way; the buttons work again once none is.
  const platform::LongWork loading(this, platform::LongWork::Loading);
  EnableSending(false);
  platform::LongWork::RunWhenIdle(this, platform::LongWork::Loading, this, [this] { EnableSending(true); });
  const mailing::ChosenMessage chosen = mailing::ReadChosenMessage(mailing::MessageFolder(), name);
  if (loading.Stopped()) return;
  switch (chosen.state) {
    case mailing::ChosenMessage::State::Missing:
      break;  // the body stays as it was
    case mailing::ChosenMessage::State::TooLarge:
      m_owners.report(QStringLiteral("The message \"") + name + QStringLiteral("\" is larger than ") +
                      kLargest + QStringLiteral(" and cannot be read."));
      [[fallthrough]];
    case mailing::ChosenMessage::State::Unreadable:
      Body->clear();
      break;
    case mailing::ChosenMessage::State::Read:
      From->setText(chosen.from);
      Subject->setText(chosen.subject);
      HTMLcoded->setChecked(chosen.html);
      if (SetBodyText(chosen.body) && Body->ShownBroken()) {
        m_owners.report(
            QStringLiteral("The message \"") + name +
            QStringLiteral("\" has lines too long to edit here: they are shown broken into parts, "
                           "and OK stores the message as it is."));
      }
      break;
  }
}

// ---- Buttons ---------------------------------------------------------------------------------

void SendWindow::PushButton1_Action() {
  if (!Loading()) platform::AcceptOnce(this, &SendWindow::SendAndClose);
}

void SendWindow::PushButton2_Action() {
  close();
}

void SendWindow::PushButton3_Action() {
  if (!Loading()) platform::AcceptOnce(this, &SendWindow::CopyAndClose);
}

void SendWindow::SendAndClose() {
  const platform::LongWork work(this);
  const bool sent = SendEmail();
  if (!work.Stopped() && sent) close();
}

void SendWindow::CopyAndClose() {
  const platform::LongWork work(this);
  const bool warned = !Warning->isHidden();
  Warning->show();
  const bool sent = SendEmail();
  if (work.Stopped()) return;
  if (sent) {
    close();
  } else {
    Warning->setVisible(warned);  // the window stays open as it was, for the name to be changed
  }
}

bool SendWindow::SendEmail() {
  const QPointer<platform::ListModel> rows = m_owners.rows;
  if (!rows) return true;  // nothing left to mail to
  const QPointer<lists::OpenList> openList = m_owners.openList;
  const QPointer<mailing::SendEngine> session = m_owners.session;
  const platform::LongWork work(this);
  // Everything the mailing needs from the window is taken now: the steps below yield, and
  // the window may be closed meanwhile.
  const bool markAsSent = !Warning->isHidden();
  const QString name = Name->text();
  const bool html = HTMLcoded->isChecked();
  const QString unsent = markAsSent ? QStringLiteral("nothing was marked or copied.")
                                    : QStringLiteral("nothing was queued or copied.");
  // Reports go on when the window is gone.
  const std::function<void(const QString&)> report = m_owners.report;

  // 1. The message file, before any address is queued.
  if (!mailing::IsStorableMessageName(name)) {
    report(QStringLiteral("A message cannot be stored under the name \"") + name +
           QStringLiteral("\" (it must not be empty, \".\" or \"..\", nor hold \"/\", \"\\\" or a control "
                          "character); ") +
           unsent);
    return false;
  }
  // Mail without a usable sender goes out without a From header, and providers refuse it.
  if (!markAsSent && platform::MailboxAddress(From->text()).isEmpty()) {
    report(QStringLiteral("The sender \"") + From->text() +
           QStringLiteral("\" is not one e-mail address (write it as news@example.org or as "
                          "News Team <news@example.org>); ") +
           unsent);
    return false;
  }
  const QString typed = BodyText();
  const QString body = mailing::ConvertHTMLTags(typed, report);
  // Showing a long body again takes a while; an unchanged one need not be.
  if (!work.Stopped() && body != typed) SetBodyText(body);
  if (work.Stopped() || !rows) return false;
  const platform::FolderItem folder = mailing::MessageFolder();
  bool tooLarge = false;
  const platform::FileResult stored =
      mailing::WriteMessageFile(folder, name, {From->text(), Subject->text(), html, body}, &tooLarge);
  if (!stored.Ok()) {
    report(tooLarge ? QStringLiteral("The message \"") + name + QStringLiteral("\" is larger than ") +
                          kLargest + QStringLiteral(" and cannot be stored; ") + unsent
                    : QStringLiteral("Could not store the message \"") + name + QStringLiteral("\" in ") +
                          folder.AbsolutePath() + platform::InBrackets(stored.Reason()) +
                          QStringLiteral("; ") + unsent);
    return false;
  }

  // 2. The addresses.
  const mailing::Mailing mailing{name, html, markAsSent, platform::Date()};
  const std::optional<QString> addresses =
      mailing::MailSelectedRows(rows, session ? session->Queue() : nullptr, mailing, [openList] {
        if (openList) openList->MarkChanged();
      });
  if (!addresses || !rows) return false;
  platform::SetClipboardText(*addresses);
  if (markAsSent) {
    platform::MsgBox(
        QStringLiteral("The selected entries in the list have been copied to the clipboard and updated to "
                       "reflect that email has been sent to them."));
  } else if (session) {
    session->StartMailing();
  }
  return true;
}
