#pragma once

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "platform/ByteStream.h"
#include "platform/SmtpReply.h"

namespace platform {

// What one message needs on the wire: the envelope and the RFC 5322 source (not yet
// dot-stuffed; any line ends).
struct SmtpEnvelope {
  QString from;
  QStringList recipients;
  QByteArray source;
};

struct SmtpSessionSettings {
  QString host;
  quint16 port = 25;
  bool implicitTls = false;  // TLS from the first byte (port 465)
  QString username;          // empty: no authentication
  QString password;
  int stepTimeoutMs = 120000;  // no reply or progress for this long ends the connection
  // However its bytes trickle in, a reply is complete this long after it became due, or the
  // connection ends as on silence (never sooner than the step's own silence allows).
  int replyDeadlineMs = 300000;
  int quitTimeoutMs = 5000;  // how long to wait for the server's close after QUIT
};

// Where the session takes its messages from, one at a time, so that messages added while
// it runs still go out on this connection.
struct SmtpMessageSource {
  std::function<bool()> hasMessage;
  // The next message; the session reports its outcome (accepted or refused) before it
  // asks again.
  std::function<SmtpEnvelope()> nextMessage;
};

// One SMTP connection: greeting, EHLO (HELO when refused), STARTTLS whenever offered,
// AUTH PLAIN or LOGIN, then one transaction per message until the source is empty, then
// QUIT. Runs on the event loop; one command at a time, each reply read only when all of
// its lines are in. Ends with exactly one Finished.
class SmtpSession : public QObject {
  Q_OBJECT
 public:
  SmtpSession(std::unique_ptr<ByteStream> stream, SmtpSessionSettings settings, SmtpMessageSource source,
              QObject* parent = nullptr);
  ~SmtpSession() override;

  void Start();
  // Drops the connection at once; nothing is emitted afterwards.
  void Abort();
  bool IsFinished() const { return m_step == Step::Done; }
  // Whether the session got as far as its sign-off (QUIT), as every session that went well does.
  bool SignedOff() const { return m_signedOff; }
  // Whether it ended after the whole of a message's data (its final ".") had gone out and
  // before the server answered it: the server may have taken the message.
  bool DataUnanswered() const { return m_dataUnanswered; }

 signals:
  // The first line of the 220 greeting after its code; only when there is a message to send.
  void Greeting(const QString& text);
  void MessageAccepted();
  // The message was refused: by the server (its reply code) or before sending (the
  // refusal codes of SmtpErrorCodes.h).
  void MessageRefused(int code, const QString& text);
  void Progress(qint64 sent, qint64 total);
  // The connection is over; `code` is one of SmtpErrorCodes.h (102 after the sign-off).
  void Finished(int code, const QString& text);

 private:
  enum class Step {
    Idle,
    Connecting,
    Greeting,
    Ehlo,
    Helo,
    StartTls,
    Handshake,
    AuthPlain,
    AuthLogin,
    AuthLoginUser,
    AuthLoginPassword,
    MailFrom,
    RcptTo,
    Data,
    DataBody,
    Rset,
    Quit,
    Closing,
    Done,
  };

  void OnConnected();
  void OnEncrypted();
  void OnReadyRead();
  void OnFailed(ByteStream::Failure failure, const QString& text);
  void OnTimeout();
  void OnBytesWritten(qint64 bytes);

  void HandleReply(const SmtpReply& reply);
  void HandleEhlo(const SmtpReply& reply);
  void AfterHello();
  void StartAuth();
  void NextMessage();
  // The server refused the message under way: report it, then RSET before the next one.
  void RefuseCurrent(int code, const QString& text);
  void SendQuit();
  void Send(Step step, const QByteArray& line);
  void Finish(int code, const QString& text);
  QByteArray HelloDomain() const;
  int StepTimeout() const;
  // A reply is due from now: the silence timer and the reply's deadline start.
  void StartStep();
  // Bytes came or went: the silence timer starts again, within the deadline.
  void StepAlive();

  std::unique_ptr<ByteStream> m_stream;
  SmtpSessionSettings m_settings;
  SmtpMessageSource m_source;
  QTimer m_timer;
  qint64 m_deadline = 0;  // on the program's clock, in ms since the epoch; 0: none
  Step m_step = Step::Idle;
  QByteArray m_buffer;

  // Capabilities of the last EHLO; forgotten after STARTTLS.
  QSet<QByteArray> m_capabilities;
  QSet<QByteArray> m_authMechanisms;

  // The message under way.
  QList<QByteArray> m_recipients;
  int m_nextRecipient = 0;
  QByteArray m_data;
  qint64 m_dataSent = 0;
  bool m_dataUnanswered = false;
  bool m_signedOff = false;
};

}  // namespace platform
