#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "platform/POP3Socket.h"

namespace mailing {

// The log-in to the user's POP3 server that some providers want before they take mail
// by SMTP: log in, report the number of messages, drop the connection. Nothing waits
// for it, and a failure is not reported.
//
// The socket's owner connects the socket's four events to the handlers below; the main
// window routes them through its own POPSocket_ members.
class Pop3Login : public QObject {
  Q_OBJECT

 public:
  using Report = std::function<void(const QString&)>;

  // `report` is the main window's status line and log (SetSlug).
  Pop3Login(platform::POP3Socket* socket, Report report, QObject* parent = nullptr);

  // For a user name of any text but the empty one (blanks included): sets port 110 and the
  // account on the socket and connects; the events do the rest. Without one, nothing.
  void Start(const QString& server, const QString& username, const QString& password);

  // The socket's events.
  void POPSocket_ConnectionEstablished();
  void POPSocket_LoginSuccessful();
  void POPSocket_MessageCount(int count);
  void POPSocket_Disconnected();

 private:
  QPointer<platform::POP3Socket> m_socket;
  Report m_report;
};

}  // namespace mailing
