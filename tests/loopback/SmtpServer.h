#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSslCertificate>
#include <QStringList>
#include <QTemporaryDir>

#include "support/TestSupport.h"

namespace testing_support {

// smtp_server.py (aiosmtpd) for the length of one test, on a free port of 127.0.0.1, with
// STARTTLS and AUTH for alice / s3cret; stopped (and killed if need be) on scope exit.
// Every accepted message is msg-<n>.json in its folder, as Python's email package reads it.
class SmtpServer {
 public:
  explicit SmtpServer(const QStringList& extraArgs = {}) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(Python(), QStringList{QStringLiteral(VELMORA_TEST_SCRIPTS "/smtp_server.py"),
                                          QStringLiteral("--dir"), m_dir.path()} +
                                  extraArgs);
    if (!m_process.waitForStarted(10000)) return;
    QByteArray out;
    while (!out.contains('\n') && m_process.waitForReadyRead(20000)) out += m_process.readAllStandardOutput();
    if (out.startsWith("PORT ")) m_port = out.mid(5).trimmed().toUShort();
  }
  ~SmtpServer() {
    m_process.closeWriteChannel();  // the server stops when its input closes
    if (!m_process.waitForFinished(5000)) {
      m_process.kill();
      m_process.waitForFinished(5000);
    }
  }

  quint16 Port() const { return m_port; }
  QString Address() const { return QStringLiteral("127.0.0.1:") + QString::number(m_port); }
  QList<QSslCertificate> Authority() const {
    return QSslCertificate::fromPath(m_dir.filePath(QStringLiteral("cert.pem")));
  }
  QJsonObject Message(int n) const {
    return QJsonDocument::fromJson(ReadAll(m_dir.filePath(QStringLiteral("msg-%1.json").arg(n)))).object();
  }
  bool HasMessage(int n) const { return QFile::exists(m_dir.filePath(QStringLiteral("msg-%1.json").arg(n))); }
  // The number of messages accepted so far.
  int MessageCount() const {
    int n = 0;
    while (HasMessage(n + 1)) ++n;
    return n;
  }

 private:
  static QString Python() {
    // The system interpreter carries the distribution's aiosmtpd.
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
  }

  QTemporaryDir m_dir;
  QProcess m_process;
  quint16 m_port = 0;
};

}  // namespace testing_support
