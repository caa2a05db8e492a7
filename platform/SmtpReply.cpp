#include "platform/SmtpReply.h"

namespace platform {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

SmtpReply Bad() {
  SmtpReply r;
  r.status = SmtpReply::Status::Bad;
  return r;
}

}  // namespace

SmtpReply ParseSmtpReply(QByteArrayView buffer, const SmtpReplyLimits& limits) {
  SmtpReply reply;
  qsizetype pos = 0;
  while (true) {
    const qsizetype rest = buffer.size() - pos;
    const qsizetype lf = buffer.sliced(pos).indexOf('\n');
    if (lf < 0) {
      // A line longer than the limit can never become a good reply: say so now, so the
      // caller need not buffer a server's endless line.
      if (rest > limits.maxLineLength + 1) return Bad();
      // So can a reply that has used up its lines and is not over.
      if (reply.lines.size() >= limits.maxLines) return Bad();
      return SmtpReply{};
    }
    QByteArrayView line = buffer.sliced(pos, lf);
    if (line.endsWith('\r')) line.chop(1);
    if (line.size() > limits.maxLineLength) return Bad();
    if (reply.lines.size() >= limits.maxLines) return Bad();

    // "ddd", "ddd text" or "ddd-text"; RFC 5321 section 4.2: code 2yz..5yz.
    if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2])) return Bad();
    if (line[0] < '2' || line[0] > '5') return Bad();
    const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    if (reply.code != 0 && code != reply.code) return Bad();
    reply.code = code;

    bool last = true;
    QByteArrayView text;
    if (line.size() > 3) {
      if (line[3] == '-') {
        last = false;
      } else if (line[3] != ' ') {
        return Bad();
      }
      text = line.sliced(4);
    }
    reply.lines.append(text.toByteArray());
    pos += lf + 1;
    if (last) {
      reply.status = SmtpReply::Status::Complete;
      reply.consumed = pos;
      return reply;
    }
  }
}

}  // namespace platform
