#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "platform/Pop3Transport.h"

namespace platform {

// An asynchronous POP3 client on the caller's thread: it logs in and counts the messages
// in the mailbox, nothing more. The dialogue is greeting, CAPA, STLS when offered (then
// the TLS handshake), USER, PASS; STAT on CountMessages. The user name and password are
// sent only over TLS or to this machine; otherwise the log-in stops with TlsUnavailable.
class POP3Socket : public QObject {
  Q_OBJECT

 public:
  // What LastErrorCode holds after a failure. 102 and 103 mean what they mean for the
  // program's other sockets; the rest are the POP3 client's own.
  enum ErrorCode {
    NoError = 0,
    ServerClosed = 102,       // the server closed the connection (Disconnected was raised)
    CannotConnect = 103,      // the host could not be found or refused the connection
    StepTimedOut = 104,       // the server did not answer one step in time
    InvalidPort = 107,        // Port is not between 1 and 65535
    NotLoggedIn = 108,        // CountMessages before LoginSuccessful (nothing is sent)
    BadGreeting = 110,        // the greeting was -ERR
    MalformedReply = 111,     // a line that is no POP3 reply, too long, or a malformed STAT
    LoginRefused = 112,       // USER or PASS answered -ERR
    TlsUnavailable = 113,     // no STLS offered and the host is not this machine
    TlsFailed = 114,          // STLS refused, handshake failed or certificate not trusted
    CommandRefused = 115,     // STAT answered -ERR
    InvalidCredential = 116,  // a CR, LF or NUL in the user name or password
    SocketFailed = 117,       // any other socket error
  };
  Q_ENUM(ErrorCode)

  explicit POP3Socket(QObject* parent = nullptr);
  // Talks over `transport` (taken over as a child), for tests and for a transport
  // with extra trusted certificate authorities.
  explicit POP3Socket(Pop3Transport* transport, QObject* parent = nullptr);

  QString Address() const { return m_address; }
  void SetAddress(const QString& address) { m_address = address; }
  int Port() const { return m_port; }
  void SetPort(int port) { m_port = port; }
  QString Username() const { return m_username; }
  void SetUsername(const QString& username) { m_username = username; }
  QString Password() const { return m_password; }
  void SetPassword(const QString& password) { m_password = password; }

  // How long one step (connecting, one reply, the TLS handshake) may take.
  void SetStepTimeout(int milliseconds) { m_timer.setInterval(milliseconds); }

  // Starts a new log-in, dropping any connection under way.
  void Connect();
  // Asks for the number of messages once logged in; MessageCount follows.
  void CountMessages();
  // Closes the connection at once, without QUIT; no event follows.
  void Disconnect();

  int LastErrorCode() const { return m_lastError; }
  // The server's or the socket's own words on the last failure, for a log.
  QString LastErrorText() const { return m_lastErrorText; }

 signals:
  void ConnectionEstablished();
  void LoginSuccessful();
  void MessageCount(int count);
  void Disconnected();
  // Any failure but the server's close; the code is in LastErrorCode.
  void Error(int code);

 private:
  enum class State {
    Idle,
    Connecting,
    Greeting,
    Capa,
    CapaList,
    Stls,
    Handshake,
    User,
    Pass,
    LoggedIn,
    Stat
  };

  void OnConnected();
  void OnReadyRead();
  void OnEncrypted();
  void OnFailed(Pop3Transport::Failure failure, const QString& detail);
  void OnClosed();
  // Handles one complete reply or capability line; false when more bytes are needed or
  // the session ended.
  bool ProcessOne();
  bool ProcessCapabilityLine();
  void AfterCapabilities();
  void Send(const QByteArray& command, State next);
  void Fail(ErrorCode code, const QString& detail = QString());

  Pop3Transport* m_transport;
  QTimer m_timer;
  QString m_address;
  int m_port = 110;
  QString m_username;
  QString m_password;
  State m_state = State::Idle;
  QByteArray m_buffer;
  bool m_stlsOffered = false;
  int m_capabilityLines = 0;
  // Bumped whenever a session ends or starts, so a handler that called Disconnect or
  // Connect from inside an event is noticed when the event returns.
  quint64 m_session = 0;
  int m_lastError = NoError;
  QString m_lastErrorText;
};

}  // namespace platform
