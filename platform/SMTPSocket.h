#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include "platform/EmailMessage.h"
#include "platform/SmtpErrorCodes.h"
#include "platform/SocketFactory.h"
#include "platform/TlsPolicy.h"

namespace platform {

class SmtpSession;

// The program's SMTP client: an outgoing list of messages and a connection that sends
// them, on the event loop's thread.
//
// SendMail connects to `Address` ("host" or "host:port"; port 25 when none is given; 465
// means TLS from the first byte), upgrades with STARTTLS whenever the server offers it
// (the certificate checked against the system's trust store and the host name), logs in
// with AUTH PLAIN or LOGIN when `Username` is set (never sending the password in plain
// text to a host that is not loopback), and sends the list in order. Messages appended
// while connected go out on that connection; each leaves the list once the server has
// accepted (MessageSent) or refused (ServerError) it. When the list is empty the client
// signs off; the server's close then ends the connection with Error and code 102.
//
// Every connection ends with exactly one Error; LastErrorCode then holds one of the
// codes of SmtpErrorCodes.h:
//   101 timeout, 102 server closed the connection, 103 server cannot be reached,
//   104 greeting or EHLO/HELO refused, 105 protocol error, 106 user name or password
//   refused, 107 TLS failure, 108 server closing (421), 109 password would go
//   unencrypted, 110 no usable log-in method, 111 bad server address, 112 other socket
//   failure.
// Messages not yet accepted or refused when a connection fails stay in the list, in
// order, for the owner to send again (102) or to drop with DeleteAllMessages. Whether the
// connection went well (SignedOff) and which message may have reached the server without
// an answer (UnansweredMessage) are for the owner to read in its Error handler.
class SMTPSocket : public QObject {
  Q_OBJECT
 public:
  explicit SMTPSocket(QObject* parent = nullptr);
  ~SMTPSocket() override;

  QString Address() const { return m_address; }
  void SetAddress(const QString& address) { m_address = address; }
  QString Username() const { return m_username; }
  void SetUsername(const QString& username) { m_username = username; }
  QString Password() const { return m_password; }
  void SetPassword(const QString& password) { m_password = password; }

  // The outgoing list: the owner appends, the client takes messages off the front.
  QList<EmailMessagePtr>& Messages() { return m_messages; }
  const QList<EmailMessagePtr>& Messages() const { return m_messages; }
  void DeleteAllMessages() { m_messages.clear(); }

  // Connects and sends the list; does nothing while connected.
  void SendMail();
  // True from SendMail until the connection has ended (connecting included).
  bool IsConnected() const;
  // Drops the connection at once, without an event; the list is kept.
  void Disconnect();
  int LastErrorCode() const { return m_lastErrorCode; }
  // Words for the last error (the server's reply or the socket's reason); never credentials.
  QString LastErrorText() const { return m_lastErrorText; }
  // Whether the last connection got as far as the sign-off (QUIT): its 102 is the normal end.
  bool SignedOff() const { return m_signedOff; }
  // The message whose data the last connection sent in full, final "." included, before it
  // ended without the server's answer: it may have been delivered. It stays in the list.
  EmailMessagePtr UnansweredMessage() const { return m_unanswered; }

  // Seams for tests and policy: the streams the client connects through, the trust
  // decisions, and how long one step may stay silent.
  void SetStreamFactory(ByteStreamFactory factory) { m_factory = std::move(factory); }
  void SetTlsPolicy(const TlsPolicy& policy) { m_tlsPolicy = policy; }
  void SetStepTimeout(int milliseconds) { m_stepTimeoutMs = milliseconds; }

 signals:
  // The first line of the server's greeting after its code; not sent when the list is empty.
  void ConnectionEstablished(const QString& greeting);
  // The same message object the owner appended (a SpecialEmail keeps its Name).
  void MessageSent(platform::EmailMessagePtr message);
  // The message was refused and dropped: the server's reply code, or a refusal code of
  // SmtpErrorCodes.h when it could not be sent safely.
  void ServerError(platform::EmailMessagePtr message, int code, const QString& text);
  void Error();
  // Bytes of the current message written so far, of its total.
  void SendProgress(qint64 sent, qint64 total);

 private:
  void Finish(int code, const QString& text);
  EmailMessagePtr TakeCurrent();

  QString m_address;
  QString m_username;
  QString m_password;
  QList<EmailMessagePtr> m_messages;
  EmailMessagePtr m_current;
  QPointer<SmtpSession> m_session;
  bool m_failing = false;
  int m_lastErrorCode = 0;
  QString m_lastErrorText;
  bool m_signedOff = false;
  EmailMessagePtr m_unanswered;
  ByteStreamFactory m_factory = MakeByteStream;
  TlsPolicy m_tlsPolicy;
  int m_stepTimeoutMs = 120000;
};

}  // namespace platform
