#include "platform/Pop3TcpTransport.h"

#include <QSslConfiguration>

namespace platform {

Pop3TcpTransport::Pop3TcpTransport(QObject* parent) : Pop3Transport(parent), m_socket(new QSslSocket(this)) {
  connect(m_socket, &QSslSocket::connected, this, [this] {
    m_connected = true;
    emit Connected();
  });
  connect(m_socket, &QSslSocket::readyRead, this, &Pop3Transport::ReadyRead);
  connect(m_socket, &QSslSocket::encrypted, this, &Pop3Transport::Encrypted);
  connect(m_socket, &QSslSocket::errorOccurred, this, &Pop3TcpTransport::OnError);
}

void Pop3TcpTransport::ConnectToHost(const QString& host, quint16 port) {
  m_connected = false;
  m_aborting = false;
  m_socket->connectToHost(host, port);
}

void Pop3TcpTransport::Write(const QByteArray& bytes) {
  m_socket->write(bytes);
}

QByteArray Pop3TcpTransport::ReadAll() {
  return m_socket->readAll();
}

void Pop3TcpTransport::StartTls(const QString& peerName) {
  // Whatever came in after the server's go-ahead arrived in clear text and could have
  // been injected by anyone on the path (RFC 2595, section 4): it is dropped.
  m_socket->readAll();
  QSslConfiguration config = m_socket->sslConfiguration();
  QList<QSslCertificate> cas = QSslConfiguration::systemCaCertificates();
  cas.append(m_extraCas);
  config.setCaCertificates(cas);
  config.setPeerVerifyMode(QSslSocket::VerifyPeer);
  m_socket->setSslConfiguration(config);
  m_socket->setPeerVerifyName(peerName);
  m_socket->startClientEncryption();
}

bool Pop3TcpTransport::IsEncrypted() const {
  return m_socket->isEncrypted();
}

bool Pop3TcpTransport::PeerIsLoopback() const {
  return m_connected && m_socket->peerAddress().isLoopback();
}

void Pop3TcpTransport::Abort() {
  m_aborting = true;
  m_connected = false;
  m_socket->abort();
}

void Pop3TcpTransport::OnError(QAbstractSocket::SocketError error) {
  if (m_aborting) return;
  const QString detail = m_socket->errorString();
  switch (error) {
    case QAbstractSocket::RemoteHostClosedError:
      m_connected = false;
      emit Closed();
      return;
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::NetworkError:
      if (!m_connected) {
        emit Failed(Failure::CannotConnect, detail);
        return;
      }
      break;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
      emit Failed(Failure::Tls, detail);
      return;
    default:
      break;
  }
  emit Failed(m_connected ? Failure::Other : Failure::CannotConnect, detail);
}

}  // namespace platform

// Compiled here rather than in the shared moc unit, so this object stands on its own.
#include "moc_Pop3TcpTransport.cpp"
