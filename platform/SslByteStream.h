#pragma once

#include <QSslSocket>

#include "platform/ByteStream.h"
#include "platform/TlsPolicy.h"

namespace platform {

// The real ByteStream: a QSslSocket that verifies the server's certificate against the
// system's trust store plus the policy's extra authorities, and the host name.
class SslByteStream : public ByteStream {
  Q_OBJECT
 public:
  explicit SslByteStream(const TlsPolicy& policy, QObject* parent = nullptr);
  ~SslByteStream() override;

  void ConnectToHost(const QString& host, quint16 port, bool implicitTls) override;
  void StartTls() override;
  void Write(const QByteArray& bytes) override;
  QByteArray ReadAll() override;
  void Abort() override;
  bool IsEncrypted() const override;
  bool PeerIsLoopback() const override;
  QHostAddress LocalAddress() const override;

 private:
  void Fail(Failure failure, const QString& text);
  void OnSocketError(QAbstractSocket::SocketError error);

  QSslSocket m_socket;
  bool m_connected = false;
  bool m_implicitTls = false;
  bool m_handshaking = false;
  bool m_over = false;
  QString m_sslErrorText;
};

}  // namespace platform
