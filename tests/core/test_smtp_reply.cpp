// The SMTP reply parser, the DATA encoder and the server-address reader: pure functions
// over bytes, checked by tables. The encoder's line ends and dot-stuffing are left to a
// literal line-by-line transcription run on random inputs; its table keeps the limits.

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "platform/ServerAddress.h"
#include "platform/SmtpData.h"
#include "platform/SmtpReply.h"

namespace {

using platform::ParseSmtpReply;
using platform::SmtpReply;
using Status = SmtpReply::Status;

struct ReplyCase {
  const char* name;
  QByteArray input;
  Status status;
  int code;
  QList<QByteArray> lines;
  qsizetype consumed;
};

TEST(SmtpReply, Table) {
  const std::vector<ReplyCase> table = {
      {"bare code", "250\r\n", Status::Complete, 250, {""}, 5},
      {"bare LF accepted", "250 ok\n", Status::Complete, 250, {"ok"}, 7},
      {"multi-line", "250-a\r\n250-b c\r\n250 d\r\n", Status::Complete, 250, {"a", "b c", "d"}, 23},
      {"only the first reply is taken", "250 a\r\n354 b\r\n", Status::Complete, 250, {"a"}, 7},
      {"text keeps inner CR", "250 a\rb\r\n", Status::Complete, 250, {"a\rb"}, 9},
      {"empty buffer", "", Status::Incomplete, 0, {}, 0},
      {"no line end yet", "250 ok", Status::Incomplete, 0, {}, 0},
      {"continuation without the last line", "250-a\r\n250-b\r\n", Status::Incomplete, 0, {}, 0},
      {"continuation and a partial last line", "250-a\r\n250 b", Status::Incomplete, 0, {}, 0},
      {"not digits", "abc ok\r\n", Status::Bad, 0, {}, 0},
      {"two digits", "25 ok\r\n", Status::Bad, 0, {}, 0},
      {"code class 1", "150 ok\r\n", Status::Bad, 0, {}, 0},
      {"code class 6", "650 ok\r\n", Status::Bad, 0, {}, 0},
      {"bad separator", "250:ok\r\n", Status::Bad, 0, {}, 0},
      {"codes differ", "250-a\r\n251 b\r\n", Status::Bad, 0, {}, 0},
      {"empty line", "\r\n", Status::Bad, 0, {}, 0},
      {"bad line inside an incomplete reply", "250-a\r\nxyz\r\n250-", Status::Bad, 0, {}, 0},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.name);
    const SmtpReply r = ParseSmtpReply(c.input);
    EXPECT_EQ(static_cast<int>(r.status), static_cast<int>(c.status));
    if (c.status != Status::Complete) continue;
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.lines, c.lines);
    EXPECT_EQ(r.consumed, c.consumed);
  }
}

TEST(SmtpReply, Limits) {
  const platform::SmtpReplyLimits limits{10, 3};
  struct Case {
    const char* name;
    QByteArray input;
    Status status;
  };
  const std::vector<Case> table = {
      {"line at the limit", "250 123456\r\n", Status::Complete},
      {"line over the limit", "250 1234567\r\n", Status::Bad},
      {"endless line without an end is bad before it ends", "250 " + QByteArray(20, 'x'), Status::Bad},
      {"partial line within the limit waits", "250 123456\r", Status::Incomplete},
      {"lines at the limit", "250-a\r\n250-b\r\n250 c\r\n", Status::Complete},
      {"one line too many", "250-a\r\n250-b\r\n250-c\r\n250 d\r\n", Status::Bad},
      {"too many lines already, end not in", "250-a\r\n250-b\r\n250-c\r\n", Status::Bad},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(static_cast<int>(ParseSmtpReply(c.input, limits).status), static_cast<int>(c.status));
  }
}

// ---------------------------------------------------------------------------------------

TEST(SmtpData, Table) {
  struct Case {
    const char* name;
    QByteArray source;
    std::optional<QByteArray> wire;
  };
  const std::vector<Case> table = {
      {"empty", "", QByteArray(".\r\n")},
      {"LF CR is two line ends", "a\n\rb", QByteArray("a\r\n\r\nb\r\n.\r\n")},
      {"dot on the first line", ".a", QByteArray("..a\r\n.\r\n")},
      {"lone dot line", "a\r\n.\r\nb", QByteArray("a\r\n..\r\nb\r\n.\r\n")},
      {"998 bytes", QByteArray(998, 'x'), QByteArray(998, 'x') + "\r\n.\r\n"},
      {"999 bytes", QByteArray(999, 'x'), std::nullopt},
      {"998 bytes after a stuffed dot", "." + QByteArray(997, 'x'),
       ".." + QByteArray(997, 'x') + "\r\n.\r\n"},
      {"long line after short ones", "a\r\n" + QByteArray(999, 'x') + "\r\nb", std::nullopt},
      {"NUL passes through", QByteArray("a\0b", 3), QByteArray("a\0b\r\n.\r\n", 8)},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.name);
    const auto got = platform::EncodeSmtpData(c.source);
    ASSERT_EQ(got.has_value(), c.wire.has_value());
    if (got) EXPECT_EQ(got->toStdString(), c.wire->toStdString());
  }
}

// The rule written out literally: split into lines at CR LF, CR or LF; a line that starts
// with "." gets another; each line ends in CR LF; then "." CR LF.
std::optional<QByteArray> EncodeSlowly(const QByteArray& source) {
  QList<QByteArray> lines;
  QByteArray line;
  bool open = false;
  for (qsizetype i = 0; i < source.size(); ++i) {
    if (source[i] == '\r' && i + 1 < source.size() && source[i + 1] == '\n') {
      lines.append(line), line.clear(), open = false, ++i;
    } else if (source[i] == '\r' || source[i] == '\n') {
      lines.append(line), line.clear(), open = false;
    } else {
      line += source[i], open = true;
    }
  }
  if (open) lines.append(line);
  QByteArray out;
  for (const QByteArray& l : lines) {
    if (l.size() > 998) return std::nullopt;
    out += (l.startsWith('.') ? "." + l : l) + "\r\n";
  }
  return out + ".\r\n";
}

TEST(SmtpData, MatchesLiteralRuleOnRandomInput) {
  QRandomGenerator rng(20261206);
  const char alphabet[] = {'.', '\r', '\n', 'a', ' ', '.', '\r', '\n'};
  for (int round = 0; round < 5000; ++round) {
    QByteArray source;
    const int length = rng.bounded(40);
    for (int i = 0; i < length; ++i) source += alphabet[rng.bounded(8)];
    if (round % 50 == 0) source += QByteArray(990 + rng.bounded(15), 'x');
    SCOPED_TRACE(source.toStdString());
    const auto fast = platform::EncodeSmtpData(source);
    const auto slow = EncodeSlowly(source);
    ASSERT_EQ(fast.has_value(), slow.has_value());
    if (fast) ASSERT_EQ(fast->toStdString(), slow->toStdString());
  }
}

// ---------------------------------------------------------------------------------------

TEST(ServerAddress, Table) {
  struct Case {
    const char* text;
    bool valid;
    const char* host;
    quint16 port;
  };
  const std::vector<Case> table = {
      {"mail.example.com", true, "mail.example.com", 25},
      {"  mail.example.com  ", true, "mail.example.com", 25},
      {"mail.example.com:587", true, "mail.example.com", 587},
      {"[::1]:2525", true, "::1", 2525},
      {"[::1]", true, "::1", 25},
      {"::1", true, "::1", 25},
      {"", false, "", 0},
      {"   ", false, "", 0},
      {":25", false, "", 0},
      {"host:", false, "", 0},
      {"host:0", false, "", 0},
      {"host:65536", false, "", 0},
      {"host:65535", true, "host", 65535},
      {"host:25x", false, "", 0},
      {"host:+25", false, "", 0},
      {"ho st", false, "", 0},
      {"host\r\n:25", false, "", 0},
      {"[::1", false, "", 0},
      {"[::1]x", false, "", 0},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.text);
    const auto got = platform::ParseServerAddress(QString::fromUtf8(c.text), 25);
    ASSERT_EQ(got.has_value(), c.valid);
    if (!got) continue;
    EXPECT_EQ(got->host, QString::fromUtf8(c.host));
    EXPECT_EQ(got->port, c.port);
  }
}

}  // namespace
