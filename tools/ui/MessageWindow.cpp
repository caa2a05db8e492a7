#include "tools/ui/MessageWindow.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <memory>

#include "app/CommandRouter.h"
#include "lists/AddressAdder.h"
#include "lists/AddressScanner.h"
#include "lists/FileImport.h"
#include "lists/ListCommands.h"
#include "lists/OpenList.h"
#include "platform/EventLoop.h"
#include "platform/LongWork.h"
#include "platform/Seams.h"
#include "platform/Text.h"
#include "platform/ui/DialogSupport.h"
#include "platform/ui/DragItem.h"
#include "platform/ui/KeyText.h"
#include "platform/ui/Listbox.h"
#include "platform/ui/Menu.h"
#include "platform/ui/WindowFrame.h"
#include "tools/AddressMatch.h"

namespace {

constexpr int kEscape = 27;
constexpr int kReturn = 13;
constexpr int kEnter = 3;

}  // namespace

MessageWindow::MessageWindow(Owners owners, QWidget* parent)
    : QWidget(parent, Qt::Window), m_owners(std::move(owners)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("MessageWindow"));
  setWindowTitle(QStringLiteral("Untitled"));
  // Its own menu bar: Addresses > New, chosen there, fills this window's list.
  QWidget* content = InstallMenuBarAndContent(*this, {64, 64});
  content->setMaximumSize(32000, 32000);
  SizeContentArea(*this, {466, 361});

  using platform::Place;
  MessageList = Place(new platform::Listbox(1, content), QStringLiteral("MessageList"), {5, 5, 456, 292});
  MessageList->Model()->SetHasHeading(false);
  MessageList->SetMultipleSelection(true);
  MessageList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  MessageList->setAccessibleName(QStringLiteral("Addresses"));
  Close =
      Place(new QPushButton(QStringLiteral("Close"), content), QStringLiteral("Close"), {199, 332, 69, 20});
  Close->setDefault(true);
  RemoveFromList = Place(new QPushButton(QStringLiteral("Remove from This List"), content),
                         QStringLiteral("RemoveFromList"), {113, 304, 158, 20});
  RemoveFromMain = Place(new QPushButton(QStringLiteral("Remove all from Main List"), content),
                         QStringLiteral("RemoveFromMain"), {280, 304, 181, 20});
  PushButton1 = Place(new QPushButton(QStringLiteral("Add Address"), content), QStringLiteral("PushButton1"),
                      {5, 304, 96, 20});
  Slug = Place(new QLabel(content), QStringLiteral("Slug"), {5, 341, 180, 20});

  connect(MessageList, &platform::Listbox::Change, this, &MessageWindow::MessageList_Change);
  connect(Close, &QPushButton::clicked, this, &MessageWindow::Close_Action);
  connect(RemoveFromList, &QPushButton::clicked, this, &MessageWindow::RemoveFromList_Action);
  connect(RemoveFromMain, &QPushButton::clicked, this, &MessageWindow::RemoveFromMain_Action);
  connect(PushButton1, &QPushButton::clicked, this, &MessageWindow::PushButton1_Action);
  AddMenuHandlers();
  Event_Open();
}

void MessageWindow::OpenInFront() {
  show();
  raise();
  activateWindow();
}

void MessageWindow::Event_Open() {
  // Dropped text, and dropped files of the types "Text" and "Any": every file.
  setAcceptDrops(true);
}

void MessageWindow::ShowCount() {
  Slug->setText(platform::Str(static_cast<long long>(MessageList->ListCount())) +
                QStringLiteral(" addresses."));
}

void MessageWindow::Event_Activate() {
  ShowCount();
}

void MessageWindow::MessageList_Change() {
  const int selected = MessageList->SelCount();
  if (selected > 0)
    Slug->setText(platform::Str(static_cast<long long>(selected)) + QStringLiteral(" selected."));
}

void MessageWindow::Close_Action() {
  close();
}

bool MessageWindow::Event_KeyDown(const QString& key) {
  if (platform::Asc(key) == kEscape) close();
  return false;
}

// ---- Drops ------------------------------------------------------------------------------

void MessageWindow::AddFound(const QString& found) {
  if (!found.isEmpty()) MessageList->Model()->AppendFirstCells(found.split(QLatin1Char(' ')));
}

void MessageWindow::getemailfromfile(const platform::FolderItem& item) {
  // Every address of every file, with no duplicate test and no reports; the import ends
  // when this window goes.
  const platform::LongWork importing(this);
  // The addresses reach the list in batches, before the event loop runs and at the end.
  lists::AddressAdder adder(MessageList->Model(), nullptr, {}, {});
  const platform::BeforeEventLoop flushing([&adder] { adder.Flush(); });
  lists::ImportHooks hooks;
  hooks.addAddress = [&importing, &adder](QByteArrayView address) {
    if (!importing.Stopped()) adder.Add(address);
  };
  hooks.reserve = [&adder](qsizetype addresses) { adder.Reserve(addresses); };
  hooks.stopped = [&importing] { return importing.Stopped(); };
  lists::FileImport(hooks).ImportItem(item);
  adder.Flush();
}

void MessageWindow::Event_DropObject(platform::DragItem& item) {
  const platform::LongWork work(this);
  do {
    const platform::FolderItem file = item.FolderItem();
    if (!file.IsNull()) {
      getemailfromfile(file);
      if (work.Stopped()) return;
    }
    if (item.TextAvailable()) AddFound(lists::FindEmails(item.Text()));
    platform::YieldToEventLoop();
    if (work.Stopped()) return;
  } while (item.NextItem());
  ShowCount();
}

void MessageWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() || event->mimeData()->hasText()) event->acceptProposedAction();
}

void MessageWindow::dropEvent(QDropEvent* event) {
  platform::DragItem item(*event->mimeData());
  event->acceptProposedAction();
  Event_DropObject(item);
}

// ---- Removing ---------------------------------------------------------------------------

void MessageWindow::RemoveFromList_Action() {
  platform::ListModel* list = MessageList->Model();
  list->RemoveRowsIf([list](int row) { return list->Selected(row); });
}

void MessageWindow::RemoveFromMain_Action() {
  // Taken now: the move to Trash writes a file, and this window may go meanwhile.
  const QPointer<lists::OpenList> openList = m_owners.openList;
  const std::function<void(const QString&)> report = m_owners.report;
  if (!m_owners.mainList || !openList) return;
  platform::ListModel* listed = MessageList->Model();
  const QPointer<platform::ListModel> elist = m_owners.mainList->Model();
  const tools::BulkRemoval plan = tools::PlanBulkRemoval(*listed, *elist);
  listed->RemoveRowsIf([&plan](int row) { return plan.repeats[row] != 0; });

  // The addresses reach Trash before their rows go, and no row goes unless they all did.
  if (const platform::FileResult moved = openList->MoveRowsToTrash(plan.mainRows); !moved.Ok()) {
    platform::MsgBox(QStringLiteral("The addresses could not be copied to Trash") +
                     platform::InBrackets(moved.Reason()) +
                     QStringLiteral(", so none of them was removed from the list."));
    return;
  }
  if (elist) report(platform::Str(static_cast<long long>(elist->ListCount())) + QStringLiteral(" addresses"));
}

// ---- Adding and the menu ------------------------------------------------------------------

void MessageWindow::PushButton1_Action() {
  if (m_owners.openAddressDialog) m_owners.openAddressDialog(MessageList, this);
}

bool MessageWindow::_AddressesNew_Action() {
  PushButton1_Action();
  return false;
}

void MessageWindow::AddMenuHandlers() {
  auto& router = app::CommandRouter::Instance();
  router.AddMenuHandler(this, QStringLiteral("AddressesNew"), [this] { return _AddressesNew_Action(); });
  router.SetEnableMenuItems(this, [this] { Event_EnableMenuItems(); });
}

void MessageWindow::Event_EnableMenuItems() {
  if (QAction* item = AddressesNew()) item->setEnabled(true);
}

// ---- Window events ------------------------------------------------------------------------

void MessageWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) Event_Activate();
  QWidget::changeEvent(event);
}

void MessageWindow::keyPressEvent(QKeyEvent* event) {
  const QString key = platform::KeyText(*event);
  const int code = platform::Asc(key);
  // Return and Enter press the default button, Close.
  if (code == kReturn || code == kEnter) {
    Close->click();
    return;
  }
  Event_KeyDown(key);
  QWidget::keyPressEvent(event);
}
