// The main window's size, the layout of its controls, and its log and drops.
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <utility>

#include "app/MessageLog.h"
#include "app/ui/LogView.h"
#include "app/ui/MainWindow.h"
#include "app/ui/MainWindowHooks.h"
#include "platform/Text.h"
#include "platform/ui/DragItem.h"
#include "platform/ui/Listbox.h"
#include "platform/ui/WindowFrame.h"

int MainWindow::Width() const {
  return m_content->width();
}
int MainWindow::Height() const {
  return m_content->height();
}

void MainWindow::SetSize(int width, int height) {
  SizeContentArea(*this, {width, height});
}

void MainWindow::ResizeControls() {
  const int W = Width();
  const int H = Height();
  TabPanel1->resize(W - 10, H - 30);
  elist->resize(W - 10, H - 60);
  CheckList->resize(W - 10, H - 110);
  const int C = CheckList->y() + CheckList->height();
  StopSending->move(StopSending->x(), C + 5);
  ProgressBar1->move(ProgressBar1->x(), C + 9);
  QueueStatus->move(QueueStatus->x(), C + 7);
  Rate->move(Rate->x(), C + 30);
  RatePer->move(RatePer->x(), C + 30);
  RandRate->move(RandRate->x(), C + 25);
  UserMessages->resize(W - 10, H - 60);
  Slug->move(Slug->x(), H - 20);
  if (SideBar) {
    const QRect frame = geometry();
    SideBar->setGeometry(frame.x() + W + 1, frame.y(), 170, H);
  }
}

void MainWindow::Event_Moved() {
  ResizeControls();
}
void MainWindow::Event_Resizing() {
  ResizeControls();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_content && event->type() == QEvent::Resize && TabPanel1) Event_Resizing();
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (TabPanel1) Event_Moved();
}

void MainWindow::SetSlug(const QString& text) {
  m_pendingStatus = PendingStatus::None;  // this text is newer than any waiting
  Slug->setText(text);
  m_log->Report(text);
}

void MainWindow::ReportAdded(long long rows) {
  m_log->ReportNumber(rows, app::MessageLog::Ending::Addresses);
  m_pendingStatus = PendingStatus::Added;
  m_pendingRows = rows;
  StartStatusTimer();
}

void MainWindow::ReportExists(QByteArrayView address) {
  m_log->ReportAscii(address, app::MessageLog::Ending::AlreadyExists);
  m_pendingStatus = PendingStatus::Exists;
  m_pendingAddress.resize(0);
  m_pendingAddress.append(address);
  StartStatusTimer();
}

void MainWindow::StartStatusTimer() {
  if (!m_statusTimer) {
    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    m_statusTimer->setInterval(50);
    connect(m_statusTimer, &QTimer::timeout, this, &MainWindow::ShowPendingStatus);
  }
  if (!m_statusTimer->isActive()) m_statusTimer->start();
}

void MainWindow::ShowPendingStatus() {
  switch (std::exchange(m_pendingStatus, PendingStatus::None)) {
    case PendingStatus::None:
      return;
    case PendingStatus::Added:
      Slug->setText(platform::Str(m_pendingRows) + QStringLiteral(" addresses"));
      break;
    case PendingStatus::Exists:
      Slug->setText(QString::fromLatin1(m_pendingAddress) +
                    QStringLiteral(" already exists in the database."));
      break;
  }
  // The window too, so a long import shows its progress.
  update();
}

void MainWindow::AcceptFileDrop(const QString& fileTypeName) {
  if (const app::FileType* type = app::FileTypes::Find(fileTypeName)) {
    if (!m_acceptedFileTypes.contains(*type)) m_acceptedFileTypes.append(*type);
  }
  setAcceptDrops(true);
}

void MainWindow::AcceptTextDrop() {
  m_acceptsText = true;
  setAcceptDrops(true);
}

bool MainWindow::AcceptsDrop(const QMimeData& data) const {
  if (m_acceptsText && data.hasText()) return true;
  if (!data.hasUrls()) return false;
  for (const QUrl& url : data.urls()) {
    if (!url.isLocalFile()) continue;
    const QString fileName = QFileInfo(url.toLocalFile()).fileName();
    for (const app::FileType& type : m_acceptedFileTypes) {
      if (type.Matches(fileName)) return true;
    }
  }
  return false;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (AcceptsDrop(*event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  auto& hook = MainWindowHooks::Installed().dropObject;
  if (!hook || !AcceptsDrop(*event->mimeData())) return;
  event->acceptProposedAction();
  platform::DragItem items(*event->mimeData());
  hook(*this, items);
}
