// The main window's list tools: Find and Find Next, the sort window, bulk removal and the
// opt-out check.
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTimer>

#include "app/ui/MainWindow.h"
#include "platform/EventLoop.h"
#include "platform/Seams.h"
#include "platform/TCPSocket.h"
#include "platform/Text.h"
#include "platform/ui/Listbox.h"
#include "tools/AddressMatch.h"
#include "tools/Find.h"
#include "tools/OptOut.h"
#include "tools/ui/MessageWindow.h"
#include "tools/ui/SearchWindow.h"
#include "tools/ui/SortWindow.h"

namespace {

const QString kTooManyAddresses = QStringLiteral(
    "Error - you sent too many addresses to the server to check against the opt-out list.  Please limit your "
    "list of selected addresses to around 7000 bytes.");
const QString kNoConnection = QStringLiteral(
    "Please make sure that your connection to the internet is active before checking the Velmora opt-out "
    "list.");
const QString kReplyTooLarge = QStringLiteral(
    "The opt-out service sent a reply larger than 64 MB, so the check was stopped and no address was "
    "marked.");
const QString kNoAnswer = QStringLiteral("The Opt-Out Database did not answer. Nothing was checked.");

QString AddressesText(int count) {
  return platform::Str(static_cast<long long>(count)) + QStringLiteral(" addresses");
}

}  // namespace

// ---- Find and Find Next --------------------------------------------------------------------

bool MainWindow::_EditFind_Action() {
  auto* window = new SearchWindow(this);
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
  auto* window = new SortWindow(this);
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
  auto* window = new MessageWindow(self);
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
  socketdata.clear();
  m_optOutReply.clear();
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
    m_optOutIdle = new QTimer(this);
    m_optOutIdle->setSingleShot(true);
    connect(m_optOutIdle, &QTimer::timeout, this, &MainWindow::oosocket_Idle);
  }
  oosocket->SetAddress(service->host);
  oosocket->SetPort(service->port);
  m_optOutIdle->stop();  // a check under way is dropped
  oosocket->Connect();
  return false;
}

void MainWindow::oosocket_Connected() {
  m_optOutIdle->start(optOutIdleMs);
  SetSlug(QStringLiteral("Connected to Opt-Out Database - resolving addresses..."));
  SetSlug(QStringLiteral("Sent: ") + platform::Str(static_cast<long long>(checkaddresses.size())) +
          QStringLiteral(", Received: 0"));
  const std::optional<platform::ServerAddress> service = tools::optout::Service();
  if (!service) return;
  for (const QByteArray& piece : tools::optout::RequestPieces(*service, checkaddresses))
    oosocket->Write(piece);
}

void MainWindow::oosocket_DataAvailable() {
  const QByteArray bytes = oosocket->ReadAll();
  const qsizetype before = m_optOutReply.size();
  m_optOutReply += bytes;
  socketdata += platform::DecodeBytes(bytes);
  const QString status = Slug->text();
  const QString received = QStringLiteral("Received: ");
  SetSlug(platform::Left(status, platform::InStr(status, received) - 1) + received +
          platform::Str(static_cast<long long>(socketdata.size())));

  // Only the new bytes, and the end of the old ones that a split refusal could start in.
  const QLatin1String tooLarge(tools::optout::kUriTooLarge);
  const qsizetype from = std::max<qsizetype>(0, before - tooLarge.size() + 1);
  if (platform::InStr(platform::DecodeBytes(QByteArrayView(m_optOutReply).sliced(from)), tooLarge) != 0) {
    StopOptOutCheck(kTooManyAddresses);
  } else if (m_optOutReply.size() > tools::optout::kMaxReplyBytes) {
    StopOptOutCheck(kReplyTooLarge);
  } else if (tools::optout::ReplyComplete(m_optOutReply)) {
    // The service may keep the connection open: the last chunk ends the check.
    FinishOptOutCheck();
  } else if (!bytes.isEmpty()) {
    m_optOutIdle->start(optOutIdleMs);
  }
}

void MainWindow::oosocket_Error() {
  m_optOutIdle->stop();
  const int code = oosocket->LastErrorCode();
  SetSlug(QStringLiteral("Error = ") + platform::Str(static_cast<long long>(code)));
  if (code == platform::TCPSocket::CannotConnect) {
    platform::MsgBox(kNoConnection);
    return;
  }
  FinishOptOutCheck();
}

// Nothing came for optOutIdleMs: what did come is read as when the service closes.
void MainWindow::oosocket_Idle() {
  if (m_optOutReply.isEmpty()) {
    StopOptOutCheck(kNoAnswer);
  } else {
    FinishOptOutCheck();
  }
}

void MainWindow::StopOptOutCheck(const QString& message) {
  m_optOutIdle->stop();
  oosocket->Close();
  // The message box may run the event loop long enough for this window to go.
  QPointer<MainWindow> self(this);
  platform::MsgBox(message);
  if (self) SetSlug(AddressesText(elist->ListCount()));
}

void MainWindow::FinishOptOutCheck() {
  m_optOutIdle->stop();
  oosocket->Close();  // nothing more is read, whether the service closed or not
  SetSlug(QStringLiteral("Marking addresses as opted out."));
  // The reply is decoded in memory: nothing of it is written to a shared folder.
  const QStringList optedOut =
      tools::optout::OptedOutAddresses(tools::optout::DecodeChunkedReply(m_optOutReply));
  auto* window = new MessageWindow(this);
  window->OpenInFront();
  window->setWindowTitle(QStringLiteral("Opt-Out Addresses"));
  window->MessageList->Model()->AppendFirstCells(optedOut);
  const QSet<QString> addresses(optedOut.begin(), optedOut.end());
  if (tools::SetStatusOfRows(*elist->Model(), addresses, QStringLiteral("Opted Out")) > 0) Changed = true;
  SetSlug(AddressesText(elist->ListCount()));
}

void MainWindow::SetAddressStatus(const QString& address, const QString& status) {
  if (tools::SetStatusOfRows(*elist->Model(), {address}, status) > 0) Changed = true;
}

qint32 MainWindow::ConvertHex2Dec(const QString& text) {
  return tools::optout::ConvertHex2Dec(text);
}
