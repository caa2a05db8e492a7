#include <gtest/gtest.h>

#include "platform/Pop3Reply.h"

namespace {

using platform::ParsePop3Reply;
using platform::ParsePop3Stat;
using platform::Pop3Reply;
using Status = platform::Pop3Reply::Status;

struct ReplyRow {
  QByteArray bytes;
  Status status;
  QByteArray text;
  qsizetype consumed;
};

TEST(Pop3Reply, StatusLines) {
  const QByteArray longLine = "+OK " + QByteArray(506, 'x') + "\r\n";  // 512 bytes with CR LF
  const QByteArray tooLong = "+OK " + QByteArray(507, 'x') + "\r\n";
  const ReplyRow rows[] = {
      {"", Status::Incomplete, "", 0},
      {"+OK ready", Status::Incomplete, "", 0},
      {"+OK ready\r\n", Status::Ok, "ready", 11},
      {"+OK\r\n", Status::Ok, "", 5},
      {"+OK\r\n-ERR next", Status::Ok, "", 5},
      {"+OK bare lf\nmore", Status::Ok, "bare lf", 12},
      {"-ERR [AUTH] bad password\r\n", Status::Err, "[AUTH] bad password", 26},
      {"-ERR\r\n", Status::Err, "", 6},
      {"+OKAY\r\n", Status::Bad, "", 7},
      {"+ok lower\r\n", Status::Bad, "", 11},
      {"* OK imap\r\n", Status::Bad, "", 11},
      {"\r\n", Status::Bad, "", 2},
      {longLine, Status::Ok, QByteArray(506, 'x'), 512},
      {tooLong, Status::Bad, "", 0},
      {QByteArray(600, 'x'), Status::Bad, "", 0},
      {QByteArray(511, 'x'), Status::Incomplete, "", 0},
  };
  for (const ReplyRow& row : rows) {
    const Pop3Reply reply = ParsePop3Reply(row.bytes);
    EXPECT_EQ(reply.status, row.status) << row.bytes.left(40).constData();
    EXPECT_EQ(reply.text, row.text) << row.bytes.left(40).constData();
    EXPECT_EQ(reply.consumed, row.consumed) << row.bytes.left(40).constData();
  }
}

TEST(Pop3Reply, StatIsReadStrictly) {
  struct Row {
    QByteArray line;
    bool valid;
    int count;
    qint64 size;
  } rows[] = {
      {"+OK 2 320", true, 2, 320},
      {"+OK 007 10", true, 7, 10},
      {"+OK 2147483647 99999999999", true, 2147483647, 99999999999LL},
      {"+OK 2147483648 1", false, 0, 0},
      {"+OK 1 9223372036854775808", false, 0, 0},
      {"+OK 2 320 extra", false, 0, 0},
      {"+OK 2  320", false, 0, 0},
      {"+OK 2", false, 0, 0},
      {"+OK -2 320", false, 0, 0},
      {"+OK +2 320", false, 0, 0},
      {"+OK 2 320 ", false, 0, 0},
      {"-ERR 2 320", false, 0, 0},
      {"+OK 2\t320", false, 0, 0},
  };
  for (const auto& row : rows) {
    const auto stat = ParsePop3Stat(row.line);
    EXPECT_EQ(stat.has_value(), row.valid) << row.line.constData();
    if (stat && row.valid) {
      EXPECT_EQ(stat->count, row.count) << row.line.constData();
      EXPECT_EQ(stat->size, row.size) << row.line.constData();
    }
  }
}

}  // namespace
