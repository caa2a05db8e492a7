// The main window's list tools: Find and Find Next, the sort window, bulk removal and the
// opt-out check.
#include <QLabel>
#include <QLineEdit>
#include <QSet>

#include "app/ui/MainWindow.h"
#include "app/ui/Windows.h"
#include "platform/EventLoop.h"
#include "platform/Seams.h"
#include "platform/TCPSocket.h"
#include "platform/Text.h"
#include "platform/ui/Listbox.h"
#include "tools/AddressMatch.h"
#include "tools/Find.h"
#include "tools/OptOut.h"
#include "tools/OptOutCheck.h"
#include "tools/ui/MessageWindow.h"
#include "tools/ui/SearchWindow.h"
#include "tools/ui/SortWindow.h"

// ---- Find and Find Next --------------------------------------------------------------------

bool MainWindow::_EditFind_Action() {
  auto* window = app::ui::MakeSearchWindow(*this);
  window->show();
  window->Address->setText(SearchField);
  if (!SearchField.isEmpty()) window->Address->setSelection(0, static_cast<int>(SearchField.size()));
  return true;
}

void MainWindow::FindString() {
  QPointer<MainWindow> self(this);
  const QString text = SearchField;
  QPointer<platform::ListModel> list = elist->Model();
  const int row = tools::FindRow(list, text, 0, [list] { return list ? list->ListCount() - 1 : -1; });
  if (!self) return;
  if (row < 0) {
    SetSlug(tools::NotFoundText(text));
    return;
  }
  elist->SetListIndex(row);
  SetSlug(tools::FoundText(text, row));
}

bool MainWindow::_EditFindNext_Action() {
  QPointer<MainWindow> self(this);
  const QString text = SearchField;
  QPointer<platform::ListModel> list = elist->Model();
  // From the row after the selected one to the end, then from the top up to the row before
  // it; the selected row itself is not looked at.
  int row = tools::FindRow(list, text, elist->ListIndex() + 1,
                           [list] { return list ? list->ListCount() - 1 : -1; });
  if (row < 0) row = tools::FindRow(list, text, 0, [list] { return list ? list->ListIndex() - 1 : -1; });
  if (!self) return true;
  if (row < 0) {
    SetSlug(tools::NotFoundText(text));
  } else {
    elist->SetListIndex(row);
    SetSlug(tools::FoundText(text, row));
  }
  return true;
}

// ---- Sort and bulk removal -------------------------------------------------------------------

void MainWindow::OpenSortWindow() {
  auto* window = app::ui::MakeSortWindow(*this);
  window->show();
  window->raise();
  window->activateWindow();
}

bool MainWindow::_AddressesBulkRemove_Action() {
  QPointer<MainWindow> self(this);
  platform::MsgBox(
      QStringLiteral("Drag and drop the email addresses to remove into this window or use the 'Add Address' "
                     "button.  Then click 'Remove all from Main List'."));
  // The box may have run the event loop long enough for this window to go.
  if (!self) return false;
  auto* window = app::ui::MakeMessageWindow(*self);
  window->OpenInFront();
  window->setWindowTitle(QStringLiteral("Bulk Remove..."));
  return false;
}

// ---- Opt-out check ------------------------------------------------------------------------

bool MainWindow::_AddressesCheckOptOut_Action() {
  SetSlug(QStringLiteral("Connecting to Opt-Out Database..."));
  checkaddresses.clear();
  for (int row = 0; row < elist->ListCount(); ++row) {
    if (elist->Selected(row)) checkaddresses += elist->Cell(row, 0) + QLatin1Char(',');
  }
  const std::optional<platform::ServerAddress> service = tools::optout::Service();
  if (!service) {
    SetSlug(QStringLiteral("VELMORA_OPTOUT_SERVICE names no host (host or host:port); nothing was checked."));
    return false;
  }
  if (!oosocket) {
    oosocket = new platform::TCPSocket(this);
    oosocket->setObjectName(QStringLiteral("oosocket"));
    connect(oosocket, &platform::TCPSocket::Connected, this, &MainWindow::oosocket_Connected);
    connect(oosocket, &platform::TCPSocket::DataAvailable, this, &MainWindow::oosocket_DataAvailable);
    connect(oosocket, &platform::TCPSocket::Error, this, &MainWindow::oosocket_Error);
    tools::OptOutCheck::Hooks hooks;
    hooks.report = [this](const QString& text) { SetSlug(text); };
    hooks.status = [this] { return Slug->text(); };
    hooks.list = [this] { return QPointer<platform::ListModel>(elist->Model()); };
    hooks.openResults = [this] {
      auto* window = app::ui::MakeMessageWindow(*this);
      window->OpenInFront();
      window->setWindowTitle(QStringLiteral("Opt-Out Addresses"));
      return QPointer<platform::ListModel>(window->MessageList->Model());
    };
    hooks.markChanged = [this] { m_openList.MarkChanged(); };
    m_optOutCheck = new tools::OptOutCheck(oosocket, std::move(hooks), this);
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
