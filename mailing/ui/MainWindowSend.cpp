// The main window's members of the send queue and the paced send engine; the work is
// mailing::SendEngine's. The engine goes first when the window is deleted, so controls
// that report while they are deleted find none.
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

#include "app/ui/MainWindow.h"
#include "lists/ListStore.h"
#include "mailing/MessageFile.h"
#include "mailing/SendEngine.h"
#include "platform/SMTPSocket.h"
#include "platform/ui/Listbox.h"

namespace {

// The engine's view of the window's controls.
class WindowSendControls final : public mailing::SendControls {
 public:
  explicit WindowSendControls(MainWindow& window) : m_window(window) {}
  int Rate() const override { return m_window.Rate->value(); }
  int RatePer() const override { return m_window.RatePer->value(); }
  bool RandRate() const override { return m_window.RandRate->isChecked(); }
  bool QueueTabInFront() const override { return m_window.TabPanel1->currentIndex() == 1; }
  void SetProgressMaximum(int maximum) override { m_window.ProgressBar1->setMaximum(maximum); }
  void SetProgressValue(int value) override { m_window.ProgressBar1->setValue(value); }
  void SetQueueStatus(const QString& text) override { m_window.QueueStatus->setText(text); }
  void SetSendPeriod(int milliseconds) override { m_window.SendTimer->setInterval(milliseconds); }
  void SetStatusLine(const QString& text) override { m_window.Slug->setText(text); }
  void SetSlug(const QString& text) override { m_window.SetSlug(text); }

 private:
  MainWindow& m_window;
};

}  // namespace

void MainWindow::CreateSendEngine() {
  m_sendEngine = new mailing::SendEngine(CheckList->Model(), elist->Model(), TCPSocket1,
                                         {server, username, password, starttime, mailssent, Changed},
                                         std::make_unique<WindowSendControls>(*this), this);
  m_sendEngine->SetHistoryJournal(
      [this](const QString& address, const QString& entry) { ListFiles().JournalMailing(address, entry); });
  using platform::SMTPSocket;
  connect(TCPSocket1, &SMTPSocket::MessageSent, this, &MainWindow::TCPSocket1_MessageSent);
  connect(TCPSocket1, &SMTPSocket::ServerError, this, &MainWindow::TCPSocket1_ServerError);
  connect(TCPSocket1, &SMTPSocket::Error, this, &MainWindow::TCPSocket1_Error);
  connect(TCPSocket1, &SMTPSocket::ConnectionEstablished, this,
          &MainWindow::TCPSocket1_ConnectionEstablished);
  connect(TCPSocket1, &SMTPSocket::SendProgress, this, &MainWindow::TCPSocket1_SendProgress);
  connect(CheckList, &platform::Listbox::Change, this, &MainWindow::CheckList_Change);
  connect(StopSending, &QPushButton::clicked, this, &MainWindow::StopSending_Action);
  connect(Rate, &QSlider::valueChanged, this, &MainWindow::Rate_ValueChanged);
  connect(RatePer, &QSlider::valueChanged, this, &MainWindow::RatePer_ValueChanged);
  connect(RandRate, &QCheckBox::toggled, this, &MainWindow::RandRate_Action);
}

void MainWindow::SendTimer_Action() {
  if (m_sendEngine) m_sendEngine->Tick();
}

void MainWindow::SetSendTimer() {
  if (m_sendEngine) m_sendEngine->SetSendTimer();
}

void MainWindow::Rate_ValueChanged() {
  if (m_sendEngine) m_sendEngine->ShowRate();
}

void MainWindow::RatePer_ValueChanged() {
  if (!m_sendEngine) return;
  m_sendEngine->ShowRate();
  m_sendEngine->SetSendTimer();
}

void MainWindow::RandRate_Action() {
  if (m_sendEngine) m_sendEngine->ShowRate();
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

void MainWindow::TCPSocket1_MessageSent(platform::EmailMessagePtr message) {
  if (m_sendEngine) m_sendEngine->MessageSent(message);
}

void MainWindow::TCPSocket1_ServerError(platform::EmailMessagePtr message, int, const QString& reply) {
  if (m_sendEngine) m_sendEngine->MessageRefused(message, reply);
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
