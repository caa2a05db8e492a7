// The opt-out check through the main window (offscreen) against a small HTTP service that
// the test runs on loopback and names in VELMORA_OPTOUT_SERVICE.
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

#include "loopback/LoopbackServers.h"
#include "platform/ui/Listbox.h"
#include "tools/OptOut.h"
#include "tools/ui/MessageWindow.h"
#include "ui/MainWindowFixture.h"

namespace {

// The status line, six lines in all with the headers and the blank line after them.
const QByteArray kHead =
    "HTTP/1.1 200 OK\r\nDate: x\r\nServer: y\r\nTransfer-Encoding: chunked\r\nContent-Type: "
    "text/plain\r\n\r\n";

// Answers one request with the given pieces, `gapMs` apart, then closes the connection
// (or leaves that to the client). From the second piece on the clock may read 11 minutes
// later.
class OptOutService : public QTcpServer {
 public:
  OptOutService(const QList<QByteArray>& pieces, bool close, int gapMs, bool late) {
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [=, this] {
      QPointer<QTcpSocket> socket = nextPendingConnection();
      connect(socket, &QTcpSocket::readyRead, this, [=, this] {
        request += socket->readAll();
        if (!request.contains("\n\n") || std::exchange(m_answering, true)) return;
        for (int i = 0; i <= pieces.size(); ++i) {
          QTimer::singleShot(gapMs * i, this, [=] {
            if (late && i == 1)
              platform::SetClockForTests([] { return QDateTime(QDate(2026, 5, 4), QTime(13, 25)); });
            if (socket && i < pieces.size()) socket->write(pieces[i]);
            if (socket && i == pieces.size() && close) socket->disconnectFromHost();
          });
        }
      });
    });
  }
  QByteArray request;

 private:
  bool m_answering = false;
};

QString Column(const platform::Listbox* list, int column) {
  return testing_support::Column(*list->Model(), column).join('|');
}

using OptOutCheck = MainWindowFixture;

// The request goes out byte for byte; the reply's "In" addresses, however the reply is cut
// into chunks and arrivals, are listed and marked in every row that holds them exactly once
// the last chunk, the close, a silence or the reply's deadline ends it, with the same texts
// and a row of the log at most every 100 ms for what arrived. A refused connection, a
// request the service finds too long, a reply without end and no answer end the check with
// a message instead.
TEST_F(OptOutCheck, Replies) {
  platform::SetByteStreamFactoryForTests({});  // real sockets, to this machine only
  const quint16 refusedPort = testing_support::FreePort();
  const QByteArray body = "ann@example.com~In\nbob@example.com~Out\nzed@example.com~In";
  const char* both = "ann@example.com|zed@example.com";
  const QList<QByteArray> cut = {kHead + "11\r\nann@example.com",
                                 "~I\r\n27\r\nn\nbob@example.com~Out\nzed@ex", "ample.com~In\r\n0\r\n\r\n"};
  QList<QByteArray> bytes;
  for (const char c : kHead + "38\r\n" + body + "\r\n0\r\n\r\n") bytes.append(QByteArray(1, c));
  const struct {
    const char* name{};
    QList<QByteArray> pieces;  // nothing: no service listens
    const char* listed{};
    bool fails = false;
    bool keepsOpen = false;  // the service leaves the close to the client, as it does when the check fails
    int idleMs = 30000;      // longer than the wait below
    int gapMs = 30;
    bool late = false;  // the deadline passes before the second piece
  } cases[] = {
      // clang-format off
      {"one chunk, the connection kept open", {kHead + "38\r\n" + body + "\r\n0\r\n\r\n"}, both, false, true},
      {"chunks and arrivals cut inside lines", cut, both},
      {"a chunk ending in a line end",
       {kHead + "13\r\nann@example.com~In\n\r\n24\r\n" + body.mid(19) + "\r\n0\r\n\r\n"}, "ann@example.com"},
      {"nobody opted out, closed before the last chunk", {kHead + "13\r\nbob@example.com~Out\r\n"}, ""},
      {"silent after a part", {kHead + "12\r\nann@example.com~In\r\n"}, "ann@example.com", false, true, 300},
      {"refused", {}, "", true},
      {"request too long", {"HTTP/1.1 414 Request-URI Too Large\r\nConnection: close\r\n\r\n<html>"}, "", true},
      {"request too long, after UTF-8 and cut", {"HTTP/1.1 414 \xC3\xA9 request-URI too", " large\r\n"}, "", true},
      {"reply too large", {kHead + "4000001\r\n" + QByteArray(tools::optout::kMaxReplyBytes, 'x')}, "", true},
      {"no answer", {""}, "", true, false, 300},
      {"a byte at a time", bytes, both, false, false, 30000, 1},
      {"past the deadline after the second arrival", cut, "ann@example.com", false, false, 30000, 30, true},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    qDeleteAll(Windows<MessageWindow>());
    CloseAll();
    m_recorded.messages.clear();
    m_window = MainWindow::Instance();
    for (const char* row : {"ann@example.com|News(1/2/26) ", "bob@example.com|",
                            "ann@example.com|Black Listed", "Ann@example.com|", "j\xC3\xB6rg&co@x.org|"})
      m_window->elist->AddRow(QString::fromUtf8(row).split('|'));
    for (int row : {4, 1, 0}) m_window->elist->SetSelected(row, true);
    m_window->Changed = false;
    m_window->optOutIdleMs = c.idleMs;

    const bool answers = !c.pieces.isEmpty();
    platform::SetClockForTests([] { return QDateTime(QDate(2026, 5, 4), QTime(13, 14, 15)); });
    OptOutService service(c.pieces, !c.fails && !c.keepsOpen, c.gapMs, c.late);
    QElapsedTimer checking;
    checking.start();
    const quint16 port = answers ? service.serverPort() : refusedPort;
    qputenv("VELMORA_OPTOUT_SERVICE", "127.0.0.1:" + QByteArray::number(port));
    m_window->_AddressesCheckOptOut_Action();
    ASSERT_TRUE(testing_support::WaitUntil(
        [this] { return !m_recorded.messages.isEmpty() || m_window->Slug->text().endsWith(" addresses"); },
        20000));

    if (answers) {
      EXPECT_EQ(
          service.request,
          "GET /cgi-bin/optout.cgi?operation=Check+eMail+Address&address=ann@example.com,bob@example.com,"
          "j%C3%B6rg%26co@x.org, HTTP/1.1\nHost: 127.0.0.1:" +
              QByteArray::number(port) +
              "\nConnection: keep-alive\nUser-Agent: Velmora\nAccept: */*\nAccept-Language: en, "
              "ja;q=0.50\n\n");
    }
    EXPECT_EQ(m_recorded.messages.size(), c.fails ? 1 : 0);
    const QList<MessageWindow*> windows = Windows<MessageWindow>();
    ASSERT_EQ(windows.size(), c.fails ? 0 : 1);
    if (!c.fails) {
      EXPECT_EQ(Column(windows[0]->MessageList, 0), c.listed);
      qsizetype received = 0;
      for (qsizetype i = 0; i < (c.late ? 2 : c.pieces.size()); ++i) received += c.pieces[i].size();
      QStringList ends;  // newest first
      for (const QString& text :
           {QString("5 addresses"), QString("Marking addresses as opted out."), QString("Error = 102"),
            "Sent: " + QString::number(m_window->checkaddresses.size()) +
                ", Received: " + QString::number(received)})
        ends << platform::Date().LongTime() + " " + text;
      const QStringList log = LogRows();
      EXPECT_EQ(log.mid(0, 4), ends);
      // Sent with 0, the first count, one each 100 ms and the last.
      EXPECT_LE(log.filter("Received: ").size(), 3 + checking.elapsed() / 100);
    }
    const bool annOut = QString(c.listed).startsWith("ann@");
    EXPECT_EQ(Column(m_window->elist, 1),
              annOut ? "Opted Out||Opted Out||" : "News(1/2/26) ||Black Listed||");
    EXPECT_EQ(Changed(), annOut);
  }
  qunsetenv("VELMORA_OPTOUT_SERVICE");
}

}  // namespace
