#include "platform/SMTPSocket.h"

#include <QTimer>

#include "platform/ServerAddress.h"
#include "platform/SmtpSession.h"

namespace platform {

namespace {
constexpr quint16 kSmtpPort = 25;
constexpr quint16 kSmtpsPort = 465;  // RFC 8314: TLS from the first byte
}  // namespace

SMTPSocket::SMTPSocket(QObject* parent) : QObject(parent) {}

SMTPSocket::~SMTPSocket() {
  delete m_session.data();
}

bool SMTPSocket::IsConnected() const {
  return m_session || m_failing;
}

void SMTPSocket::SendMail() {
  if (IsConnected()) return;
  m_unanswered.reset();
  const std::optional<ServerAddress> address = ParseServerAddress(m_address, kSmtpPort);
  if (!address) {
    // Reported from the event loop, like every other failure, so the caller's handler
    // finishes first.
    m_failing = true;
    QTimer::singleShot(0, this, [this] {
      if (!m_failing) return;  // Disconnect dropped the report
      m_failing = false;
      Finish(smtp::kBadAddress, QStringLiteral("The SMTP server setting is not a valid address."));
    });
    return;
  }
  SmtpSessionSettings settings;
  settings.host = address->host;
  settings.port = address->port;
  settings.implicitTls = address->port == kSmtpsPort;
  settings.username = m_username;
  settings.password = m_password;
  settings.stepTimeoutMs = m_stepTimeoutMs;
  settings.quitTimeoutMs = qMin(m_stepTimeoutMs, 5000);

  SmtpMessageSource source;
  source.hasMessage = [this] { return !m_messages.isEmpty(); };
  source.nextMessage = [this] {
    m_current = m_messages.first();
    SmtpEnvelope envelope;
    // The envelope takes the bare address; the From header keeps the display name.
    const QString from = MailboxAddress(m_current->FromAddress());
    envelope.from = from.isEmpty() ? m_current->FromAddress() : from;
    envelope.recipients = m_current->Recipients();
    envelope.source = m_current->Source();
    return envelope;
  };

  auto* session = new SmtpSession(m_factory(m_tlsPolicy), settings, std::move(source), this);
  m_session = session;
  connect(session, &SmtpSession::Greeting, this, &SMTPSocket::ConnectionEstablished);
  connect(session, &SmtpSession::Progress, this, &SMTPSocket::SendProgress);
  connect(session, &SmtpSession::MessageAccepted, this, [this] {
    if (EmailMessagePtr message = TakeCurrent()) emit MessageSent(message);
  });
  connect(session, &SmtpSession::MessageRefused, this, [this](int code, const QString& text) {
    if (EmailMessagePtr message = TakeCurrent()) emit ServerError(message, code, text);
  });
  connect(session, &SmtpSession::Finished, this, &SMTPSocket::Finish);
  session->Start();
}

EmailMessagePtr SMTPSocket::TakeCurrent() {
  EmailMessagePtr message = std::move(m_current);
  m_current.reset();
  // The owner may have emptied the list meanwhile; the message has its outcome anyway.
  if (message) m_messages.removeOne(message);
  return message;
}

void SMTPSocket::Disconnect() {
  m_failing = false;
  if (m_session) {
    m_session->Abort();
    m_session->deleteLater();
    m_session = nullptr;
  }
  m_current.reset();
}

void SMTPSocket::Finish(int code, const QString& text) {
  m_signedOff = m_session && m_session->SignedOff();
  m_unanswered = m_session && m_session->DataUnanswered() ? m_current : nullptr;
  if (m_session) {
    m_session->deleteLater();
    m_session = nullptr;
  }
  m_current.reset();
  m_lastErrorCode = code;
  m_lastErrorText = text;
  emit Error();
}

}  // namespace platform

// Compiled here rather than in the library-wide moc unit, so a program that uses this
// class links only what it needs.
#include "moc_SMTPSocket.cpp"
