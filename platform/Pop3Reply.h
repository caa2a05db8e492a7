#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace platform {

// The longest POP3 line we accept, CR LF included. RFC 1939 (section 3) caps a response
// at 512 octets; anything longer is a broken or hostile server, not a reply to wait for.
inline constexpr qsizetype kPop3MaxLine = 512;

// One line of server output, read from the front of a byte buffer.
struct Pop3Line {
  enum class Status {
    Incomplete,  // no line end yet and still under the cap: wait for more bytes
    Bad,         // no line end within the cap
    Line,
  };
  Status status = Status::Incomplete;
  QByteArray text;         // the line without its line end
  qsizetype consumed = 0;  // bytes the line took from the buffer, line end included
};

// Reads one line ending in CR LF (a bare LF is taken too: some servers send it).
Pop3Line ReadPop3Line(QByteArrayView bytes, qsizetype maxLine = kPop3MaxLine);

// One POP3 status line: "+OK" or "-ERR", optionally followed by a blank and text
// (RFC 1939, section 3).
struct Pop3Reply {
  enum class Status { Incomplete, Bad, Ok, Err };
  Status status = Status::Incomplete;
  QByteArray text;  // what follows the status indicator and its blank
  qsizetype consumed = 0;
};

Pop3Reply ParsePop3Reply(QByteArrayView bytes, qsizetype maxLine = kPop3MaxLine);

// The answer to STAT, read strictly as RFC 1939 (section 5) gives it: "+OK", one blank,
// the message count, one blank, the size in octets, and nothing else.
struct Pop3Stat {
  int count = 0;
  qint64 size = 0;
};

std::optional<Pop3Stat> ParsePop3Stat(QByteArrayView line);

}  // namespace platform
