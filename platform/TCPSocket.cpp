#include "platform/TCPSocket.h"

#include <QPointer>

#include "platform/LongWork.h"
#include "platform/TlsPolicy.h"

namespace platform {

TCPSocket::TCPSocket(QObject* parent) : QObject(parent) {}

TCPSocket::~TCPSocket() {
  DropStream();
}

void TCPSocket::Connect() {
  Close();
  m_lastError = NoError;
  if (m_address.isEmpty() || m_port < 1 || m_port > 65535) {
    const quint64 session = m_session;
    QPointer<TCPSocket> self(this);
    // Events come from the event loop, never from inside the call that causes them.
    QMetaObject::invokeMethod(
        this,
        [self, session] {
          if (self && self->m_session == session) self->Fail(InvalidPort);
        },
        Qt::QueuedConnection);
    return;
  }
  m_stream = m_factory(TlsPolicy{}).release();
  m_stream->setParent(this);
  connect(m_stream, &ByteStream::Connected, this, [this] {
    m_connected = true;
    emit Connected();
  });
  connect(m_stream, &ByteStream::ReadyRead, this, [this] { emit DataAvailable(); });
  connect(m_stream, &ByteStream::Failed, this,
          [this](ByteStream::Failure failure, const QString&) { OnFailed(failure); });
  m_stream->ConnectToHost(m_address, static_cast<quint16>(m_port), false);
}

void TCPSocket::Write(const QByteArray& bytes) {
  if (m_stream && m_connected) m_stream->Write(bytes);
}

QByteArray TCPSocket::ReadAll() {
  QByteArray bytes = std::move(m_leftover);
  m_leftover.clear();
  if (m_stream) bytes += m_stream->ReadAll();
  return bytes;
}

void TCPSocket::Close() {
  ++m_session;
  m_leftover.clear();
  DropStream();
}

void TCPSocket::OnFailed(ByteStream::Failure failure) {
  switch (failure) {
    case ByteStream::Failure::Unreachable:
      Fail(CannotConnect);
      return;
    case ByteStream::Failure::RemoteClosed:
      Fail(LostConnection);
      return;
    default:
      Fail(SocketFailed);
  }
}

void TCPSocket::Fail(ErrorCode code) {
  QByteArray leftover = m_stream ? m_stream->ReadAll() : QByteArray();
  ++m_session;
  DropStream();
  m_lastError = code;
  const quint64 session = m_session;
  const LongWork work(this);
  if (!leftover.isEmpty()) {
    m_leftover = std::move(leftover);
    emit DataAvailable();
    // The handler may have deleted the socket, connected again or closed it.
    if (work.Stopped() || m_session != session) return;
    m_leftover.clear();
  }
  emit Error();
}

// The stream may be the sender of the signal being handled: it is cut off and deleted
// from the event loop, not here.
void TCPSocket::DropStream() {
  m_connected = false;
  if (!m_stream) return;
  m_stream->disconnect(this);
  m_stream->Abort();
  m_stream->deleteLater();
  m_stream = nullptr;
}

}  // namespace platform
