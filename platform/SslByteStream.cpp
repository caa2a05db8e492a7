#include "platform/SslByteStream.h"

#include <QSslConfiguration>
#include <QStringList>

namespace platform {

SslByteStream::SslByteStream(const TlsPolicy& policy, QObject* parent) : ByteStream(parent) {
  QSslConfiguration config = QSslConfiguration::defaultConfiguration();
  if (!policy.extraCaCertificates.isEmpty()) {
    // Adding authorities switches off the on-demand loading of the system's roots, so
    // give the whole set: the system's and the extra ones.
    config.setCaCertificates(QSslConfiguration::systemCaCertificates() + policy.extraCaCertificates);
  }
  config.setPeerVerifyMode(QSslSocket::VerifyPeer);
  m_socket.setSslConfiguration(config);

  connect(&m_socket, &QSslSocket::connected, this, [this] {
    m_connected = true;
    m_handshaking = m_implicitTls;
    if (!m_implicitTls) emit Connected();
  });
  connect(&m_socket, &QSslSocket::encrypted, this, [this] {
    m_handshaking = false;
    if (m_implicitTls) {
      emit Connected();
    } else {
      emit Encrypted();
    }
  });
  connect(&m_socket, &QSslSocket::readyRead, this, [this] {
    if (!m_over) emit ReadyRead();
  });
  // Counts the client's own bytes, encrypted or not.
  connect(&m_socket, &QSslSocket::bytesWritten, this, [this](qint64 n) {
    if (!m_over) emit BytesWritten(n);
  });
  // Certificate errors end the handshake (errorOccurred follows) and are collected for the
  // message, unless the server is on this machine.
  connect(&m_socket, &QSslSocket::sslErrors, this,
          [this, verifyLoopback = policy.verifyLoopback](const QList<QSslError>& errors) {
            if (!verifyLoopback && m_socket.peerAddress().isLoopback()) {
              m_socket.ignoreSslErrors();
              return;
            }
            QStringList texts;
            for (const QSslError& e : errors) texts.append(e.errorString());
            m_sslErrorText = texts.join(QStringLiteral("; "));
          });
  connect(&m_socket, &QSslSocket::errorOccurred, this, &SslByteStream::OnSocketError);
  connect(&m_socket, &QSslSocket::disconnected, this, [this] {
    Fail(m_handshaking ? Failure::TlsFailed : Failure::RemoteClosed,
         QStringLiteral("The server closed the connection."));
  });
}

SslByteStream::~SslByteStream() {
  m_over = true;
  m_socket.disconnect(this);
  m_socket.abort();
}

void SslByteStream::ConnectToHost(const QString& host, quint16 port, bool implicitTls) {
  m_implicitTls = implicitTls;
  if (implicitTls) {
    m_socket.connectToHostEncrypted(host, port);
  } else {
    m_socket.connectToHost(host, port);
  }
}

void SslByteStream::StartTls() {
  m_handshaking = true;
  m_socket.startClientEncryption();
}

void SslByteStream::Write(const QByteArray& bytes) {
  if (!m_over) m_socket.write(bytes);
}

QByteArray SslByteStream::ReadAll() {
  return m_socket.readAll();
}

void SslByteStream::Abort() {
  m_over = true;
  m_socket.abort();
}

bool SslByteStream::IsEncrypted() const {
  return m_socket.isEncrypted();
}

bool SslByteStream::PeerIsLoopback() const {
  return m_socket.peerAddress().isLoopback();
}

QHostAddress SslByteStream::LocalAddress() const {
  return m_socket.localAddress();
}

void SslByteStream::OnSocketError(QAbstractSocket::SocketError error) {
  // Whatever breaks a handshake under way (a closed connection included) is a TLS failure.
  if (m_handshaking) {
    Fail(Failure::TlsFailed, m_sslErrorText.isEmpty() ? m_socket.errorString() : m_sslErrorText);
    return;
  }
  switch (error) {
    case QAbstractSocket::RemoteHostClosedError:
      Fail(Failure::RemoteClosed, m_socket.errorString());
      return;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
      Fail(Failure::TlsFailed, m_sslErrorText.isEmpty() ? m_socket.errorString() : m_sslErrorText);
      return;
    default:
      Fail(m_connected ? Failure::Other : Failure::Unreachable, m_socket.errorString());
  }
}

void SslByteStream::Fail(Failure failure, const QString& text) {
  if (m_over) return;
  m_over = true;
  // Socket errors can be raised inside a call such as write(); the client hears of them
  // from the event loop, as the interface promises.
  QMetaObject::invokeMethod(
      this, [this, failure, text] { emit Failed(failure, text); }, Qt::QueuedConnection);
}

}  // namespace platform

// Compiled here rather than in the library-wide moc unit, so a program that uses this
// class links only what it needs.
#include "moc_SslByteStream.cpp"
