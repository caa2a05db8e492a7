#include "lists/ui/MLWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "lists/MailingLists.h"
#include "lists/OpenList.h"
#include "platform/Seams.h"
#include "platform/TextStream.h"
#include "platform/ui/DialogSupport.h"

MLWindow::MLWindow(lists::OpenList* openList, std::function<void()> listsChanged,
                   std::function<void(const QString&)> report, QWidget* parent)
    : QWidget(parent, Qt::Dialog),
      m_openList(openList),
      m_listsChanged(std::move(listsChanged)),
      m_report(std::move(report)) {
  Layout();
  CreateControls();
}

void MLWindow::Layout() {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("MLWindow"));
  setWindowTitle(QStringLiteral("Mailing List"));
  resize(245, 93);
  setMinimumSize(64, 64);
  setMaximumSize(32000, 32000);
}

void MLWindow::CreateControls() {
  _CreateControls0();
}

void MLWindow::_CreateControls0() {
  StaticText1 = platform::Place(new QLabel(QStringLiteral("Enter the name for the mailing list:"), this),
                                QStringLiteral("StaticText1"), {8, 7, 284, 20});
  EditField1 = platform::Place(new QLineEdit(this), QStringLiteral("EditField1"), {8, 34, 229, 22});
  platform::LabelField(StaticText1, EditField1);
  OK = platform::Place(new QPushButton(QStringLiteral("OK"), this), QStringLiteral("OK"), {128, 61, 69, 20});
  OK->setDefault(true);
  OK->setAutoDefault(true);
  Cancel = platform::Place(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("Cancel"),
                           {47, 61, 69, 20});
  Cancel->setAutoDefault(false);
  connect(OK, &QPushButton::clicked, this, &MLWindow::OK_Action);
  connect(EditField1, &QLineEdit::returnPressed, this, &MLWindow::OK_Action);
  connect(Cancel, &QPushButton::clicked, this, &MLWindow::Cancel_Action);
}

void MLWindow::OK_Action() {
  // Looking for a free name and opening the new list both yield: an OK pressed again
  // meanwhile (Return twice) would otherwise make a second list.
  platform::AcceptOnce(this, &MLWindow::Accept);
}

void MLWindow::Accept() {
  if (EditField1->text().isEmpty()) EditField1->setText(QStringLiteral("Untitled"));
  // A name the program keeps for its own files (or one LastDatabase could not hold) is
  // refused, and the dialog stays for another name.
  if (const std::optional<QString> problem = lists::ListNameProblem(EditField1->text())) {
    platform::MsgBox(*problem);
    return;
  }
  const platform::LongWork naming(this);
  QPointer<lists::OpenList> openList = m_openList;
  if (!openList) {
    close();
    return;
  }
  const platform::FolderItem database = openList->Database();
  const std::optional<platform::FolderItem> file = lists::FreeListFile(database, EditField1->text());
  // The dialog or the main window may have been closed while the name was looked for.
  if (naming.Stopped() || !openList || !file) return;
  QString reason;
  std::unique_ptr<platform::TextOutputStream> stream = platform::TextOutputStream::Create(*file, &reason);
  const platform::FileResult made = stream ? stream->Close() : platform::FileResult::Failure(reason);
  if (!made.Ok()) {
    m_report(QStringLiteral("Could not create the list file ") + file->AbsolutePath() +
             platform::Because(made.Reason()));
    close();
    return;
  }
  const QString name = file->DisplayName();
  // Opened and shown together: while a list file is being written or an import runs the
  // open waits, and the side bar must then mark the new list, not the one open before.
  openList->RunWhenListIdle(openList, [openList, name, listsChanged = m_listsChanged] {
    openList->OpenDatabase(name);
    if (openList) listsChanged();
  });
  if (!naming.Stopped()) close();
}

void MLWindow::Cancel_Action() {
  close();
}
