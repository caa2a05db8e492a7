#include "app/StatusReports.h"

#include <utility>

#include "platform/Text.h"

namespace app {

StatusReports::StatusReports(QObject* parent) : QObject(parent) {
  m_timer.setSingleShot(true);
  m_timer.setInterval(50);
  connect(&m_timer, &QTimer::timeout, this, &StatusReports::ShowHeldBack);
}

void StatusReports::Report(const QString& text) {
  m_heldBack = HeldBack::None;  // this text is newer than any held back
  emit statusChanged(text);
  m_log.Report(text);
}

void StatusReports::ReportAdded(long long rows) {
  m_log.ReportNumber(rows, MessageLog::Ending::Addresses);
  m_rows = rows;
  HoldBack(HeldBack::Added);
}

void StatusReports::ReportExists(QByteArrayView address) {
  m_log.ReportAscii(address, MessageLog::Ending::AlreadyExists);
  m_address.resize(0);
  m_address.append(address);
  HoldBack(HeldBack::Exists);
}

void StatusReports::HoldBack(HeldBack report) {
  m_heldBack = report;
  if (!m_timer.isActive()) m_timer.start();
}

void StatusReports::ShowHeldBack() {
  switch (std::exchange(m_heldBack, HeldBack::None)) {
    case HeldBack::None:
      return;
    case HeldBack::Added:
      emit statusChanged(platform::Str(m_rows) + QStringLiteral(" addresses"));
      break;
    case HeldBack::Exists:
      emit statusChanged(QString::fromLatin1(m_address) + QStringLiteral(" already exists in the database."));
      break;
  }
  emit heldBackShown();
}

}  // namespace app

#include "moc_StatusReports.cpp"
