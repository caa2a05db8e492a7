#pragma once

// The opt-out check's wire format: the hand-written HTTP/1.1 request and the reading of
// the service's chunked reply, over texts and bytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ByteStrings.h"
#include "platform/ServerAddress.h"

namespace tools::optout {

inline constexpr quint16 kDefaultPort = 80;
// The service's host unless VELMORA_OPTOUT_SERVICE names another.
inline constexpr const char* kDefaultHost = "optout.example.com";
// A reply larger than this ends the check: a sane service answers a few addresses with a
// few kilobytes, and the whole reply is held in memory.
inline constexpr qsizetype kMaxReplyBytes = 64 * 1024 * 1024;

// The service to connect to: VELMORA_OPTOUT_SERVICE ("host" or "host:port") when it is
// set, else kDefaultHost on port 80. Nothing when the variable is set but names no host.
std::optional<platform::ServerAddress> Service();

// The request's six pieces, in the order they are written, each ending in LF (the last in
// two). The addresses go into the query as they stand, but for the bytes that would break
// the request line or the query (control bytes, blanks, non-ASCII bytes, "&", "#", "%"),
// which are percent-encoded.
QList<QByteArray> RequestPieces(const platform::ServerAddress& service, const QString& checkaddresses);

// The value of a hexadecimal text, read from the right: every character takes a place,
// those that are no hexadecimal digit counting as 0, and the arithmetic wraps at 32 bits.
qint32 ConvertHex2Dec(QStringView text);

bool IsAscii(QByteArrayView bytes);
// The length of DecodeBytes(bytes), as the status line and the decoding count the reply.
qsizetype Characters(QByteArrayView bytes);

// Whether the reply so far ends with the last chunk: a line of zeros (an extension after
// ";" aside) that starts after a line end, and the blank line after it (LF or CR LF). The
// service may keep the connection open after it.
bool ReplyComplete(QByteArrayView reply);

// Addresses as the reply's bytes hold them (DecodeBytes gives the text), in its order.
using AddressBytes = platform::ByteStrings;

// The service's chunked reply read as it arrives, line by line as a text file reads (LF,
// CR LF or CR end a line): lines 1 to 6 are the status line, the headers and the blank
// line after them; line 7 is the first chunk's size, and the body's lines follow until
// the body is as long as the sizes so far add up to (each line but the one that reaches
// that length gets an LF back, so a line that reaches it runs on into the next chunk's
// first); the next line is the next size. Decoding ends when a size adds nothing and the
// body is complete, or the reply ends. Each line of the body whose second "~"-separated
// field is exactly "In" reports its first field as opted out.
//
// Bytes are kept only until their line is read, then only the addresses found; each step
// is one line, so a caller can let the event loop run between steps.
class ReplyReader {
 public:
  // More of the reply, in the order it came.
  void Add(QByteArrayView bytes);
  // The reply is over: a last line without its end is read too.
  void End();
  // Reads the next whole line; false when there is none yet or the decoding has ended.
  bool Step();
  // As ReplyComplete of the whole reply so far.
  bool Complete() const { return ReplyComplete(m_tail); }
  // The addresses opted out so far, in the reply's order.
  const AddressBytes& OptedOut() const { return m_optedOut; }
  AddressBytes TakeOptedOut() { return std::exchange(m_optedOut, {}); }

 private:
  void Read(QByteArrayView line);
  void EndBodyLine();
  void KeepTail(QByteArrayView bytes);

  // The bytes not read yet start at m_next; none before m_scanned ends a line.
  QByteArray m_pending;
  qsizetype m_next = 0;
  qsizetype m_scanned = 0;
  bool m_ended = false;
  enum class Part { Head, Size, Data, Done } m_part = Part::Head;
  int m_headLines = 0;
  quint32 m_total = 0;     // the sizes so far; wraps as the 32-bit sum does
  qint32 m_wanted = 0;     // the body length they give
  qsizetype m_length = 0;  // the body's length so far in characters
  // The body's line that no LF has ended yet, in the reply's bytes.
  QByteArray m_bodyLine;
  // The reply from its third-last LF on: all that ReplyComplete looks at.
  QByteArray m_tail;
  AddressBytes m_optedOut;
};

// Where the service's refusal of an over-long request shows in the reply.
inline constexpr const char* kUriTooLarge = "Request-URI Too Large";

}  // namespace tools::optout
