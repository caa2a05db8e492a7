#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

namespace platform {

// A client's byte stream to a server: TCP, optionally TLS from the first byte or from a
// point the protocol chooses (STARTTLS, STLS). Mail clients (SMTP, POP3) talk through
// this interface only, so tests can put a scripted fake server behind it; the real one
// is SslByteStream, made by MakeByteStream (SocketFactory.h).
//
// Every signal is emitted from the event loop, never from inside a call of this
// interface, so a client may call back into the stream from its slots. After Abort()
// or Failed the stream emits nothing more.
class ByteStream : public QObject {
  Q_OBJECT
 public:
  enum class Failure {
    Unreachable,   // could not connect: host not found, refused, network unreachable
    RemoteClosed,  // the server closed the connection
    TlsFailed,     // handshake failed or the certificate is not trusted for the host
    Other,         // any other socket failure after the connection was made
  };
  Q_ENUM(Failure)

  using QObject::QObject;
  ~ByteStream() override = default;

  // Starts connecting. With implicitTls the handshake follows at once and Connected comes
  // only when it is done; the certificate is checked against `host`.
  virtual void ConnectToHost(const QString& host, quint16 port, bool implicitTls) = 0;
  // Starts the TLS handshake on a connected plain stream; Encrypted or Failed follows.
  virtual void StartTls() = 0;
  virtual void Write(const QByteArray& bytes) = 0;
  // Everything received and not read yet (decrypted when encrypted).
  virtual QByteArray ReadAll() = 0;
  // Drops the connection at once; nothing is emitted afterwards.
  virtual void Abort() = 0;

  virtual bool IsEncrypted() const = 0;
  // Whether the server's address is a loopback address (127.0.0.0/8, ::1).
  virtual bool PeerIsLoopback() const = 0;
  // This side's address of the connection (for the EHLO greeting).
  virtual QHostAddress LocalAddress() const = 0;

 signals:
  void Connected();
  void Encrypted();
  void ReadyRead();
  void BytesWritten(qint64 bytes);
  // The connection is over; `text` says why in words (for logs, never shown as the code).
  void Failed(platform::ByteStream::Failure failure, const QString& text);
};

}  // namespace platform
