// The SMTP reply parser, the DATA encoder and the server-address reader: pure functions
// over bytes, checked by tables. The encoder's line ends and dot-stuffing are left to a
// literal line-by-line transcription run on random inputs; its table keeps the limits.

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "platform/ServerAddress.h"
#include "platform/SmtpData.h"
#include "platform/SmtpReply.h"

namespace {

using platform::SmtpReply;

// What the parser reads: "code text|text... /bytes consumed", "incomplete" or "bad".
std::string Read(QByteArrayView input, const platform::SmtpReplyLimits& limits) {
  const SmtpReply r = platform::ParseSmtpReply(input, limits);
  if (r.status != SmtpReply::Status::Complete)
    return r.status == SmtpReply::Status::Bad ? "bad" : "incomplete";
  return QString("%1 %2 /%3")
      .arg(r.code)
      .arg(QByteArrayList(r.lines).join('|'))
      .arg(r.consumed)
      .toStdString();
}

TEST(SmtpReply, Table) {
  const platform::SmtpReplyLimits small{10, 3};  // line length, lines
  const struct {
    const char* name;
    QByteArray input;
    const char* want;
    platform::SmtpReplyLimits limits = {};
  } table[] = {
      {"bare code", "250\r\n", "250  /5"},
      {"bare LF accepted", "250 ok\n", "250 ok /7"},
      {"multi-line", "250-a\r\n250-b c\r\n250 d\r\n", "250 a|b c|d /23"},
      {"only the first reply is taken", "250 a\r\n354 b\r\n", "250 a /7"},
      {"text keeps inner CR", "250 a\rb\r\n", "250 a\rb /9"},
      {"no line end yet", "250 ok", "incomplete"},
      {"continuation without the last line", "250-a\r\n250-b\r\n", "incomplete"},
      {"not digits", "abc ok\r\n", "bad"},
      {"code class 1", "150 ok\r\n", "bad"},
      {"code class 6", "650 ok\r\n", "bad"},
      {"bad separator", "250:ok\r\n", "bad"},
      {"codes differ", "250-a\r\n251 b\r\n", "bad"},
      {"empty line", "\r\n", "bad"},
      {"bad line inside an incomplete reply", "250-a\r\nxyz\r\n250-", "bad"},
      {"line at the limit", "250 123456\r\n", "250 123456 /12", small},
      {"line over the limit", "250 1234567\r\n", "bad", small},
      {"endless line without an end is bad before it ends", "250 " + QByteArray(20, 'x'), "bad", small},
      {"partial line within the limit waits", "250 123456\r", "incomplete", small},
      {"lines at the limit", "250-a\r\n250-b\r\n250 c\r\n", "250 a|b|c /21", small},
      {"one line too many", "250-a\r\n250-b\r\n250-c\r\n250 d\r\n", "bad", small},
      {"too many lines already, end not in", "250-a\r\n250-b\r\n250-c\r\n", "bad", small},
  };
  for (const auto& c : table) EXPECT_EQ(Read(c.input, c.limits), c.want) << c.name;
}

// ---------------------------------------------------------------------------------------

TEST(SmtpData, Table) {
  struct Case {
    const char* name;
    QByteArray source;
    std::optional<QByteArray> wire;
  };
  const std::vector<Case> table = {
      {"998 bytes", QByteArray(998, 'x'), QByteArray(998, 'x') + "\r\n.\r\n"},
      {"999 bytes", QByteArray(999, 'x'), std::nullopt},
      {"998 bytes after a stuffed dot", "." + QByteArray(997, 'x'),
       ".." + QByteArray(997, 'x') + "\r\n.\r\n"},
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

// What is read from each text ("host port"), or "" when it is refused.
TEST(ServerAddress, Table) {
  const std::pair<const char*, const char*> table[] = {
      {"mail.example.com", "mail.example.com 25"},
      {"  mail.example.com  ", "mail.example.com 25"},
      {"mail.example.com:587", "mail.example.com 587"},
      {"[::1]:2525", "::1 2525"},
      {"[::1]", "::1 25"},
      {"::1", "::1 25"},
      {"", ""},
      {":25", ""},
      {"host:", ""},
      {"host:0", ""},
      {"host:65536", ""},
      {"host:65535", "host 65535"},
      {"host:25x", ""},
      {"ho st", ""},
      {"[::1", ""},
      {"[::1]x", ""},
  };
  for (const auto& [text, want] : table) {
    const auto got = platform::ParseServerAddress(text, 25);
    EXPECT_EQ(got ? (got->host + " " + QString::number(got->port)).toStdString() : "", want) << text;
  }
}

}  // namespace
