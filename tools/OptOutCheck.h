#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "platform/ListModel.h"
#include "platform/ServerAddress.h"
#include "platform/TCPSocket.h"

namespace tools {

// Addresses > Check OptOut List once the addresses are chosen: the request to the opt-out
// service, its reply read line by line as it arrives, and at its end the addresses it
// lists shown and marked "Opted Out" in the list. The main window's oosocket_ handlers
// hand the socket's events on to it.
//
// Every loop lets the event loop run, so a reply of millions of lines neither freezes the
// window nor is held whole: what a check keeps goes when it ends.
class OptOutCheck : public QObject {
  Q_OBJECT
 public:
  struct Hooks {
    std::function<void(const QString&)> report;  // the status line and the log
    std::function<QString()> status;             // the status line's text
    std::function<QPointer<platform::ListModel>()> list;
    // Opens the "Opt-Out Addresses" window; its list's rows.
    std::function<QPointer<platform::ListModel>()> openResults;
    std::function<void()> markChanged;
  };

  OptOutCheck(platform::TCPSocket* socket, Hooks hooks, QObject* parent = nullptr);

  // The selected rows' addresses in row order, each followed by ",", as a check takes them.
  static QString SelectedAddresses(const platform::ListModel& list);

  // Connects to the service to check `addresses` (each followed by ","); a check under way
  // is dropped.
  void Start(const platform::ServerAddress& service, const QString& addresses);
  void Connected();
  void DataAvailable();
  void Error();

  // How long a connected check waits for the service's next byte, and for the whole of
  // its reply, before it reads what came as if the service had closed.
  std::chrono::milliseconds idleWait{30000};
  static constexpr std::chrono::minutes kReplyDeadline{10};

 private:
  struct Run;
  // The reply is over: it is read to its end, then listed and marked.
  void EndReply(int code);
  void Stop(const QString& message);
  void Silent();
  void ReadLater();
  void ReadLines(std::shared_ptr<Run> run);
  void Finish(std::shared_ptr<Run> run);
  void ReportReceived();
  void FlushReceived();

  QPointer<platform::TCPSocket> m_socket;
  Hooks m_hooks;
  std::shared_ptr<Run> m_run;
  QTimer m_idle;
  // "Received: " goes to the log at most every 100 ms; a later count waits for this timer.
  QTimer m_reportLater;
  QElapsedTimer m_reported;
};

}  // namespace tools
