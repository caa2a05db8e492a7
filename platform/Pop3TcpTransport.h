#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslSocket>

#include "platform/Pop3Transport.h"

namespace platform {

// The POP3 client's TCP connection. TLS certificates are checked against the system's
// trusted authorities plus any extra ones given (tests add their own test authority);
// a certificate that does not check out fails the handshake: errors are never ignored.
class Pop3TcpTransport : public Pop3Transport {
  Q_OBJECT

 public:
  explicit Pop3TcpTransport(QObject* parent = nullptr);

  void SetExtraCaCertificates(const QList<QSslCertificate>& certificates) { m_extraCas = certificates; }

  void ConnectToHost(const QString& host, quint16 port) override;
  void Write(const QByteArray& bytes) override;
  QByteArray ReadAll() override;
  void StartTls(const QString& peerName) override;
  bool IsEncrypted() const override;
  bool PeerIsLoopback() const override;
  void Abort() override;

 private:
  void OnError(QAbstractSocket::SocketError error);

  QSslSocket* m_socket;
  QList<QSslCertificate> m_extraCas;
  bool m_connected = false;
  bool m_aborting = false;
};

}  // namespace platform
