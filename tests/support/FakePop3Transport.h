#pragma once

#include <QByteArray>
#include <QString>
#include <utility>

#include "platform/Pop3Transport.h"

namespace testing_support {

// A POP3 transport that a test drives by hand: it records what the client writes and
// hands it whatever the test says the server sent.
class FakePop3Transport : public platform::Pop3Transport {
 public:
  QString host;
  quint16 port = 0;
  int connects = 0;
  int aborts = 0;
  QByteArray written;
  QByteArray inbound;
  bool loopback = false;
  bool encrypted = false;
  bool tlsStarted = false;
  QString tlsPeer;

  void ConnectToHost(const QString& h, quint16 p) override {
    host = h;
    port = p;
    ++connects;
    encrypted = false;
    tlsStarted = false;
  }
  void Write(const QByteArray& bytes) override { written += bytes; }
  QByteArray ReadAll() override { return std::exchange(inbound, {}); }
  void StartTls(const QString& peer) override {
    inbound.clear();
    tlsStarted = true;
    tlsPeer = peer;
  }
  bool IsEncrypted() const override { return encrypted; }
  bool PeerIsLoopback() const override { return loopback; }
  void Abort() override { ++aborts; }

  // What the server side does.
  void Accept() { emit Connected(); }
  void Refuse() { emit Failed(Failure::CannotConnect, QStringLiteral("Connection refused")); }
  void Send(const QByteArray& bytes) {
    inbound += bytes;
    emit ReadyRead();
  }
  void FinishTls() {
    encrypted = true;
    emit Encrypted();
  }
  void FailTls() { emit Failed(Failure::Tls, QStringLiteral("The certificate is not trusted")); }
  void Close() { emit Closed(); }
};

}  // namespace testing_support
