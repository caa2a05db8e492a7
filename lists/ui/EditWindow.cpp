#include "lists/ui/EditWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

#include "lists/ListFileFormat.h"
#include "lists/OpenList.h"
#include "platform/Seams.h"
#include "platform/ui/DialogSupport.h"
#include "platform/ui/Listbox.h"

EditWindow::EditWindow(platform::Listbox* list, lists::OpenList* openList, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_list(list), m_openList(openList) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("EditWindow"));
  setWindowTitle(QStringLiteral("Edit an eMail Address..."));
  resize(321, 139);

  Address = platform::Place(new QLineEdit(this), QStringLiteral("Address"), {6, 6, 308, 22});
  emaillist = platform::Place(new QLabel(this), QStringLiteral("emaillist"), {6, 31, 308, 70});
  emaillist->setWordWrap(true);
  emaillist->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PushButton1 = platform::Place(new QPushButton(QStringLiteral("Update"), this),
                                QStringLiteral("PushButton1"), {166, 113, 69, 20});
  PushButton1->setDefault(true);
  PushButton2 = platform::Place(new QPushButton(QStringLiteral("Cancel"), this),
                                QStringLiteral("PushButton2"), {85, 113, 69, 20});
  PushButton2->setShortcut(Qt::Key_Escape);  // the cancel button
  connect(PushButton1, &QPushButton::clicked, this, &EditWindow::PushButton1_Action);
  connect(Address, &QLineEdit::returnPressed, this, &EditWindow::PushButton1_Action);
  connect(PushButton2, &QPushButton::clicked, this, &EditWindow::PushButton2_Action);
}

void EditWindow::PushButton1_Action() {
  // The row selected now, which may differ from the one the window was opened on.
  const int row = m_list ? m_list->ListIndex() : -1;
  // Without a selected row there is nothing to update.
  if (row >= 0) {
    // An address the list file could not give back as typed is refused, and the window
    // stays for the user to mend it.
    if (const std::optional<QString> problem = lists::AddressProblem(Address->text())) {
      platform::MsgBox(*problem);
      return;
    }
    m_list->SetCell(row, 0, lists::StorableAddress(Address->text()).value_or(QString()));
    if (m_openList) m_openList->MarkChanged();
  }
  close();
}

void EditWindow::PushButton2_Action() {
  close();
}
