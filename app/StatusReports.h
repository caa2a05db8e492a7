#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QTimer>

#include "app/MessageLog.h"

namespace app {

// The one way the program reports: the status line's text and the message log under it
// (the main window's Slug and UserMessages). Report shows a text at once and puts it, after
// the time, at the top of the log.
//
// The reports that an import makes by the thousand ("<n> addresses", "<address> already
// exists in the database.") go into the log at once, held back until the log is published
// before the event loop runs, and reach the status line at most every 50 ms, or when
// ShowHeldBack is called: drawing each of them would take the import's time.
class StatusReports : public QObject {
  Q_OBJECT
 public:
  explicit StatusReports(QObject* parent = nullptr);

  MessageLog& Log() { return m_log; }

  void Report(const QString& text);
  void ReportAdded(long long rows);
  void ReportExists(QByteArrayView address);
  // The status line shows the last held-back report now.
  void ShowHeldBack();

 signals:
  // The status line's new text.
  void statusChanged(const QString& text);
  // A held-back report reached the status line: the window redraws, so that a long import
  // shows its progress.
  void heldBackShown();

 private:
  enum class HeldBack { None, Added, Exists };
  void HoldBack(HeldBack report);

  MessageLog m_log;
  QTimer m_timer;
  HeldBack m_heldBack = HeldBack::None;
  long long m_rows = 0;
  QByteArray m_address;
};

}  // namespace app
