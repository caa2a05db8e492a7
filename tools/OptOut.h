#pragma once

// The opt-out check's wire format: the hand-written HTTP/1.1 request and the reading of
// the service's chunked reply. Pure functions over texts and bytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

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

// The body of the service's chunked reply, read line by line as a text file reads (LF,
// CR LF or CR end a line): lines 1 to 6 are the status line, the headers and the blank
// line after them; line 7 is the first chunk's size, and the body's lines follow until
// the body is as long as the sizes so far add up to (each line but the one that reaches
// that length gets an LF back); the next line is the next size. Decoding ends when a size
// adds nothing and the body is complete, or the reply ends.
QString DecodeChunkedReply(QByteArrayView reply);

// Whether the reply so far ends with the last chunk: a line of zeros (an extension after
// ";" aside) that starts after a line end, and the blank line after it (LF or CR LF). The
// service may keep the connection open after it.
bool ReplyComplete(QByteArrayView reply);

// The addresses that a decoded body reports as opted out: the first "~"-separated field of
// each line whose second field is exactly "In", in order.
QStringList OptedOutAddresses(const QString& body);

// Where the service's refusal of an over-long request shows in the reply.
inline constexpr const char* kUriTooLarge = "Request-URI Too Large";

}  // namespace tools::optout
