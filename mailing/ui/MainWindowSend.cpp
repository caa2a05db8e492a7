// The main window's members of the send queue and the paced send engine: the session and
// its work are mailing::SendEngine's, the controls show its signals and pass the pace in.
// The engine goes first when the window is deleted, so controls that report while they are
// deleted find none.
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

#include "app/ui/MainWindow.h"
#include "lists/OpenList.h"
#include "mailing/MessageFile.h"
#include "mailing/SendEngine.h"
#include "platform/SMTPSocket.h"
#include "platform/ui/Listbox.h"

void MainWindow::CreateSendEngine() {
  using mailing::SendEngine;
  // The account is read through this one getter, at every hand-over.
  m_sendEngine = new SendEngine(
      CheckList->Model(), elist->Model(), TCPSocket1,
      [this] {
        const app::Preferences& settings = m_settings.Values();
        return mailing::SmtpAccount{settings.server, settings.username, settings.password};
      },
      this);
  m_sendEngine->SetRate(Rate->value());
  m_sendEngine->SetRatePer(RatePer->value());
  m_sendEngine->SetRandRate(RandRate->isChecked());
  m_sendEngine->SetSummaryShown(TabPanel1->currentIndex() == 1);
  m_sendEngine->SetHistoryJournal(
      [this](const QString& address, const QString& entry) { OpenList().JournalMailing(address, entry); });
  connect(m_sendEngine, &SendEngine::progressChanged, ProgressBar1, [this](int value, int maximum) {
    ProgressBar1->setMaximum(maximum);
    ProgressBar1->setValue(value);
  });
  connect(m_sendEngine, &SendEngine::summaryChanged, QueueStatus, &QLabel::setText);
  connect(m_sendEngine, &SendEngine::periodChanged, SendTimer, qOverload<int>(&QTimer::setInterval));
  connect(m_sendEngine, &SendEngine::reported, this, &MainWindow::SetSlug);
  connect(m_sendEngine, &SendEngine::rateShown, Slug, &QLabel::setText);
  connect(m_sendEngine, &SendEngine::addressesEdited, &m_openList, &lists::OpenList::MarkChanged);
  connect(TabPanel1, &QTabWidget::currentChanged, m_sendEngine,
          [this](int tab) { m_sendEngine->SetSummaryShown(tab == 1); });
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

mailing::SendEngine* MainWindow::SendSession() const {
  return m_sendEngine;
}

std::optional<platform::Date> MainWindow::starttime() const {
  return m_sendEngine ? m_sendEngine->StartTime() : std::nullopt;
}

qint32 MainWindow::mailssent() const {
  return m_sendEngine ? m_sendEngine->MailsSent() : 0;
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

void MainWindow::TCPSocket1_ServerError(const platform::EmailMessagePtr& message, int, const QString& reply) {
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
