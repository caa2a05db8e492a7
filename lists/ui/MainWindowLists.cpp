// The main window's members that work on address lists: the list files, adding addresses
// from text, files and folders, the window's own events, the autosave, the toolbar and the
// Mailing Lists commands.
#include <QCloseEvent>
#include <QEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

#include "app/MessageLog.h"
#include "app/ui/MainWindow.h"
#include "app/ui/Windows.h"
#include "lists/AddressAdder.h"
#include "lists/AddressScanner.h"
#include "lists/DuplicateIndex.h"
#include "lists/FileImport.h"
#include "lists/ui/EditWindow.h"
#include "lists/ui/MLWindow.h"
#include "lists/ui/MainWindowListsSetup.h"
#include "lists/ui/SideBarWindow.h"
#include "platform/EventLoop.h"
#include "platform/Seams.h"
#include "platform/Text.h"
#include "platform/ui/DragItem.h"
#include "platform/ui/KeyText.h"
#include "platform/ui/Listbox.h"

namespace {

constexpr int kBackspace = 8;
constexpr int kLeftArrow = 28;
constexpr int kRightArrow = 29;
constexpr int kLastTab = 2;

}  // namespace

// ---- List files -------------------------------------------------------------------------

bool MainWindow::SaveAsFile() {
  return m_openList.SaveAsFile();
}

void MainWindow::ReadEmails() {
  m_openList.ReadEmails();
}

// ---- Adding addresses ---------------------------------------------------------------------

QString MainWindow::findemailold(const QString& text) {
  return lists::FindEmails(text);
}

bool MainWindow::AddAddress(const QString& address) {
  if (xduplicates) {
    // Kept in step with the list by its signals, so the test costs the same on a list of
    // a million rows as on an empty one.
    if (!m_duplicates) m_duplicates = new lists::DuplicateIndex(elist->Model(), this);
    if (m_duplicates->Contains(address)) {
      SetSlug(address + QStringLiteral(" already exists in the database."));
      return true;
    }
  }
  AddNewAddress(address);
  const int count = elist->ListCount();
  SetSlug(platform::Str(static_cast<long long>(count)) + QStringLiteral(" addresses"));
  m_openList.MarkChanged();
  if (count % 100 == 0) update();
  return true;
}

bool MainWindow::AddNewAddress(const QString& address) {
  elist->AddRow(address);
  return true;
}

void MainWindow::ImportAddresses(const std::function<void(lists::FileImport&)>& import) {
  QPointer<MainWindow> self(this);
  lists::OpenList::ImportScope importing(&m_openList);
  // Made now, it costs nothing until the duplicate test first asks it.
  if (!m_duplicates) m_duplicates = new lists::DuplicateIndex(elist->Model(), this);
  lists::AddressAdder::Reports reports;
  reports.added = [self](long long rows) {
    if (!self) return;
    self->ReportAdded(rows);
    self->m_openList.MarkChanged();
  };
  reports.exists = [self](QByteArrayView address) {
    if (self) self->ReportExists(address);
  };
  lists::AddressAdder adder(
      elist->Model(), m_duplicates, [self] { return self && self->xduplicates; }, std::move(reports));
  // The rows and log rows held back go in before anything else can look at them.
  const auto flush = [self, &adder] {
    adder.Flush();
    if (self) self->m_log->Publish();
  };
  // The window is redrawn at most every 50 ms, so drawing does not take the import's time.
  const platform::BeforeEventLoop flushing(flush, std::chrono::milliseconds(50));

  lists::ImportHooks hooks;
  hooks.addAddress = [self, &adder](QByteArrayView address) {
    if (self) adder.Add(address);
  };
  hooks.reserve = [self, &adder](qsizetype addresses) {
    adder.Reserve(addresses);
    if (self) self->m_log->Reserve(addresses);  // a report per address
  };
  hooks.setSlug = [self, &adder](const QString& text) {
    // The reports of the addresses before it come first.
    adder.CatchUp();
    if (self) self->SetSlug(text);
  };
  hooks.refresh = [self] {
    if (self) self->update();
  };
  hooks.rowCount = [&adder] { return adder.RowCount(); };
  hooks.stopped = [self] { return self.isNull(); };
  lists::FileImport fileImport(hooks);
  import(fileImport);
  flush();
  if (self) ShowPendingStatus();
}

void MainWindow::getemailfromfile(const platform::FolderItem& item) {
  ImportAddresses([&item](lists::FileImport& import) { import.ImportItem(item); });
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

void MainWindow::Event_Activate() {
  if (SideBar) SideBar->setVisible(true);
}

void MainWindow::Event_Deactivate() {
  if (SideBar) SideBar->setVisible(false);
}

void MainWindow::Event_DropObject(platform::DragItem& obj) {
  QPointer<MainWindow> self(this);
  lists::OpenList::ImportScope importing(&m_openList);
  do {
    // An item with both is handled both ways, the file first.
    const platform::FolderItem file = obj.FolderItem();
    if (!file.IsNull()) {
      getemailfromfile(file);
      if (!self) return;
    }
    if (obj.TextAvailable()) {
      const QString text = obj.Text();
      ImportAddresses([&text](lists::FileImport& import) { import.ImportText(text); });
      if (!self) return;
    }
    platform::YieldToEventLoop();
    if (!self) return;
  } while (obj.NextItem());
}

bool MainWindow::Event_Close() {
  // A save that fails (a full disk, a read-only file, the save dialog cancelled) takes the
  // edits with the window only when the user chooses to discard them; otherwise it stays open.
  if (m_openList.IsChanged() && !m_openList.SaveBeforeLeaving()) return false;
  if (SideBar) SideBar->close();
  return true;
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // A modifier pressed alone types nothing and moves nothing: it is no key to echo, or every
  // shortcut would leave a row "Key down = 0" behind.
  const QString key = platform::KeyText(*event);
  if (!key.isEmpty()) Event_KeyDown(key);
  QMainWindow::keyPressEvent(event);
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

void MainWindow::closeEvent(QCloseEvent* event) {
  // While a list file is being written or read, the save of the close would wait for that
  // work and go with the window: the window closes once the work ends.
  if (m_openList.FileBusy()) {
    event->ignore();
    QPointer<MainWindow> self(this);
    m_openList.RunWhenFileIdle([self] {
      if (self) self->close();
    });
    return;
  }
  if (!Event_Close()) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

// ---- The address list's events -----------------------------------------------------------

void MainWindow::elist_DoubleClick() {
  const int row = elist->ListIndex();
  if (row < 0) return;
  auto* edit = new EditWindow(elist, &m_openList, this);
  edit->show();
  edit->Address->setText(elist->Cell(row, 0));
  edit->emaillist->setText(elist->Cell(row, 1));
}

bool MainWindow::elist_KeyDown(const QString& key) {
  if (key.isEmpty()) return false;
  QPointer<MainWindow> self(this);
  // A key typed while this walk yields starts a walk of its own, and the later key wins.
  const platform::ListModel::Busy seeking(elist->Model(), platform::ListModel::Seeking);
  for (int row = 0; row < elist->ListCount(); ++row) {
    // The first character, compared exactly, without a string made per row.
    if (QStringView(elist->Cell(row, 0)).left(1) == key) {
      elist->SetListIndex(row);
      break;
    }
    platform::YieldToEventLoop();
    if (!self || seeking.Superseded()) return false;
  }
  return false;
}

void MainWindow::elist_Change() {
  const int selected = elist->SelCount();
  if (selected > 0)
    SetSlug(platform::Str(static_cast<long long>(selected)) + QStringLiteral(" addresses selected."));
}

// ---- Autosave and toolbar ---------------------------------------------------------------

void MainWindow::SaveTimer_Action() {
  SetSlug(QStringLiteral("Automatically saving addresses file."));
  // Waits for a save, a read or an import that is under way, so there is never a second
  // writer on the list file.
  m_openList.AutoSave();
}

void MainWindow::ToolbarItem1_Action(int index) {
  switch (index) {
    case 0:
      app::ui::OpenSendWindow(*this);
      break;
    case 1:
      DeleteItems();
      break;
    case 2:
      OpenSortWindow();
      break;
    default:
      break;
  }
}

// ---- Mailing Lists menu -------------------------------------------------------------------

bool MainWindow::_MailingListsNewMailingList_Action() {
  auto* window = app::ui::MakeMLWindow(*this);
  window->show();
  return true;
}

bool MainWindow::_MailingListsRemoveMailingList_Action() {
  QPointer<MainWindow> self(this);
  m_openList.RunWhenListIdle([self] {
    if (!self) return;
    self->m_openList.RemoveOpenList();
    if (self) self->UpdateLists();
  });
  return true;
}

bool MainWindow::_MailingListsEmptyTash_Action() {
  m_openList.EmptyTrash();
  return true;
}
