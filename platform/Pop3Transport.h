#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace platform {

// The byte stream the POP3 client talks over. The real one is a TCP socket with STARTTLS
// (Pop3TcpTransport); tests put a scripted fake in its place to replay transcripts.
class Pop3Transport : public QObject {
  Q_OBJECT

 public:
  enum class Failure {
    CannotConnect,  // the host could not be resolved or refused the connection
    Tls,            // the TLS handshake failed or the certificate was not trusted
    Other,          // any other socket error
  };

  using QObject::QObject;
  ~Pop3Transport() override = default;

  // Starts connecting; Connected or Failed follows.
  virtual void ConnectToHost(const QString& host, quint16 port) = 0;
  virtual void Write(const QByteArray& bytes) = 0;
  // Takes every byte received so far.
  virtual QByteArray ReadAll() = 0;
  // Drops bytes received but not yet read, then starts the TLS handshake, checking the
  // server's certificate against `peerName`; Encrypted or Failed(Tls) follows.
  virtual void StartTls(const QString& peerName) = 0;
  virtual bool IsEncrypted() const = 0;
  // Whether the connected peer is this machine (127.0.0.0/8 or ::1).
  virtual bool PeerIsLoopback() const = 0;
  // Closes at once; no signal follows.
  virtual void Abort() = 0;

 signals:
  void Connected();
  void ReadyRead();
  void Encrypted();
  void Failed(platform::Pop3Transport::Failure failure, const QString& detail);
  // The server closed the connection.
  void Closed();
};

}  // namespace platform
