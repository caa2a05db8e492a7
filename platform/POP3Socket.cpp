#include "platform/POP3Socket.h"

#include "platform/Pop3Reply.h"

namespace platform {

namespace {

constexpr int kDefaultStepTimeoutMs = 30000;
// A server listing more capabilities than this is not answering CAPA sensibly.
constexpr int kMaxCapabilityLines = 200;

bool HasLineBreakOrNul(const QString& text) {
  return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || text.contains(QChar(0));
}

}  // namespace

POP3Socket::POP3Socket(QObject* parent) : QObject(parent) {
  m_timer.setSingleShot(true);
  m_timer.setInterval(kDefaultStepTimeoutMs);
  connect(&m_timer, &QTimer::timeout, this, [this] { Fail(StepTimedOut); });
}

POP3Socket::~POP3Socket() {
  DropStream();
}

void POP3Socket::Connect() {
  Disconnect();
  m_lastError = NoError;
  m_lastErrorText.clear();
  // A line break would end USER or PASS early and let the rest run as a command.
  if (HasLineBreakOrNul(m_username) || HasLineBreakOrNul(m_password)) {
    Fail(UnsafeCredential);
    return;
  }
  if (m_port < 1 || m_port > 65535) {
    Fail(InvalidPort);
    return;
  }
  m_stream = m_factory(m_tlsPolicy).release();
  m_stream->setParent(this);
  connect(m_stream, &ByteStream::Connected, this, &POP3Socket::OnConnected);
  connect(m_stream, &ByteStream::ReadyRead, this, &POP3Socket::OnReadyRead);
  connect(m_stream, &ByteStream::Encrypted, this, &POP3Socket::OnEncrypted);
  connect(m_stream, &ByteStream::Failed, this, &POP3Socket::OnFailed);
  m_state = State::Connecting;
  m_timer.start();
  m_stream->ConnectToHost(m_address, static_cast<quint16>(m_port), false);
}

void POP3Socket::CountMessages() {
  if (m_state != State::LoggedIn) {
    m_lastError = NotLoggedIn;
    return;
  }
  Send("STAT", State::Stat);
}

void POP3Socket::Disconnect() {
  ++m_session;
  m_timer.stop();
  m_buffer.clear();
  m_state = State::Idle;
  DropStream();
}

// The stream may be the sender of the signal being handled: it is cut off and deleted
// from the event loop, not here.
void POP3Socket::DropStream() {
  if (!m_stream) return;
  m_stream->disconnect(this);
  m_stream->Abort();
  m_stream->deleteLater();
  m_stream = nullptr;
}

void POP3Socket::OnConnected() {
  if (m_state != State::Connecting) return;
  m_state = State::Greeting;
  m_timer.start();
}

void POP3Socket::OnReadyRead() {
  if (!m_stream) return;
  const QByteArray bytes = m_stream->ReadAll();
  if (m_state == State::Connecting || m_state == State::Handshake) return;
  m_buffer.append(bytes);
  while (ProcessOne()) {
  }
}

void POP3Socket::OnEncrypted() {
  if (m_state != State::Handshake) return;
  // The capabilities seen before TLS are forgotten (RFC 2595); only USER/PASS follow.
  Send("USER " + m_username.toUtf8(), State::User);
}

void POP3Socket::OnFailed(ByteStream::Failure failure, const QString& text) {
  if (m_state == State::Idle) return;
  switch (failure) {
    case ByteStream::Failure::RemoteClosed:
      Disconnect();
      m_lastError = ServerClosed;
      m_lastErrorText = text;
      emit Disconnected();
      break;
    case ByteStream::Failure::Unreachable:
      Fail(CannotConnect, text);
      break;
    case ByteStream::Failure::TlsFailed:
      Fail(TlsFailed, text);
      break;
    case ByteStream::Failure::Other:
      Fail(SocketFailed, text);
      break;
  }
}

bool POP3Socket::ProcessOne() {
  switch (m_state) {
    case State::Idle:
    case State::Connecting:
    case State::Handshake:
    case State::LoggedIn:
      return false;
    case State::CapaList:
      return ProcessCapabilityLine();
    default:
      break;
  }
  const Pop3Reply reply = ParsePop3Reply(m_buffer);
  if (reply.status == Pop3Reply::Status::Incomplete) return false;
  if (reply.status == Pop3Reply::Status::Bad) {
    Fail(MalformedReply);
    return false;
  }
  m_buffer.remove(0, reply.consumed);
  const bool ok = reply.status == Pop3Reply::Status::Ok;
  const QString text = QString::fromUtf8(reply.text);
  const QPointer<POP3Socket> self(this);
  const quint64 session = m_session;
  switch (m_state) {
    case State::Greeting:
      if (!ok) {
        Fail(BadGreeting, text);
        return false;
      }
      m_timer.stop();
      emit ConnectionEstablished();
      if (!StillRunning(self, session)) return false;
      Send("CAPA", State::Capa);
      return true;
    case State::Capa:
      if (!ok) {
        // A server without CAPA (RFC 2449 is optional) offers no STLS either.
        m_stlsOffered = false;
        AfterCapabilities();
        return StillRunning(self, session);
      }
      m_stlsOffered = false;
      m_capabilityLines = 0;
      m_state = State::CapaList;
      return true;
    case State::Stls:
      if (!ok) {
        Fail(TlsFailed, text);
        return false;
      }
      // Bytes that came with or after the go-ahead are clear text an attacker could
      // have placed there; they are never read as replies.
      m_buffer.clear();
      m_stream->ReadAll();
      m_state = State::Handshake;
      m_timer.start();
      m_stream->StartTls();
      return false;
    case State::User:
      if (!ok) {
        Fail(LoginRefused, text);
        return false;
      }
      Send("PASS " + m_password.toUtf8(), State::Pass);
      return true;
    case State::Pass:
      if (!ok) {
        Fail(LoginRefused, text);
        return false;
      }
      m_timer.stop();
      m_state = State::LoggedIn;
      emit LoginSuccessful();
      return StillRunning(self, session);
    case State::Stat: {
      if (!ok) {
        Fail(CommandRefused, text);
        return false;
      }
      const auto stat = ParsePop3Stat("+OK " + reply.text);
      if (!stat) {
        Fail(MalformedReply, text);
        return false;
      }
      m_timer.stop();
      m_state = State::LoggedIn;
      emit MessageCount(stat->count);
      return StillRunning(self, session);
    }
    default:
      return false;
  }
}

bool POP3Socket::ProcessCapabilityLine() {
  const Pop3Line line = ReadPop3Line(m_buffer);
  if (line.status == Pop3Line::Status::Incomplete) return false;
  if (line.status == Pop3Line::Status::Bad || ++m_capabilityLines > kMaxCapabilityLines) {
    Fail(MalformedReply);
    return false;
  }
  m_buffer.remove(0, line.consumed);
  if (line.text == ".") {
    const QPointer<POP3Socket> self(this);
    const quint64 session = m_session;
    AfterCapabilities();
    return StillRunning(self, session);
  }
  // Multi-line replies are byte-stuffed (RFC 1939, section 3).
  QByteArray text = line.text.startsWith('.') ? line.text.mid(1) : line.text;
  const QByteArray keyword = text.left(text.indexOf(' ') < 0 ? text.size() : text.indexOf(' ')).toUpper();
  if (keyword == "STLS") m_stlsOffered = true;
  return true;
}

bool POP3Socket::StillRunning(const QPointer<POP3Socket>& self, quint64 session) {
  return self && self->m_session == session;
}

void POP3Socket::AfterCapabilities() {
  if (m_stlsOffered) {
    Send("STLS", State::Stls);
    return;
  }
  if (!m_stream->IsEncrypted() && !m_stream->PeerIsLoopback()) {
    Fail(EncryptionRequired);
    return;
  }
  Send("USER " + m_username.toUtf8(), State::User);
}

void POP3Socket::Send(const QByteArray& command, State next) {
  m_state = next;
  m_timer.start();
  m_stream->Write(command + "\r\n");
}

void POP3Socket::Fail(ErrorCode code, const QString& detail) {
  Disconnect();
  m_lastError = code;
  m_lastErrorText = detail;
  emit Error(code);
}

}  // namespace platform

// Compiled here rather than in the shared moc unit, so this object stands on its own.
#include "moc_POP3Socket.cpp"
