#include "platform/SmtpSession.h"


#include "platform/Date.h"
#include "platform/LongWork.h"
#include "platform/SmtpData.h"
#include "platform/SmtpErrorCodes.h"

namespace platform {

namespace {

QString ReplyText(const SmtpReply& reply) {
  QStringList lines;
  for (const QByteArray& line : reply.lines) lines.append(QString::fromUtf8(line));
  return QString::number(reply.code) + QLatin1Char(' ') + lines.join(QLatin1Char(' '));
}

// An envelope address that would end the command line early, smuggle in a second
// command, or close the angle brackets to add parameters is refused before anything is
// written.
bool IsSafeArgument(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QLatin1Char('<') || c == QLatin1Char('>'))
      return false;
  }
  return true;
}

bool IsAscii(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() > 0x7f) return false;
  }
  return true;
}

qint64 ClockMs() {
  return Date::Now().Moment().toMSecsSinceEpoch();
}

bool HasEightBit(const QByteArray& bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) > 0x7f) return true;
  }
  return false;
}

}  // namespace

SmtpSession::SmtpSession(std::unique_ptr<ByteStream> stream, SmtpSessionSettings settings,
                         SmtpMessageSource source, QObject* parent)
    : QObject(parent),
      m_stream(std::move(stream)),
      m_settings(std::move(settings)),
      m_source(std::move(source)) {
  // A child, so tests that script a silent server can find it and let it run out at once.
  m_timer.setParent(this);
  m_timer.setObjectName(QStringLiteral("smtpStepTimer"));
  m_timer.setSingleShot(true);
  connect(&m_timer, &QTimer::timeout, this, &SmtpSession::OnTimeout);
  connect(m_stream.get(), &ByteStream::Connected, this, &SmtpSession::OnConnected);
  connect(m_stream.get(), &ByteStream::Encrypted, this, &SmtpSession::OnEncrypted);
  connect(m_stream.get(), &ByteStream::ReadyRead, this, &SmtpSession::OnReadyRead);
  connect(m_stream.get(), &ByteStream::Failed, this, &SmtpSession::OnFailed);
  connect(m_stream.get(), &ByteStream::BytesWritten, this, &SmtpSession::OnBytesWritten);
}

SmtpSession::~SmtpSession() {
  if (m_stream) {
    m_stream->disconnect(this);
    m_stream->Abort();
  }
}

int SmtpSession::StepTimeout() const {
  // RFC 5321 section 4.5.3.2.6: the reply to the end of the data may take long (content
  // checks); giving up early would only send the message twice.
  return m_step == Step::DataBody ? m_settings.stepTimeoutMs * 5 : m_settings.stepTimeoutMs;
}

void SmtpSession::StartStep() {
  m_deadline = ClockMs() + qMax<qint64>(m_settings.replyDeadlineMs, StepTimeout());
  m_timer.start(StepTimeout());
}

void SmtpSession::StepAlive() {
  if (m_deadline == 0) {
    m_timer.start(StepTimeout());
    return;
  }
  // A byte every few seconds must not hold the connection open for ever.
  const qint64 left = m_deadline - ClockMs();
  if (left <= 0) {
    OnTimeout();
    return;
  }
  m_timer.start(static_cast<int>(qMin<qint64>(StepTimeout(), left)));
}

void SmtpSession::Start() {
  if (m_step != Step::Idle) return;
  m_step = Step::Connecting;
  StartStep();
  m_stream->ConnectToHost(m_settings.host, m_settings.port, m_settings.implicitTls);
}

void SmtpSession::Abort() {
  if (m_step == Step::Done) return;
  m_step = Step::Done;
  m_timer.stop();
  m_stream->disconnect(this);
  m_stream->Abort();
}

void SmtpSession::OnConnected() {
  if (m_step != Step::Connecting) return;
  m_step = Step::Greeting;
  StartStep();
}

void SmtpSession::OnEncrypted() {
  if (m_step != Step::Handshake) return;
  // RFC 3207 section 4.2: what the server said before the handshake counts for nothing.
  m_capabilities.clear();
  m_authMechanisms.clear();
  m_buffer.clear();
  Send(Step::Ehlo, "EHLO " + HelloDomain());
}

void SmtpSession::OnBytesWritten(qint64 bytes) {
  if (m_step == Step::Done) return;
  if (m_step != Step::DataBody || m_dataSent >= m_data.size()) {
    // Progress on a long write is not silence.
    if (m_timer.isActive()) StepAlive();
    return;
  }
  m_dataSent = qMin<qint64>(m_dataSent + bytes, m_data.size());
  if (m_dataSent == m_data.size()) {
    m_dataUnanswered = true;
    StartStep();  // the final "." is out: the reply is due
  } else {
    m_timer.start(StepTimeout());
  }
  emit Progress(m_dataSent, m_data.size());
}

void SmtpSession::OnReadyRead() {
  if (m_step == Step::Done) return;
  m_buffer += m_stream->ReadAll();
  // A handler below may run the event loop (an event receiver yielding); bytes that
  // arrive meanwhile are only buffered, and the loop here goes on with them.
  if (LongWork::IsBusy(this, LongWork::Reading)) return;
  const LongWork reading(this, LongWork::Reading);
  while (!reading.Stopped() && m_step != Step::Done && !m_buffer.isEmpty()) {
    if (m_step == Step::Closing) {
      m_buffer.clear();  // whatever follows the sign-off is of no interest
      break;
    }
    if (m_step == Step::Connecting || m_step == Step::Handshake || m_step == Step::Idle) {
      Finish(m_step == Step::Handshake ? smtp::kTlsFailed : smtp::kProtocolError,
             QStringLiteral("The server sent data out of turn."));
      break;
    }
    const SmtpReply reply = ParseSmtpReply(m_buffer);
    if (reply.status == SmtpReply::Status::Incomplete) {
      // Bytes are arriving: the step is alive.
      StepAlive();
      break;
    }
    if (reply.status == SmtpReply::Status::Bad) {
      Finish(smtp::kProtocolError, QStringLiteral("The server's reply is not SMTP or is too long."));
      break;
    }
    m_buffer.remove(0, reply.consumed);
    m_timer.stop();
    m_dataUnanswered = false;
    HandleReply(reply);
  }
}

void SmtpSession::HandleReply(const SmtpReply& reply) {
  const LongWork work(this);
  if (reply.code == 421 && m_step != Step::Quit) {
    Finish(smtp::kServiceClosing, ReplyText(reply));
    return;
  }
  switch (m_step) {
    case Step::Greeting:
      if (reply.code != 220) {
        Finish(smtp::kSessionRefused, ReplyText(reply));
        return;
      }
      // With nothing to send the client only signs off (the send engine relies on that).
      if (!m_source.hasMessage()) {
        SendQuit();
        return;
      }
      emit Greeting(QString::fromUtf8(reply.lines.value(0)));
      if (work.Stopped() || m_step == Step::Done) return;
      Send(Step::Ehlo, "EHLO " + HelloDomain());
      return;
    case Step::Ehlo:
      if (reply.code == 250) {
        HandleEhlo(reply);
        AfterHello();
      } else if (reply.code >= 500) {
        // RFC 5321 section 3.2: a server without the extensions refuses EHLO.
        Send(Step::Helo, "HELO " + HelloDomain());
      } else {
        Finish(smtp::kSessionRefused, ReplyText(reply));
      }
      return;
    case Step::Helo:
      if (reply.code != 250) {
        Finish(smtp::kSessionRefused, ReplyText(reply));
        return;
      }
      m_capabilities.clear();
      m_authMechanisms.clear();
      AfterHello();
      return;
    case Step::StartTls:
      if (reply.code != 220) {
        // Going on in plain text would let anyone in the path strip the encryption.
        Finish(smtp::kTlsFailed, ReplyText(reply));
        return;
      }
      if (!m_buffer.isEmpty()) {
        // Bytes after the go-ahead were sent in plain text and would be taken as the
        // first replies inside TLS (a known injection attack).
        Finish(smtp::kTlsFailed, QStringLiteral("The server sent data before the TLS handshake."));
        return;
      }
      m_step = Step::Handshake;
      StartStep();
      m_stream->StartTls();
      return;
    case Step::AuthPlain:
      if (reply.code == 235) {
        NextMessage();
      } else if (reply.code == 504 && m_authMechanisms.contains("LOGIN")) {
        Send(Step::AuthLogin, "AUTH LOGIN");
      } else if (reply.code == 334) {
        Finish(smtp::kProtocolError, ReplyText(reply));
      } else {
        Finish(smtp::kAuthRefused, ReplyText(reply));
      }
      return;
    case Step::AuthLogin:
    case Step::AuthLoginUser:
      if (reply.code != 334) {
        Finish(smtp::kAuthRefused, ReplyText(reply));
      } else if (m_step == Step::AuthLogin) {
        Send(Step::AuthLoginUser, m_settings.username.toUtf8().toBase64());
      } else {
        Send(Step::AuthLoginPassword, m_settings.password.toUtf8().toBase64());
      }
      return;
    case Step::AuthLoginPassword:
      if (reply.code == 235) {
        NextMessage();
      } else if (reply.code == 334) {
        Finish(smtp::kProtocolError, ReplyText(reply));  // no more challenge rounds
      } else {
        Finish(smtp::kAuthRefused, ReplyText(reply));
      }
      return;
    case Step::MailFrom:
    case Step::RcptTo:
      if (reply.code != 250 && reply.code != 251) {
        RefuseCurrent(reply.code, ReplyText(reply));
      } else if (m_nextRecipient < m_recipients.size()) {
        Send(Step::RcptTo, "RCPT TO:<" + m_recipients.at(m_nextRecipient++) + ">");
      } else {
        Send(Step::Data, "DATA");
      }
      return;
    case Step::Data:
      if (reply.code != 354) {
        RefuseCurrent(reply.code, ReplyText(reply));
        return;
      }
      m_step = Step::DataBody;
      m_dataSent = 0;
      // While the data goes out no reply is due; only silence ends the step.
      m_deadline = 0;
      m_timer.start(StepTimeout());
      m_stream->Write(m_data);
      return;
    case Step::DataBody:
      if (reply.code != 250) {
        RefuseCurrent(reply.code, ReplyText(reply));
        return;
      }
      m_data.clear();
      emit MessageAccepted();
      if (work.Stopped() || m_step == Step::Done) return;
      NextMessage();
      return;
    case Step::Rset:
      if (reply.code != 250) {
        Finish(smtp::kProtocolError, ReplyText(reply));
        return;
      }
      NextMessage();
      return;
    case Step::Quit:
      // 221 or not, the sign-off is done: wait briefly for the server to close.
      m_step = Step::Closing;
      m_timer.start(qMin(m_settings.quitTimeoutMs, m_settings.stepTimeoutMs));
      return;
    default:
      Finish(smtp::kProtocolError,
             QStringLiteral("The server sent a reply out of turn: ") + ReplyText(reply));
      return;
  }
}

void SmtpSession::HandleEhlo(const SmtpReply& reply) {
  m_capabilities.clear();
  m_authMechanisms.clear();
  // The first line is the server's name; each further line is one extension.
  for (qsizetype i = 1; i < reply.lines.size(); ++i) {
    const QList<QByteArray> words = reply.lines.at(i).toUpper().simplified().split(' ');
    if (words.isEmpty() || words.first().isEmpty()) continue;
    QByteArray keyword = words.first();
    QList<QByteArray> params = words.mid(1);
    // Old servers write "AUTH=LOGIN PLAIN".
    if (keyword.startsWith("AUTH=")) {
      params.prepend(keyword.mid(5));
      keyword = "AUTH";
    }
    m_capabilities.insert(keyword);
    if (keyword == "AUTH") {
      for (const QByteArray& p : params) m_authMechanisms.insert(p);
    }
  }
}

void SmtpSession::AfterHello() {
  if (!m_stream->IsEncrypted() && m_capabilities.contains("STARTTLS")) {
    Send(Step::StartTls, "STARTTLS");
    return;
  }
  if (!m_settings.username.isEmpty()) {
    StartAuth();
    return;
  }
  NextMessage();
}

void SmtpSession::StartAuth() {
  if (!m_stream->IsEncrypted() && !m_stream->PeerIsLoopback()) {
    Finish(smtp::kEncryptionRequired,
           QStringLiteral("The server offers no encryption; the password is not sent in plain text."));
    return;
  }
  if (m_authMechanisms.contains("PLAIN")) {
    // RFC 4616: authorisation identity empty, then user name and password.
    const QByteArray credentials = '\0' + m_settings.username.toUtf8() + '\0' + m_settings.password.toUtf8();
    Send(Step::AuthPlain, "AUTH PLAIN " + credentials.toBase64());
  } else if (m_authMechanisms.contains("LOGIN")) {
    Send(Step::AuthLogin, "AUTH LOGIN");
  } else {
    Finish(smtp::kAuthUnavailable, QStringLiteral("The server offers no log-in method this program knows."));
  }
}

void SmtpSession::NextMessage() {
  const LongWork work(this);
  while (!work.Stopped() && m_step != Step::Done) {
    if (!m_source.hasMessage()) {
      SendQuit();
      return;
    }
    const SmtpEnvelope envelope = m_source.nextMessage();
    const bool utf8 = m_capabilities.contains("SMTPUTF8");
    int refusal = 0;
    QString why;
    QStringList addresses = envelope.recipients;
    addresses.prepend(envelope.from);
    for (const QString& address : addresses) {
      if (!IsSafeArgument(address)) {
        refusal = smtp::kUnsafeArgument;
        why = QStringLiteral("An address holds a line break, a control character or an angle bracket.");
      } else if (!utf8 && !IsAscii(address) && refusal == 0) {
        refusal = smtp::kNonAsciiAddress;
        why = QStringLiteral("The server cannot take non-ASCII addresses.");
      }
    }
    if (refusal == 0 && envelope.recipients.isEmpty()) {
      refusal = smtp::kNoRecipient;
      why = QStringLiteral("The message has no recipient.");
    }
    std::optional<QByteArray> data;
    if (refusal == 0) {
      data = EncodeSmtpData(envelope.source);
      if (!data) {
        refusal = smtp::kLineTooLong;
        why = QStringLiteral("A line of the message is longer than 998 bytes.");
      }
    }
    if (refusal != 0) {
      m_timer.stop();
      emit MessageRefused(refusal, why);
      continue;  // nothing was sent for it, so no RSET is needed
    }
    m_data = *data;
    m_recipients.clear();
    for (const QString& r : envelope.recipients) m_recipients.append(r.toUtf8());
    m_nextRecipient = 0;
    QByteArray mail = "MAIL FROM:<" + envelope.from.toUtf8() + ">";
    if (HasEightBit(m_data) && m_capabilities.contains("8BITMIME")) mail += " BODY=8BITMIME";
    if (utf8 && !IsAscii(addresses.join(QString()))) mail += " SMTPUTF8";
    Send(Step::MailFrom, mail);
    return;
  }
}

void SmtpSession::RefuseCurrent(int code, const QString& text) {
  const LongWork work(this);
  m_data.clear();
  emit MessageRefused(code, text);
  if (work.Stopped() || m_step == Step::Done) return;
  // RFC 5321 section 4.1.1.5: start the next message from a clean transaction.
  Send(Step::Rset, "RSET");
}

void SmtpSession::SendQuit() {
  m_signedOff = true;
  Send(Step::Quit, "QUIT");
}

void SmtpSession::Send(Step step, const QByteArray& line) {
  m_step = step;
  StartStep();
  m_stream->Write(line + "\r\n");
}

void SmtpSession::OnTimeout() {
  switch (m_step) {
    case Step::Connecting:
      Finish(smtp::kCannotConnect, QStringLiteral("The server did not answer the connection."));
      return;
    case Step::Quit:
    case Step::Closing:
      Finish(smtp::kServerClosed, QStringLiteral("Signed off."));
      return;
    case Step::Handshake:
      Finish(smtp::kTlsFailed, QStringLiteral("The TLS handshake timed out."));
      return;
    case Step::Done:
    case Step::Idle:
      return;
    default:
      Finish(smtp::kTimeout, QStringLiteral("The server stopped answering."));
  }
}

void SmtpSession::OnFailed(ByteStream::Failure failure, const QString& text) {
  switch (m_step) {
    case Step::Done:
      return;
    case Step::Connecting:
      Finish(failure == ByteStream::Failure::TlsFailed ? smtp::kTlsFailed : smtp::kCannotConnect, text);
      return;
    case Step::Handshake:
      Finish(smtp::kTlsFailed, text);
      return;
    case Step::Quit:
    case Step::Closing:
      Finish(smtp::kServerClosed, text);
      return;
    default:
      break;
  }
  switch (failure) {
    case ByteStream::Failure::RemoteClosed:
      Finish(smtp::kServerClosed, text);
      return;
    case ByteStream::Failure::TlsFailed:
      Finish(smtp::kTlsFailed, text);
      return;
    default:
      Finish(smtp::kSocketError, text);
  }
}

void SmtpSession::Finish(int code, const QString& text) {
  if (m_step == Step::Done) return;
  m_step = Step::Done;
  m_timer.stop();
  m_stream->disconnect(this);
  m_stream->Abort();
  emit Finished(code, text);
}

QByteArray SmtpSession::HelloDomain() const {
  // RFC 5321 section 4.1.4: without a known domain name, an address literal.
  QHostAddress local = m_stream->LocalAddress();
  bool isV4 = false;
  const quint32 v4 = local.toIPv4Address(&isV4);
  if (isV4) return "[" + QHostAddress(v4).toString().toLatin1() + "]";
  if (local.protocol() == QAbstractSocket::IPv6Protocol) {
    local.setScopeId(QString());
    return "[IPv6:" + local.toString().toLatin1() + "]";
  }
  return "[127.0.0.1]";
}

}  // namespace platform

// Compiled here rather than in the library-wide moc unit, so a program that uses this
// class links only what it needs.
#include "moc_SmtpSession.cpp"
