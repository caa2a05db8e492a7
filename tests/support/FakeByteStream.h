#pragma once

// A scripted server behind the ByteStream interface, for transcript tests of mail clients.
// The script lists the steps in the order they happen on the wire:
//   S: text  the server sends "text" CR LF (a written-out \r\n inside is a line end too)
//   C: text  the client must write "text" CR LF next
//   D:       the client writes a message's data, whatever it is, up to CR LF "." CR LF
//   T: / F:  the client must start TLS now; the handshake succeeds / fails
//   X:       the server closes the connection
//   Z:       the server goes silent (onSilence runs)
//   U:       (first step only) the host cannot be reached
//   E: text  an event the harness expects of the client; the fake skips it
// Server bytes arrive one chunk per event-loop turn; `splitAt` cuts the server's bytes once
// more there. At the client's first word off the script the server goes silent.

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

#include "platform/ByteStream.h"
#include "platform/POP3Socket.h"
#include "tests/support/TestSupport.h"

namespace testing_support {

class FakeByteStream : public platform::ByteStream {
 public:
  struct Step {
    char kind;
    QByteArray bytes;
  };

  static QList<Step> ParseScript(const QStringList& lines) {
    QList<Step> steps;
    for (const QString& line : lines) {
      const char kind = line.size() < 2 || line.at(1) != ':' ? 'E' : line.at(0).toLatin1();
      if (kind == 'E') continue;
      QByteArray text = line.mid(3).toUtf8();
      if (kind == 'S') text.replace("\\r\\n", "\r\n");
      if (kind == 'S' || kind == 'C') text += "\r\n";
      steps.append({kind, text});
    }
    return steps;
  }

  // The bytes the client must write for the whole script, "<STARTTLS>" where it starts TLS.
  static QByteArray ExpectedClientBytes(const QList<Step>& steps) {
    QByteArray out;
    for (const Step& s : steps)
      out += s.kind == 'C' ? s.bytes : QByteArray(s.kind == 'T' || s.kind == 'F' ? "<STARTTLS>" : "");
    return out;
  }

  static qsizetype ServerByteCount(const QList<Step>& steps) {
    qsizetype n = 0;
    for (const Step& s : steps) n += s.kind == 'S' ? s.bytes.size() : 0;
    return n;
  }

  FakeByteStream(QList<Step> steps, bool peerIsLoopback, qsizetype splitAt)
      : m_steps(std::move(steps)), m_loopback(peerIsLoopback), m_splitAt(splitAt) {}

  std::function<void()> onSilence;

  QByteArray Written() const { return m_written; }
  bool Aborted() const { return m_aborted; }

  void ConnectToHost(const QString&, quint16, bool implicitTls) override {
    const char first = m_steps.isEmpty() ? 0 : m_steps.first().kind;
    if (first == 'U') return Post([this] { emit Failed(Failure::Unreachable, "unreachable"); });
    if (first != 'Z') {
      m_encrypted = implicitTls;
      Post([this] { emit Connected(); });
    }
    Play();
  }

  void StartTls() override {
    m_written += "<STARTTLS>";
    const char kind = m_pos < m_steps.size() ? m_steps.at(m_pos).kind : 0;
    if (kind != 'T' && kind != 'F') return Mismatch();
    ++m_pos;
    if (kind == 'F') return Post([this] { emit Failed(Failure::TlsFailed, "handshake failed"); });
    // A real handshake throws away whatever plain bytes the client had not read.
    Post([this] {
      m_readable.clear();
      m_encrypted = true;
      emit Encrypted();
    });
    Play();
  }

  void Write(const QByteArray& bytes) override {
    if (m_aborted) return;
    m_written += bytes;
    Post([this, n = bytes.size()] { emit BytesWritten(n); });
    m_pending += bytes;
    while (!m_mismatch && m_pos < m_steps.size() && !m_pending.isEmpty()) {
      const Step& step = m_steps.at(m_pos);
      if (step.kind == 'D') {
        const qsizetype end = m_pending.indexOf("\r\n.\r\n");
        if (end < 0) return;
        m_pending.remove(0, end + 5);
      } else if (step.kind == 'C') {
        if (!step.bytes.startsWith(m_pending.left(step.bytes.size()))) return Mismatch();
        if (m_pending.size() < step.bytes.size()) return;
        m_pending.remove(0, step.bytes.size());
      } else {
        break;
      }
      ++m_pos;
      Play();
    }
    if (!m_pending.isEmpty()) Mismatch();  // the client said more than the script has
  }

  QByteArray ReadAll() override { return std::exchange(m_readable, {}); }
  void Abort() override {
    m_aborted = true;
    m_outbox.clear();
  }
  bool IsEncrypted() const override { return m_encrypted; }
  bool PeerIsLoopback() const override { return m_loopback; }
  QHostAddress LocalAddress() const override { return QHostAddress(QStringLiteral("127.0.0.1")); }

 private:
  void Play() {
    for (; !m_mismatch && m_pos < m_steps.size(); ++m_pos) {
      const Step& step = m_steps.at(m_pos);
      if (step.kind == 'X' || step.kind == 'Z') {
        ++m_pos;
        if (step.kind == 'Z') return Silence();
        return Post([this] { emit Failed(Failure::RemoteClosed, "closed"); });
      }
      if (step.kind != 'S') return;  // waiting for the client
      const qsizetype cut = m_splitAt > m_offset ? m_splitAt - m_offset : step.bytes.size();
      Deliver(step.bytes.left(cut));
      if (cut < step.bytes.size()) Deliver(step.bytes.mid(cut));
      m_offset += step.bytes.size();
    }
  }

  void Mismatch() {
    if (!std::exchange(m_mismatch, true)) Silence();
  }
  void Silence() {
    Post([this] { onSilence ? onSilence() : void(); });
  }
  void Deliver(const QByteArray& bytes) {
    Post([this, bytes] {
      m_readable += bytes;
      emit ReadyRead();
    });
  }

  // One event per turn of the event loop, in order.
  void Post(std::function<void()> event) {
    m_outbox.push_back(std::move(event));
    if (m_outbox.size() == 1) QTimer::singleShot(0, this, [this] { Pump(); });
  }
  void Pump() {
    if (m_aborted || m_outbox.empty()) return;
    auto event = std::move(m_outbox.front());
    m_outbox.pop_front();
    if (!m_outbox.empty()) QTimer::singleShot(0, this, [this] { Pump(); });
    event();
  }

  QList<Step> m_steps;
  bool m_loopback;
  qsizetype m_splitAt;
  qsizetype m_pos = 0;
  qsizetype m_offset = 0;
  QByteArray m_written, m_pending, m_readable;
  std::deque<std::function<void()>> m_outbox;
  bool m_encrypted = false, m_mismatch = false, m_aborted = false;
};

// A POP3 socket driven as the program drives it (count on log-in, drop the line on the
// count), recording its events; onEvent runs in each handler once the event is recorded.
struct Pop3Recorder {
  QPointer<platform::POP3Socket> socket = new platform::POP3Socket;
  QStringList events;
  bool encrypted = false;  // at the log-in
  std::function<void()> onEvent;

  Pop3Recorder() {
    using platform::POP3Socket;
    QObject::connect(socket, &POP3Socket::ConnectionEstablished, [this] { Record("established"); });
    QObject::connect(socket, &POP3Socket::LoginSuccessful, [this] {
      encrypted = socket->IsEncrypted();
      if (Record("login")) socket->CountMessages();
    });
    QObject::connect(socket, &POP3Socket::MessageCount, [this](int count) {
      if (Record(QStringLiteral("count %1").arg(count))) socket->Disconnect();
    });
    QObject::connect(socket, &POP3Socket::Disconnected, [this] { Record("disconnected"); });
    QObject::connect(socket, &POP3Socket::Error,
                     [this](int code) { Record(QStringLiteral("error %1").arg(code)); });
  }
  ~Pop3Recorder() { delete socket.data(); }

  // Whether the socket is still there after the hook.
  bool Record(const QString& event) {
    events << event;
    if (onEvent) onEvent();
    return socket;
  }
  void ConnectAndWait(int timeoutMs = 10000) {
    socket->Connect();
    const QStringList midway = {"established", "login"};
    WaitUntil([&] { return !socket || (!events.isEmpty() && !midway.contains(events.last())); }, timeoutMs);
  }
};

}  // namespace testing_support
