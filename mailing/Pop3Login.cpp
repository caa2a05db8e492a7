#include "mailing/Pop3Login.h"

namespace mailing {

Pop3Login::Pop3Login(platform::POP3Socket* socket, Report report, QObject* parent)
    : QObject(parent), m_socket(socket), m_report(std::move(report)) {}

void Pop3Login::Start(const QString& server, const QString& username, const QString& password) {
  if (!m_socket || username == QString()) return;
  m_socket->SetPort(110);
  m_socket->SetAddress(server);
  m_socket->SetUsername(username);
  m_socket->SetPassword(password);
  m_socket->Connect();
}

void Pop3Login::POPSocket_ConnectionEstablished() {
  m_report(QStringLiteral("POP3 connection established."));
}

void Pop3Login::POPSocket_LoginSuccessful() {
  if (!m_socket) return;
  m_report(QStringLiteral("You have successfully logged into ") + m_socket->Address() + QStringLiteral("."));
  // The report may have run the event loop; the socket may be gone.
  if (m_socket) m_socket->CountMessages();
}

void Pop3Login::POPSocket_MessageCount(int count) {
  m_report(QStringLiteral("You have ") + QString::number(count) +
           QStringLiteral(" new messages in your inbox."));
  if (m_socket) m_socket->Disconnect();
}

// The server's close needs nothing: the count, if it came, is already reported.
void Pop3Login::POPSocket_Disconnected() {}

}  // namespace mailing

#include "moc_Pop3Login.cpp"
