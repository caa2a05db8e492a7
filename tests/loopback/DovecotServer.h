#pragma once

#include <QHostAddress>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "support/TestSupport.h"

namespace testing_support {

// A Dovecot POP3 server on a free port of 127.0.0.1, in its own temporary folder, with
// user "tester" / "secret word" and a mailbox of known size. Stopped when destroyed.
class DovecotServer {
 public:
  DovecotServer(bool tls, int messages) {
    if (!m_dir.isValid()) return;
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return;
    m_port = probe.serverPort();
    probe.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(
        QStringLiteral("/bin/sh"),
        {QStringLiteral(VELMORA_TEST_SCRIPTS "/start_dovecot.sh"), m_dir.path(), QString::number(m_port),
         tls ? QStringLiteral("yes") : QStringLiteral("no"), QString::number(messages)});
    if (!m_process.waitForStarted()) return;
    m_ready = testing_support::WaitUntil(
        [this] {
          if (m_process.state() == QProcess::NotRunning) return true;
          QTcpSocket probeClient;
          probeClient.connectToHost(QHostAddress::LocalHost, m_port);
          return probeClient.waitForConnected(200);
        },
        30000);
    m_ready = m_ready && m_process.state() == QProcess::Running;
  }

  ~DovecotServer() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.terminate();
    if (!m_process.waitForFinished(15000)) {
      m_process.kill();
      m_process.waitForFinished(5000);
    }
  }

  bool Ready() const { return m_ready; }
  quint16 Port() const { return m_port; }
  QString Certificate() const { return m_dir.filePath(QStringLiteral("cert.pem")); }
  QString Diagnostics() {
    return QString::fromUtf8(m_process.readAll()) +
           QString::fromUtf8(testing_support::ReadAll(m_dir.filePath(QStringLiteral("dovecot.log"))));
  }

 private:
  QTemporaryDir m_dir;
  QProcess m_process;
  quint16 m_port = 0;
  bool m_ready = false;
};

inline bool HaveDovecot() {
  return !QStandardPaths::findExecutable(QStringLiteral("dovecot"), {"/usr/sbin", "/usr/bin"}).isEmpty();
}

}  // namespace testing_support
