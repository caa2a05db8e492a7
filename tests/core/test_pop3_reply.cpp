#include <gtest/gtest.h>

#include <QString>

#include "platform/Pop3Reply.h"

namespace {

using Status = platform::Pop3Reply::Status;

// What the parser reads: "+OK text", "-ERR text", "bad" or "incomplete", then "/bytes consumed".
std::string Read(const QByteArray& bytes) {
  const platform::Pop3Reply r = platform::ParsePop3Reply(bytes);
  const char* status[] = {"incomplete", "bad", "+OK", "-ERR"};
  return QString("%1 %2/%3").arg(status[int(r.status)], r.text).arg(r.consumed).toStdString();
}

TEST(Pop3Reply, StatusLines) {
  const std::pair<QByteArray, std::string> rows[] = {
      {"+OK ready", "incomplete /0"},
      {"+OK ready\r\n", "+OK ready/11"},
      {"+OK\r\n-ERR next", "+OK /5"},
      {"+OK bare lf\nmore", "+OK bare lf/12"},
      {"-ERR [AUTH] bad password\r\n", "-ERR [AUTH] bad password/26"},
      {"+OKAY\r\n", "bad /7"},
      {"+ok lower\r\n", "bad /11"},
      // A line is at most 512 bytes with its CR LF.
      {"+OK " + QByteArray(506, 'x') + "\r\n", "+OK " + std::string(506, 'x') + "/512"},
      {"+OK " + QByteArray(507, 'x') + "\r\n", "bad /0"},
      {QByteArray(600, 'x'), "bad /0"},
      {QByteArray(511, 'x'), "incomplete /0"},
  };
  for (const auto& [bytes, want] : rows) EXPECT_EQ(Read(bytes), want) << bytes.left(40).constData();
}

TEST(Pop3Reply, StatIsReadStrictly) {
  const std::pair<QByteArray, const char*> rows[] = {
      {"+OK 2 320", "2 320"},
      {"+OK 2147483647 99999999999", "2147483647 99999999999"},
      {"+OK 2147483648 1", ""},
      {"+OK 1 9223372036854775808", ""},
      {"+OK 2 320 extra", ""},
      {"+OK 2  320", ""},
      {"+OK 2", ""},
      {"+OK -2 320", ""},
      {"-ERR 2 320", ""},
  };
  for (const auto& [line, want] : rows) {
    const auto stat = platform::ParsePop3Stat(line);
    EXPECT_EQ(stat ? QString("%1 %2").arg(stat->count).arg(stat->size).toStdString() : "", want)
        << line.data();
  }
}

}  // namespace
