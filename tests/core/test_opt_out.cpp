#include <gtest/gtest.h>

#include "platform/Text.h"
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

// The reply's edges, read whole and cut into two arrivals at every byte: the body's
// lines, the fields of its lines, and when the reply is complete (whole replies are read
// in the loopback test).
TEST(OptOut, ReplyReader) {
  const struct {
    const char* name;
    QByteArray reply;
    QString optedOut;
    bool complete = false;
  } rows[] = {
      {"LF, an extension", QByteArray(kHead).replace("\r\n", "\n") + "5\nab~In\n0;x\n\n", "ab", true},
      {"a data line ending in 0", kHead + "9\r\nab~In~0\r\n\r\n", "ab"},
      {"fewer than seven lines", "HTTP/1.1 200 OK\r\n\r\n", ""},
      {"a size larger than the rest", kHead + "ffff\r\nab~In\r\ncd~In", "ab|cd"},
      {"a negative size", kHead + "ffffffff\r\nab~In\r\n", ""},
      {"a line runs on into the next chunk", kHead + "3\r\nab~\r\n2\r\nIn\r\n0\r\n\r\n", "ab", true},
      {"characters, not bytes", kHead + "4\r\n\xC3\xA9~In\r\n3\r\nx~In\r\n0\r\n\r\n", "", true},
      {"fields", kHead + "2c\r\nann~In\nbob~Out\ncid~in\nIn\n~In\ndan~In~more\reve\r\n0\r\n\r\n", "ann||dan",
       true},
  };
  for (const auto& row : rows) {
    for (qsizetype cut = 0; cut <= row.reply.size(); ++cut) {
      ReplyReader reader;
      for (const QByteArray& arrival : {row.reply.first(cut), row.reply.sliced(cut)}) {
        reader.Add(arrival);
        while (reader.Step()) {
        }
      }
      reader.End();
      while (reader.Step()) {
      }
      QStringList found;
      for (int i = 0; i < reader.OptedOut().Count(); ++i)
        found << platform::DecodeBytes(reader.OptedOut().At(i));
      ASSERT_EQ(std::make_pair(found.join('|'), reader.Complete()),
                std::make_pair(row.optedOut, row.complete))
          << row.name << ", cut at " << cut;
    }
  }
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
