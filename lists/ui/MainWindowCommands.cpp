// The main window's menu commands that edit the address list or open a window, and the
// removal of the selection behind Addresses > Remove, the toolbar's Delete and Backspace.
#include <QTabWidget>

#include "app/ui/MainWindow.h"
#include "app/ui/Windows.h"
#include "lists/FileImport.h"
#include "lists/ListCommands.h"
#include "lists/OpenList.h"
#include "lists/ui/MainWindowListsSetup.h"
#include "lists/ui/NewAddressWin.h"
#include "platform/Seams.h"
#include "platform/Text.h"
#include "platform/ui/Listbox.h"
#include "tools/ui/HelpWindow.h"

namespace {

constexpr int kAddressesTab = 0;
constexpr int kQueueTab = 1;

QString CountText(int rows) {
  return platform::Str(static_cast<long long>(rows)) + QStringLiteral(" addresses");
}

}  // namespace

bool MainWindow::_FileSave_Action() {
  SaveFile();
  return true;
}

bool MainWindow::_FileSaveAs_Action() {
  return SaveAsFile();
}

bool MainWindow::_HelpVelmoraHelp_Action() {
  // The help window needs nothing of this one, and outlives it when the user closes this.
  (new HelpWindow())->OpenInFront();
  return true;
}

bool MainWindow::_EditPaste_Action() {
  const QString text = platform::ClipboardText();
  if (text.isEmpty()) return true;
  // Pasted text is gathered as dropped text is, with the autosave waiting for the end.
  ImportAddresses([&text](lists::FileImport& import) { import.ImportText(text); });
  return true;
}

bool MainWindow::_EditDuplicate_Action() {
  QPointer<MainWindow> self(this);
  if (elist->SelCount() == 0) {
    platform::MsgBox(QStringLiteral("Select a list entry to duplicate."));
    if (!self) return true;
  } else if (lists::DuplicateSelected(*elist->Model()) > 0) {
    if (!self) return true;
    m_openList.MarkChanged();
  }
  if (self) SetSlug(CountText(elist->ListCount()));
  return true;
}

bool MainWindow::_EditSelectAll_Action() {
  switch (TabPanel1->currentIndex()) {
    case kAddressesTab:
      elist->Model()->SetAllSelected(true);
      break;
    case kQueueTab:
      CheckList->Model()->SetAllSelected(true);
      break;
    default:
      break;
  }
  return true;
}

bool MainWindow::_EditUnselectAll_Action() {
  // The address list whatever the tab in front.
  elist->Model()->SetAllSelected(false);
  SetSlug(QStringLiteral("0 addresses selected."));
  return true;
}

bool MainWindow::_EditSelectUnsent_Action() {
  lists::SelectUnsent(*elist->Model());
  return true;
}

bool MainWindow::_EditCopy_Action() {
  // With nothing selected the clipboard keeps what it holds.
  if (const std::optional<QString> addresses = lists::JoinSelectedAddresses(*elist->Model())) {
    platform::SetClipboardText(*addresses);
  }
  return true;
}

bool MainWindow::_AddressesNew_Action() {
  auto* window = app::ui::MakeNewAddressWin(*this, this);
  window->show();
  window->list = elist;
  return true;
}

bool MainWindow::_AddressesRemove_Action() {
  DeleteItems();
  return true;
}

bool MainWindow::_AddressesClearHistory_Action() {
  if (lists::ClearHistory(*elist->Model())) m_openList.MarkChanged();
  return true;
}

bool MainWindow::_AddressesBlackList_Action() {
  if (lists::ToggleBlackList(*elist->Model())) {
    m_openList.MarkChanged();
  } else {
    platform::MsgBox(QStringLiteral("You must select an email address from the list."));
  }
  return true;
}

void MainWindow::DeleteItems() {
  if (TabPanel1->currentIndex() == kAddressesTab) {
    DeleteEmails();
  } else {
    DeleteFromSendQueue();
  }
}

void MainWindow::DeleteEmails() {
  QPointer<MainWindow> self(this);
  switch (m_openList.RemoveSelectedToTrash()) {
    case lists::RemoveResult::TrashNotWriteable:
      platform::MsgBox(lists::OpenList::PermissionMessage());
      return;
    case lists::RemoveResult::TrashNotWritten:
      platform::MsgBox(QStringLiteral(
          "The addresses could not be written to Trash (is the disk full?), so none was removed."));
      break;
    case lists::RemoveResult::NothingSelected:
      platform::MsgBox(QStringLiteral("Select a list entry to delete."));
      break;
    case lists::RemoveResult::Removed:
      break;
  }
  if (self) SetSlug(CountText(elist->ListCount()));
}
