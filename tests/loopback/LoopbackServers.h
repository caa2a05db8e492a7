#pragma once

// Real servers on 127.0.0.1 for the length of one test, each on a free port and in its own
// temporary folder, stopped (killed if need be) when they go out of scope.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSslCertificate>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "platform/SslByteStream.h"
#include "support/TestSupport.h"

namespace testing_support {

// A port of 127.0.0.1 that nothing listens on (until something takes it).
inline quint16 FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

// A server process with its own temporary folder; it is stopped with the object (first
// asked: its input closed and a SIGTERM; then killed).
class ServerProcess {
 public:
  ~ServerProcess() {
    m_process.closeWriteChannel();
    m_process.terminate();
    if (!m_process.waitForFinished(15000)) m_process.kill(), m_process.waitForFinished(5000);
  }
  quint16 Port() const { return m_port; }

 protected:
  QTemporaryDir m_dir;
  QProcess m_process;
  quint16 m_port = 0;
};

// smtp_server.py (aiosmtpd, from the system's Python) with STARTTLS and AUTH for alice /
// s3cret. Every accepted message is msg-<n>.json in its folder, as Python's email reads it.
class SmtpServer : public ServerProcess {
 public:
  explicit SmtpServer(const QStringList& args = {}) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start("/usr/bin/python3",
                    QStringList{VELMORA_TEST_SCRIPTS "/smtp_server.py", "--dir", m_dir.path()} + args);
    while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
    }
    m_port = m_process.readLine().mid(5).trimmed().toUShort();  // "PORT <n>"
  }

  QList<QSslCertificate> Authority() const { return QSslCertificate::fromPath(m_dir.filePath("cert.pem")); }
  QJsonObject Message(int n) const {
    return QJsonDocument::fromJson(ReadAll(m_dir.filePath(QString("msg-%1.json").arg(n)))).object();
  }
  int MessageCount() const {
    int n = 0;
    while (QFile::exists(m_dir.filePath(QString("msg-%1.json").arg(n + 1)))) ++n;
    return n;
  }
};

// Dovecot's POP3 server (start_dovecot.sh) with user "tester" / "secret word" and a
// mailbox of `messages` messages; with `tls`, STLS with a certificate for 127.0.0.1.
class DovecotServer : public ServerProcess {
 public:
  DovecotServer(bool tls, int messages) {
    m_port = FreePort();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start("/bin/sh", {VELMORA_TEST_SCRIPTS "/start_dovecot.sh", m_dir.path(),
                                QString::number(m_port), tls ? "yes" : "no", QString::number(messages)});
    WaitUntil(
        [this] {
          QTcpSocket client;
          client.connectToHost(QHostAddress::LocalHost, m_port);
          return m_process.state() == QProcess::NotRunning || client.waitForConnected(200);
        },
        30000);
  }

  bool Ready() const { return m_process.state() == QProcess::Running; }
  QString Certificate() const { return m_dir.filePath("cert.pem"); }
  std::string Diagnostics() {
    return (m_process.readAll() + ReadAll(m_dir.filePath("dovecot.log"))).toStdString();
  }
};

inline bool HaveDovecot() {
  return !QStandardPaths::findExecutable("dovecot", {"/usr/sbin", "/usr/bin"}).isEmpty();
}

// A real stream that reaches the test's server whatever port it is asked for: the program
// asks for ports a test cannot listen on (110 for POP3, 465 for SMTP over TLS).
class PortMappedStream : public platform::SslByteStream {
 public:
  PortMappedStream(const platform::TlsPolicy& policy, quint16 port) : SslByteStream(policy), m_port(port) {}
  void ConnectToHost(const QString& host, quint16, bool implicitTls) override {
    SslByteStream::ConnectToHost(host, m_port, implicitTls);
  }

 private:
  quint16 m_port;
};

}  // namespace testing_support
