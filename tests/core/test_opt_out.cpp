#include <gtest/gtest.h>

#include "tools/OptOut.h"

namespace {

using namespace tools::optout;

// Six lines before the first chunk's size: the status line, four headers, the blank line.
const QByteArray kHead =
    "HTTP/1.1 200 OK\r\nDate: x\r\nServer: y\r\nTransfer-Encoding: chunked\r\nContent-Type: "
    "text/plain\r\n\r\n";

TEST(OptOut, ConvertHex2Dec) {
  // clang-format off
  const std::pair<const char*, qint32> rows[] = {{"1A", 26}, {"", 0}, {"1g", 16}, {"a;x=1", 655361},
      {"80000000", -2147483647 - 1}, {"ffffffff", -1}, {"100000000", 0}, {"1234567890abcdef", static_cast<qint32>(0x90abcdef)}};
  // clang-format on
  for (const auto& [text, value] : rows) EXPECT_EQ(ConvertHex2Dec(QString::fromLatin1(text)), value) << text;
}

// The body's edges and when a reply is complete (whole replies are read in the loopback test).
TEST(OptOut, DecodeChunkedReply) {
  const struct {
    const char* name;
    QByteArray reply;
    QString body;
    bool complete = false;
  } rows[] = {
      {"LF, an extension", QByteArray(kHead).replace("\r\n", "\n") + "5\nab~In\n0;x\n\n", "ab~In", true},
      {"a data line ending in 0", kHead + "8\r\nab~In0\r\n\r\n", "ab~In0\n\n"},
      {"fewer than seven lines", "HTTP/1.1 200 OK\r\n\r\n", ""},
      {"a size larger than the rest", kHead + "ffff\r\nab~In\r\ncd", "ab~In\ncd\n"},
      {"a negative size", kHead + "ffffffff\r\nab~In\r\n", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DecodeChunkedReply(row.reply), row.body) << row.name;
    EXPECT_EQ(ReplyComplete(row.reply), row.complete) << row.name;
  }
}

TEST(OptOut, OptedOutAddresses) {
  EXPECT_EQ(OptedOutAddresses("ann@example.com~In\nbob@example.com~Out\r\ncid@example.com~in\nIn\n~In\n"
                              "dan@example.com~In~more\reve@example.com"),
            QStringList({"ann@example.com", "", "dan@example.com"}));
}

// The bytes that would break the request line are percent-encoded, a byte that was not
// UTF-8 too; an IPv6 host is bracketed (the whole request is checked in the loopback test).
TEST(OptOut, RequestBytes) {
  const QString addresses = "a b&c#d%e\r\nf\x01g\x7fh+i=j@x.org," + QString(QChar(0xDC80)) + ",";
  EXPECT_EQ(QString(RequestPieces({"::1", 8080}, addresses).join()).section('\n', 0, 1),
            "GET /cgi-bin/optout.cgi?operation=Check+eMail+Address&address="
            "a%20b%26c%23d%25e%0D%0Af%01g%7Fh+i=j@x.org,%80, HTTP/1.1\nHost: [::1]:8080");
}

// VELMORA_OPTOUT_SERVICE names the service as host or host:port; a value that names none
// gives none rather than the default.
TEST(OptOut, ServiceFromTheEnvironment) {
  const char* rows[][2] = {
      {"", "optout.example.com:80"}, {"127.0.0.1:8080", "127.0.0.1:8080"}, {"host:0", ""}, {"two words", ""}};
  for (const auto& row : rows) {
    qputenv("VELMORA_OPTOUT_SERVICE", row[0]);
    const std::optional<platform::ServerAddress> service = Service();
    EXPECT_EQ(service ? service->host + ":" + QString::number(service->port) : QString(), QString(row[1]));
  }
  qunsetenv("VELMORA_OPTOUT_SERVICE");
}

}  // namespace
