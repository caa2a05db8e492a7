#include "lists/ui/NewAddressWin.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "lists/AddressScanner.h"
#include "platform/EventLoop.h"
#include "platform/Seams.h"
#include "platform/ui/DialogSupport.h"
#include "platform/ui/Listbox.h"

NewAddressWin::NewAddressWin(platform::Listbox* mainList, std::function<void(const QString&)> addToMain,
                             QWidget* opener)
    : QWidget(opener, Qt::Dialog), m_mainList(mainList), m_addToMain(std::move(addToMain)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("NewAddressWin"));
  setWindowTitle(QStringLiteral("Add New eMail Address..."));
  resize(278, 105);

  StaticText1 = platform::Place(
      new QLabel(
          QStringLiteral("Enter the email address that you would like to add, i.e. someone@example.com."),
          this),
      QStringLiteral("StaticText1"), {4, 5, 276, 30});
  StaticText1->setWordWrap(true);
  emailaddress = platform::Place(new QLineEdit(this), QStringLiteral("emailaddress"), {27, 42, 224, 22});
  platform::LabelField(StaticText1, emailaddress);
  OK = platform::Place(new QPushButton(QStringLiteral("OK"), this), QStringLiteral("OK"), {145, 76, 69, 20});
  OK->setDefault(true);
  Cancel = platform::Place(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("Cancel"),
                           {64, 76, 69, 20});
  Cancel->setShortcut(Qt::Key_Escape);  // the cancel button
  connect(OK, &QPushButton::clicked, this, &NewAddressWin::OK_Action);
  connect(emailaddress, &QLineEdit::returnPressed, this, &NewAddressWin::OK_Action);
  connect(Cancel, &QPushButton::clicked, this, &NewAddressWin::Cancel_Action);
}

void NewAddressWin::OK_Action() {
  // Adding yields after each address: an OK pressed again meanwhile (Return twice) would
  // otherwise add them all a second time.
  platform::AcceptOnce(this, &NewAddressWin::Accept);
}

void NewAddressWin::Accept() {
  if (!list) {
    platform::MsgBox(QStringLiteral("Error in the NewAddressWin - contact HarlockDevelopment."));
    close();
    return;
  }
  const QString found = lists::FindEmails(emailaddress->text());
  if (!found.isEmpty()) {
    const QStringList addresses = found.split(QLatin1Char(' '));
    // The addresses belong to the list they were typed for: opening another list in the
    // main window waits until they are in.
    const platform::LongWork importing(list->Model(), platform::LongWork::Importing, this);
    for (const QString& address : addresses) {
      // The target may be gone (its window closed) after a yield.
      if (!list) break;
      if (list == m_mainList && m_addToMain) {
        m_addToMain(address);
      } else {
        list->AddRow(address);
      }
      platform::YieldToEventLoop();
      if (importing.Stopped()) return;
    }
  }
  close();
}

void NewAddressWin::Cancel_Action() {
  close();
}
