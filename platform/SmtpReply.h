#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace platform {

// One SMTP reply read from the front of a receive buffer (RFC 5321 section 4.2):
// one or more lines "ddd-text" ending with a line "ddd text" (or a bare "ddd"), all
// with the same three-digit code. A reply is taken only when all of its lines are in,
// so a reply split across TCP segments is never read as two.
struct SmtpReply {
  enum class Status {
    Incomplete,  // more bytes are needed; nothing is consumed
    Bad,         // not a reply, or over the limits; the connection cannot go on
    Complete,
  };

  Status status = Status::Incomplete;
  int code = 0;             // 200..599 when Complete
  QList<QByteArray> lines;  // the text after the code and separator, line by line
  qsizetype consumed = 0;   // bytes of the buffer the reply took, line ends included

  // The reply classes of RFC 5321 section 4.2.1.
  bool IsPositive() const { return code >= 200 && code < 400; }
  bool IsTransientFailure() const { return code >= 400 && code < 500; }
};

struct SmtpReplyLimits {
  // RFC 5321 section 4.5.3.1.5 allows 512 bytes per reply line; real servers send
  // longer EHLO and error lines, so allow more, but never let one line grow the buffer
  // without bound.
  qsizetype maxLineLength = 4096;  // without its line end
  int maxLines = 200;
};

// Reads the first reply in `buffer`. Lines end in CR LF; a bare LF is accepted too, as
// lenient clients do. Pure: no state, no allocation beyond the result.
SmtpReply ParseSmtpReply(QByteArrayView buffer, const SmtpReplyLimits& limits = {});

}  // namespace platform
