#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace platform {

// RFC 5321 section 4.5.3.1.6: a text line holds at most 998 bytes before its CR LF.
inline constexpr qsizetype kSmtpMaxLineLength = 998;

// Turns a message's source into the bytes that follow the DATA command: every bare CR,
// bare LF or CR LF becomes CR LF; every line that starts with "." gets one more "." in
// front (the first line too, RFC 5321 section 4.5.2); the text ends with CR LF "." CR LF.
// Empty when a line is longer than kSmtpMaxLineLength: such a message cannot be sent
// unchanged, and cutting its lines would corrupt it.
std::optional<QByteArray> EncodeSmtpData(QByteArrayView source);

}  // namespace platform
