// The main window's menu commands and the handlers of its controls' events: each hands the
// work to the owner it belongs to (the open list, the address intake, the list commands,
// the send session, the opt-out check) and shows the outcome.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>

#include "app/AddressIntake.h"
#include "app/ui/MainWindow.h"
#include "app/ui/SortIcon.h"
#include "app/ui/Windows.h"
#include "lists/AddressScanner.h"
#include "lists/ListCommands.h"
#include "lists/ui/EditWindow.h"
#include "lists/ui/MLWindow.h"
#include "lists/ui/NewAddressWin.h"
#include "mailing/MessageFile.h"
#include "mailing/Pop3Login.h"
#include "mailing/SendEngine.h"
#include "mailing/ui/PreferencesWindow.h"
#include "mailing/ui/SendWindow.h"
#include "platform/LongWork.h"
#include "platform/Seams.h"
#include "platform/Text.h"
#include "platform/ui/Listbox.h"
#include "tools/AddressMatch.h"
#include "tools/Find.h"
#include "tools/OptOut.h"
#include "tools/OptOutCheck.h"
#include "tools/ui/HelpWindow.h"
#include "tools/ui/MessageWindow.h"
#include "tools/ui/SearchWindow.h"
#include "tools/ui/SortWindow.h"

namespace {

constexpr int kAddressesTab = 0;
constexpr int kQueueTab = 1;

QString CountText(int rows) {
  return platform::Str(static_cast<long long>(rows)) + QStringLiteral(" addresses");
}

// Find and Find Next: the row found selected and said, or the text not found.
void ShowFound(MainWindow& window, const QString& text, int row) {
  if (row < 0) {
    window.SetSlug(tools::NotFoundText(text));
    return;
  }
  window.elist->SetListIndex(row);
  window.SetSlug(tools::FoundText(text, row));
}

}  // namespace

// ---- List files ---------------------------------------------------------------------------

void MainWindow::SaveFile() {
  m_openList.SaveFile();
}

bool MainWindow::SaveAsFile() {
  return m_openList.SaveAsFile();
}

void MainWindow::OpenDatabase(const QString& name) {
  m_openList.OpenDatabase(name);
}

void MainWindow::ReadEmails() {
  m_openList.ReadEmails();
}

bool MainWindow::_FileSave_Action() {
  SaveFile();
  return true;
}

bool MainWindow::_FileSaveAs_Action() {
  return SaveAsFile();
}

void MainWindow::SaveTimer_Action() {
  SetSlug(QStringLiteral("Automatically saving addresses file."));
  // Waits for a save, a read or an import that is under way, so there is never a second
  // writer on the list file.
  m_openList.AutoSave();
}

// ---- Adding addresses -----------------------------------------------------------------------

QString MainWindow::findemailold(const QString& text) {
  return lists::FindEmails(text);
}

bool MainWindow::AddAddress(const QString& address) {
  return m_intake.AddAddress(address);
}

bool MainWindow::AddNewAddress(const QString& address) {
  return m_intake.AddNewAddress(address);
}

void MainWindow::getemailfromfile(const platform::FolderItem& item) {
  m_intake.ImportItem(item);
}

bool MainWindow::_EditPaste_Action() {
  const QString text = platform::ClipboardText();
  // Pasted text is gathered as dropped text is, with the autosave waiting for the end.
  if (!text.isEmpty()) m_intake.ImportText(text);
  return true;
}

bool MainWindow::_AddressesNew_Action() {
  auto* window = app::ui::MakeNewAddressWin(*this, this);
  window->show();
  window->list = elist;
  return true;
}

// ---- The address list's events and commands -------------------------------------------------

void MainWindow::elist_DoubleClick() {
  const int row = elist->ListIndex();
  if (row < 0) return;
  auto* edit = new EditWindow(elist, &m_openList, this);
  edit->show();
  edit->Address->setText(elist->Cell(row, 0));
  edit->emaillist->setText(elist->Cell(row, 1));
}

bool MainWindow::elist_KeyDown(const QString& key) {
  const platform::LongWork work(this);
  const int row = lists::RowStartingWith(elist->Model(), key);
  if (!work.Stopped() && row >= 0) elist->SetListIndex(row);
  return false;
}

void MainWindow::elist_Change() {
  const int selected = elist->SelCount();
  if (selected > 0)
    SetSlug(platform::Str(static_cast<long long>(selected)) + QStringLiteral(" addresses selected."));
}

bool MainWindow::_EditDuplicate_Action() {
  const platform::LongWork work(this);
  if (elist->SelCount() == 0) {
    platform::MsgBox(QStringLiteral("Select a list entry to duplicate."));
    if (work.Stopped()) return true;
  } else if (lists::DuplicateSelected(*elist->Model()) > 0) {
    if (work.Stopped()) return true;
    m_openList.MarkChanged();
  }
  if (!work.Stopped()) SetSlug(CountText(elist->ListCount()));
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

// ---- Removal ----------------------------------------------------------------------------------

bool MainWindow::_AddressesRemove_Action() {
  DeleteItems();
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
  const platform::LongWork work(this);
  QString reason;
  switch (m_openList.RemoveSelectedToTrash(&reason)) {
    case lists::RemoveResult::TrashNotWriteable:
      platform::MsgBox(lists::OpenList::PermissionMessage());
      return;
    case lists::RemoveResult::TrashNotWritten:
      platform::MsgBox(QStringLiteral("The addresses could not be written to Trash") +
                       platform::InBrackets(reason) + QStringLiteral(", so none was removed."));
      break;
    case lists::RemoveResult::NothingSelected:
      platform::MsgBox(QStringLiteral("Select a list entry to delete."));
      break;
    case lists::RemoveResult::Removed:
      break;
  }
  if (!work.Stopped()) SetSlug(CountText(elist->ListCount()));
}

// ---- Mailing Lists menu -----------------------------------------------------------------------

bool MainWindow::_MailingListsNewMailingList_Action() {
  auto* window = app::ui::MakeMLWindow(*this);
  window->show();
  return true;
}

bool MainWindow::_MailingListsRemoveMailingList_Action() {
  m_openList.RunWhenListIdle(this, [this] {
    const platform::LongWork removing(this);
    m_openList.RemoveOpenList();
    if (!removing.Stopped()) UpdateLists();
  });
  return true;
}

bool MainWindow::_MailingListsEmptyTash_Action() {
  m_openList.EmptyTrash();
  return true;
}

// ---- Toolbar and help ---------------------------------------------------------------------------

void MainWindow::ToolbarItem1_Open(int index) {
  ToolbarItem1[index]->setIcon(SortIcon());
}

void MainWindow::ToolbarItem1_Action(int index) {
  switch (index) {
    case 0:
      app::ui::OpenSendWindow(*this);
      break;
    case 1:
      DeleteItems();
      break;
    case 2: {
      auto* window = app::ui::MakeSortWindow(*this);
      window->show();
      window->raise();
      window->activateWindow();
      break;
    }
    default:
      break;
  }
}

bool MainWindow::_HelpVelmoraHelp_Action() {
  // The help window needs nothing of this one, and outlives it when the user closes this.
  (new HelpWindow())->OpenInFront();
  return true;
}

// ---- Send queue and engine ----------------------------------------------------------------------
// The engine goes first when the window is deleted: a control that reports while it is
// deleted finds none.

mailing::SendEngine* MainWindow::SendSession() const {
  return m_sendEngine;
}

std::optional<platform::Date> MainWindow::starttime() const {
  return m_sendEngine ? m_sendEngine->StartTime() : std::nullopt;
}

qint32 MainWindow::mailssent() const {
  return m_sendEngine ? m_sendEngine->MailsSent() : 0;
}

void MainWindow::SendTimer_Action() {
  if (m_sendEngine) m_sendEngine->Tick();
}

void MainWindow::SetSendTimer() {
  if (m_sendEngine) m_sendEngine->SetSendTimer();
}

void MainWindow::Rate_ValueChanged() {
  if (!m_sendEngine) return;
  m_sendEngine->SetRate(Rate->value());
  m_sendEngine->ShowRate();
}

void MainWindow::RatePer_ValueChanged() {
  if (!m_sendEngine) return;
  m_sendEngine->SetRatePer(RatePer->value());
  m_sendEngine->ShowRate();
  m_sendEngine->SetSendTimer();
}

void MainWindow::RandRate_Action() {
  if (!m_sendEngine) return;
  m_sendEngine->SetRandRate(RandRate->isChecked());
  m_sendEngine->ShowRate();
}

void MainWindow::CheckList_Change() {
  if (m_sendEngine) m_sendEngine->QueueSelectionChanged();
}

void MainWindow::StopSending_Action() {
  if (m_sendEngine) m_sendEngine->StopSending();
}

void MainWindow::DeleteFromSendQueue() {
  if (m_sendEngine) m_sendEngine->DeleteFromSendQueue();
}

bool MainWindow::LoadEmail(const QString& name, QString& from, QString& subject, QString& body,
                           QString format) {
  format.clear();
  return mailing::LoadEmail(mailing::MessageFolder(), name, from, subject, body);
}

void MainWindow::TCPSocket1_MessageSent(const platform::EmailMessagePtr& message) {
  if (m_sendEngine) m_sendEngine->MessageSent(message);
}

void MainWindow::TCPSocket1_Error() {
  if (m_sendEngine) m_sendEngine->ConnectionFailed();
}

void MainWindow::TCPSocket1_ConnectionEstablished(const QString& greeting) {
  if (m_sendEngine) m_sendEngine->ConnectionEstablished(greeting);
}

bool MainWindow::TCPSocket1_SendProgress(qint64, qint64) {
  return false;
}

// ---- POP3 log-in ------------------------------------------------------------------------------

void MainWindow::POPSocket_Disconnected() {
  m_popLogin->POPSocket_Disconnected();
}

void MainWindow::POPSocket_LoginSuccessful() {
  m_popLogin->POPSocket_LoginSuccessful();
}

void MainWindow::POPSocket_ConnectionEstablished() {
  m_popLogin->POPSocket_ConnectionEstablished();
}

void MainWindow::POPSocket_MessageCount(int count) {
  m_popLogin->POPSocket_MessageCount(count);
}

// ---- Find and Find Next -----------------------------------------------------------------------

bool MainWindow::_EditFind_Action() {
  auto* window = app::ui::MakeSearchWindow(*this);
  window->show();
  window->Address->setText(SearchField);
  if (!SearchField.isEmpty()) window->Address->setSelection(0, static_cast<int>(SearchField.size()));
  return true;
}

void MainWindow::FindString() {
  const platform::LongWork work(this);
  const QString text = SearchField;
  QPointer<platform::ListModel> list = elist->Model();
  const int row = tools::FindRow(list, text, 0, [list] { return list ? list->ListCount() - 1 : -1; });
  if (!work.Stopped()) ShowFound(*this, text, row);
}

bool MainWindow::_EditFindNext_Action() {
  const platform::LongWork work(this);
  const QString text = SearchField;
  const int row = tools::FindNextRow(elist->Model(), text);
  if (!work.Stopped()) ShowFound(*this, text, row);
  return true;
}

// ---- Bulk removal and the opt-out check ---------------------------------------------------------

bool MainWindow::_AddressesBulkRemove_Action() {
  const platform::LongWork work(this);
  platform::MsgBox(
      QStringLiteral("Drag and drop the email addresses to remove into this window or use the 'Add Address' "
                     "button.  Then click 'Remove all from Main List'."));
  // The box may have run the event loop long enough for this window to go.
  if (work.Stopped()) return false;
  auto* window = app::ui::MakeMessageWindow(*this);
  window->OpenInFront();
  window->setWindowTitle(QStringLiteral("Bulk Remove..."));
  return false;
}

bool MainWindow::_AddressesCheckOptOut_Action() {
  SetSlug(QStringLiteral("Connecting to Opt-Out Database..."));
  checkaddresses = tools::OptOutCheck::SelectedAddresses(*elist->Model());
  const std::optional<platform::ServerAddress> service = tools::optout::Service();
  if (!service) {
    SetSlug(QStringLiteral("VELMORA_OPTOUT_SERVICE names no host (host or host:port); nothing was checked."));
    return false;
  }
  m_optOutCheck->idleWait = std::chrono::milliseconds(optOutIdleMs);
  m_optOutCheck->Start(*service, checkaddresses);
  return false;
}

void MainWindow::oosocket_Connected() {
  m_optOutCheck->Connected();
}

void MainWindow::oosocket_DataAvailable() {
  m_optOutCheck->DataAvailable();
}

void MainWindow::oosocket_Error() {
  m_optOutCheck->Error();
}

void MainWindow::SetAddressStatus(const QString& address, const QString& status) {
  if (tools::SetStatusOfRows(*elist->Model(), {address}, status) > 0) m_openList.MarkChanged();
}

qint32 MainWindow::ConvertHex2Dec(const QString& text) {
  return tools::optout::ConvertHex2Dec(text);
}

// ---- Windows of their own ----------------------------------------------------------------------

bool MainWindow::_AppleAboutVelmora_Action() {
  app::ui::OpenAboutWindow();
  return true;
}

bool MainWindow::_FilePreferences_Action() {
  auto* window = new PreferencesWindow(m_settings, this);
  connect(window, &PreferencesWindow::Confirmed, this, [this](const platform::FileResult& saved) {
    // The settings hold for this session even when they cannot be kept for the next.
    if (!saved.Ok()) {
      SetSlug(QStringLiteral("Could not save the preferences in ") + m_settings.File().AbsolutePath() +
              platform::InBrackets(saved.Reason()) + QStringLiteral("; they hold until Velmora quits."));
    }
    const app::Preferences& account = m_settings.Values();
    m_popLogin->Start(account.popserver, account.popusername, account.poppassword);
  });
  window->show();
  window->SetSettings(m_settings.Values());
  return true;
}

bool MainWindow::_AddressesSendeMail_Action() {
  if (elist->SelCount() > 0) {
    app::ui::OpenSendWindow(*this);
  } else {
    platform::MsgBox(QStringLiteral("Please select a destination address..."));
  }
  return true;
}
