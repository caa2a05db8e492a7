// The opt-out check through the main window (offscreen) against a small HTTP service that
// the test runs on loopback and names in VELMORA_OPTOUT_SERVICE.
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <numeric>

#include "platform/ui/Listbox.h"
#include "tools/OptOut.h"
#include "tools/ui/MessageWindow.h"
#include "ui/MainWindowFixture.h"

// Texts in failure messages.
void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace {

const QByteArray kHead =
    "HTTP/1.1 200 OK\r\nDate: x\r\nServer: y\r\nTransfer-Encoding: chunked\r\nContent-Type: "
    "text/plain\r\n\r\n";
const QString kNoConnection =
    "Please make sure that your connection to the internet is active before checking the Velmora opt-out "
    "list.";
const QString kTooManyAddresses =
    "Error - you sent too many addresses to the server to check against the opt-out list.  Please limit your "
    "list "
    "of selected addresses to around 7000 bytes.";

// Answers one request with the given pieces, one arrival each, then closes the connection
// (or leaves that to the client).
class OptOutService : public QObject {
 public:
  OptOutService(QList<QByteArray> pieces, bool close) : m_pieces(std::move(pieces)), m_close(close) {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
      QTcpSocket* socket = m_server.nextPendingConnection();
      connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        m_request += socket->readAll();
        if (m_request.contains("\n\n") && !m_answering) {
          m_answering = true;
          SendNext(socket, 0);
        }
      });
    });
  }
  quint16 Port() const { return m_server.serverPort(); }
  QByteArray Request() const { return m_request; }

 private:
  void SendNext(QPointer<QTcpSocket> socket, int piece) {
    if (!socket) return;
    if (piece == m_pieces.size()) {
      if (m_close) socket->disconnectFromHost();
      return;
    }
    socket->write(m_pieces[piece]);
    socket->flush();
    QTimer::singleShot(30, this, [this, socket, piece] { SendNext(socket, piece + 1); });
  }

  QTcpServer m_server;
  QList<QByteArray> m_pieces;
  bool m_close;
  QByteArray m_request;
  bool m_answering = false;
};

class OptOutCheck : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    platform::SetByteStreamFactoryForTests({});  // real sockets, to this machine only
  }
  void TearDown() override {
    CloseResultWindows();
    qunsetenv("VELMORA_OPTOUT_SERVICE");
    MainWindowFixture::TearDown();
  }

  // A new main window whose list holds five rows, three of them selected.
  void StartFresh() {
    CloseResultWindows();
    CloseAll();
    m_recorded.messages.clear();
    m_window = MainWindow::Instance();
    const QStringList rows[] = {{"ann@example.com", "News(1/2/26) "},
                                {"bob@example.com", ""},
                                {"ann@example.com", "Black Listed"},
                                {"Ann@example.com", ""},
                                {QString::fromUtf8("j\xC3\xB6rg&co@x.org"), ""}};
    for (const QStringList& row : rows) m_window->elist->AddRow(row);
    for (int row : {4, 1, 0}) m_window->elist->SetSelected(row, true);
    m_window->Changed = false;
  }
  static void CloseResultWindows() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<MessageWindow*>(w)) delete w;
    }
  }

  // Runs the check against the port until it ends with a message or the final count.
  void Check(quint16 port) {
    qputenv("VELMORA_OPTOUT_SERVICE", "127.0.0.1:" + QByteArray::number(port));
    m_window->_AddressesCheckOptOut_Action();
    ASSERT_TRUE(testing_support::WaitUntil(
        [this] { return !m_recorded.messages.isEmpty() || m_window->Slug->text().endsWith(" addresses"); },
        20000));
  }
  static QList<MessageWindow*> ResultWindows() {
    QList<MessageWindow*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* m = qobject_cast<MessageWindow*>(w); m && m->windowTitle() == "Opt-Out Addresses")
        found.append(m);
    }
    return found;
  }
};

// The request goes out byte for byte; the reply's "In" addresses, however the reply is cut
// into chunks and arrivals, are listed and marked in every row that holds them exactly.
TEST_F(OptOutCheck, RepliesAreDecodedAndMarked) {
  const QByteArray body = "ann@example.com~In\nbob@example.com~Out\nzed@example.com~In";
  const struct {
    const char* name;
    QList<QByteArray> pieces;
    QStringList listed;
  } cases[] = {
      {"one chunk", {kHead + "38\r\n" + body + "\r\n0\r\n\r\n"}, {"ann@example.com", "zed@example.com"}},
      {"chunks and arrivals cut inside lines",
       {kHead + "11\r\nann@example.com", "~I\r\n27\r\nn\nbob@example.com~Out\nzed@ex",
        "ample.com~In\r\n0\r\n\r\n"},
       {"ann@example.com", "zed@example.com"}},
      {"a chunk ending in a line end",
       {kHead + "13\r\nann@example.com~In\n\r\n24\r\n" + body.mid(19) + "\r\n0\r\n\r\n"},
       {"ann@example.com"}},
      {"nobody opted out", {kHead + "13\r\nbob@example.com~Out\r\n0\r\n\r\n"}, {}},
  };
  for (const auto& c : cases) {
    StartFresh();
    OptOutService service(c.pieces, true);
    Check(service.Port());
    EXPECT_EQ(
        service.Request(),
        "GET /cgi-bin/optout.cgi?operation=Check+eMail+Address&address=ann@example.com,bob@example.com,"
        "j%C3%B6rg%26co@x.org, HTTP/1.1\nHost: 127.0.0.1:" +
            QByteArray::number(service.Port()) +
            "\nConnection: keep-alive\nUser-Agent: Velmora\nAccept: */*\nAccept-Language: en, ja;q=0.50\n\n")
        << c.name;
    EXPECT_EQ(m_recorded.messages, QStringList()) << c.name;
    ASSERT_EQ(ResultWindows().size(), 1) << c.name;
    QStringList listed;
    for (int r = 0; r < ResultWindows().first()->MessageList->ListCount(); ++r)
      listed.append(ResultWindows().first()->MessageList->Cell(r, 0));
    EXPECT_EQ(listed, c.listed) << c.name;
    const bool annOut = c.listed.contains("ann@example.com");
    QStringList marks;
    for (int r = 0; r < m_window->elist->ListCount(); ++r) marks.append(m_window->elist->Cell(r, 1));
    EXPECT_EQ(marks, QStringList({annOut ? "Opted Out" : "News(1/2/26) ", "",
                                  annOut ? "Opted Out" : "Black Listed", "", ""}))
        << c.name;
    EXPECT_EQ(m_window->Changed, annOut) << c.name;

    // The status line, oldest first: connecting, the request's size, one count per arrival,
    // the close, the marking and the list's size.
    QStringList log = LogRows();
    std::reverse(log.begin(), log.end());
    log = log.mid(log.indexOf(Logged("Connecting to Opt-Out Database...")));
    const qsizetype replySize = std::accumulate(c.pieces.begin(), c.pieces.end(), QByteArray()).size();
    EXPECT_EQ(log.mid(0, 3), QStringList({Logged("Connecting to Opt-Out Database..."),
                                          Logged("Connected to Opt-Out Database - resolving addresses..."),
                                          Logged("Sent: 46, Received: 0")}))
        << c.name;
    EXPECT_EQ(log.mid(log.size() - 4),
              QStringList({Logged("Sent: 46, Received: " + QString::number(replySize)), Logged("Error = 102"),
                           Logged("Marking addresses as opted out."), Logged("5 addresses")}))
        << c.name;
  }
}

// A refused connection, a request the service finds too long, and a reply without end each
// end the check with their message: nothing is marked and no window opens.
TEST_F(OptOutCheck, ChecksThatEndWithAMessage) {
  QTcpServer closed;
  closed.listen(QHostAddress::LocalHost, 0);
  const quint16 refusedPort = closed.serverPort();
  closed.close();
  const struct {
    const char* name;
    QList<QByteArray> pieces;  // empty: nothing listens
    QString message;
  } cases[] = {
      {"refused", {}, kNoConnection},
      {"request too long",
       {"HTTP/1.1 414 Request-URI Too Large\r\nConnection: close\r\n\r\n<html>"},
       kTooManyAddresses},
      {"reply too large",
       {kHead + "4000001\r\n" + QByteArray(tools::optout::kMaxReplyBytes, 'x')},
       "The opt-out service sent a reply larger than 64 MB, so the check was stopped and no address was "
       "marked."},
  };
  for (const auto& c : cases) {
    StartFresh();
    OptOutService service(c.pieces, false);
    Check(c.pieces.isEmpty() ? refusedPort : service.Port());
    EXPECT_EQ(m_recorded.messages, QStringList{c.message}) << c.name;
    EXPECT_EQ(ResultWindows().size(), 0) << c.name;
    EXPECT_EQ(m_window->elist->Cell(0, 1), QString("News(1/2/26) ")) << c.name;
    EXPECT_EQ(m_window->Changed, false) << c.name;
    EXPECT_EQ(m_window->Slug->text(), c.pieces.isEmpty() ? QString("Error = 103") : QString("5 addresses"))
        << c.name;
  }
}

}  // namespace
