#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "platform/ByteStream.h"
#include "platform/SocketFactory.h"

namespace platform {

// A plain TCP client socket on the caller's thread: connect, write, read what came, and
// three events. It runs over a ByteStream without TLS (made by MakeByteStream unless a
// factory is set), so tests can put a scripted server or one on loopback behind it.
//
// Error ends every connection: the peer's close as well as a failure. Bytes that came
// with the close are announced by DataAvailable before it. Close() ends the connection
// from this side, and no event follows it.
class TCPSocket : public QObject {
  Q_OBJECT
 public:
  // What LastErrorCode holds after Error.
  enum ErrorCode {
    NoError = 0,
    LostConnection = 102,  // the peer closed the connection
    CannotConnect = 103,   // host not found, connection refused or unreachable
    InvalidPort = 107,     // Address is empty or Port is not between 1 and 65535
    SocketFailed = 112,    // any other failure of the connection
  };
  Q_ENUM(ErrorCode)

  explicit TCPSocket(QObject* parent = nullptr);
  ~TCPSocket() override;

  QString Address() const { return m_address; }
  void SetAddress(const QString& address) { m_address = address; }
  int Port() const { return m_port; }
  void SetPort(int port) { m_port = port; }

  // Starts a new connection, dropping any under way.
  void Connect();
  void Write(const QByteArray& bytes);
  // Everything received and not read yet.
  QByteArray ReadAll();
  void Close();
  bool IsConnected() const { return m_connected; }
  int LastErrorCode() const { return m_lastError; }

  void SetStreamFactory(ByteStreamFactory factory) { m_factory = std::move(factory); }

 signals:
  void Connected();
  void DataAvailable();
  void Error();

 private:
  void OnFailed(ByteStream::Failure failure);
  void Fail(ErrorCode code);
  void DropStream();

  ByteStreamFactory m_factory = MakeByteStream;
  ByteStream* m_stream = nullptr;
  QString m_address;
  int m_port = 0;
  bool m_connected = false;
  // What came with the close, for the ReadAll of the DataAvailable before Error.
  QByteArray m_leftover;
  // Bumped whenever a connection starts or ends, so an event whose handler connected
  // again or closed is not followed by the rest of the old connection's events.
  quint64 m_session = 0;
  int m_lastError = NoError;
};

}  // namespace platform
