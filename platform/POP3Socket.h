#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "platform/ByteStream.h"
#include "platform/SocketFactory.h"
#include "platform/TlsPolicy.h"

namespace platform {

// An asynchronous POP3 client on the caller's thread: it logs in and counts the messages
// in the mailbox, nothing more. The dialogue is greeting, CAPA, STLS when offered (then
// the TLS handshake), USER, PASS; STAT on CountMessages. The user name and password are
// sent only over TLS or to this machine; otherwise the log-in stops with
// EncryptionRequired.
class POP3Socket : public QObject {
  Q_OBJECT

 public:
  // What LastErrorCode holds after a failure. Codes below 130 mean what they mean for the
  // SMTP client (SmtpErrorCodes.h); 130 and up are the POP3 client's own.
  enum ErrorCode {
    NoError = 0,
    StepTimedOut = 101,        // the server did not answer one step in time
    ServerClosed = 102,        // the server closed the connection (Disconnected was raised)
    CannotConnect = 103,       // host not found, connection refused or unreachable
    BadGreeting = 104,         // the greeting was -ERR
    MalformedReply = 105,      // a line that is no POP3 reply, is too long, or a malformed STAT
    LoginRefused = 106,        // USER or PASS answered -ERR
    TlsFailed = 107,           // STLS refused, handshake failed or certificate not trusted
    EncryptionRequired = 109,  // no STLS offered and the host is not this machine
    InvalidPort = 111,         // Port is not between 1 and 65535
    SocketFailed = 112,        // any other failure of the connection
    CommandRefused = 130,      // STAT answered -ERR
    NotLoggedIn = 131,         // CountMessages before LoginSuccessful (nothing is sent)
    UnsafeCredential = 132,    // a CR, LF or NUL in the user name or password
  };
  Q_ENUM(ErrorCode)

  explicit POP3Socket(QObject* parent = nullptr);
  ~POP3Socket() override;

  QString Address() const { return m_address; }
  void SetAddress(const QString& address) { m_address = address; }
  int Port() const { return m_port; }
  void SetPort(int port) { m_port = port; }
  QString Username() const { return m_username; }
  void SetUsername(const QString& username) { m_username = username; }
  QString Password() const { return m_password; }
  void SetPassword(const QString& password) { m_password = password; }

  // Starts a new log-in, dropping any connection under way.
  void Connect();
  // Asks for the number of messages once logged in; MessageCount follows.
  void CountMessages();
  // Closes the connection at once, without QUIT; no event follows.
  void Disconnect();
  // Whether the connection, if any, is encrypted.
  bool IsEncrypted() const { return m_stream && m_stream->IsEncrypted(); }

  int LastErrorCode() const { return m_lastError; }
  // The server's or the socket's own words on the last failure, for a log; never a password.
  QString LastErrorText() const { return m_lastErrorText; }

  // Seams for tests and policy: the streams the client connects through, the trust
  // decisions, and how long one step (connecting, one reply, the handshake) may take.
  void SetStreamFactory(ByteStreamFactory factory) { m_factory = std::move(factory); }
  void SetTlsPolicy(const TlsPolicy& policy) { m_tlsPolicy = policy; }
  void SetStepTimeout(int milliseconds) { m_timer.setInterval(milliseconds); }

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
  void OnFailed(ByteStream::Failure failure, const QString& text);
  // Handles one complete reply or capability line; false when more bytes are needed or
  // the session ended.
  bool ProcessOne();
  bool ProcessCapabilityLine();
  // After an event: whether the socket still exists and runs the same session, as its
  // handler may have deleted it, or ended or restarted the session.
  static bool StillRunning(const QPointer<POP3Socket>& self, quint64 session);
  void AfterCapabilities();
  void Send(const QByteArray& command, State next);
  void DropStream();
  void Fail(ErrorCode code, const QString& text = QString());

  ByteStreamFactory m_factory = MakeByteStream;
  TlsPolicy m_tlsPolicy;
  ByteStream* m_stream = nullptr;
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
