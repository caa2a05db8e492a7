#pragma once

namespace platform::smtp {

// Codes that SMTPSocket::LastErrorCode holds after its Error event. Each connection
// ends with exactly one Error; 102 is also the ordinary end after the sign-off.
enum ErrorCode : int {
  kTimeout = 101,             // the server sent or took nothing for a whole step's timeout
  kServerClosed = 102,        // the server closed the connection (as after QUIT)
  kCannotConnect = 103,       // host not found, connection refused, unreachable, or connect timeout
  kSessionRefused = 104,      // greeting other than 220, or EHLO and HELO both refused
  kProtocolError = 105,       // a reply that is not SMTP, is over the size limits, or makes no sense here
  kAuthRefused = 106,         // the server refused the user name and password
  kTlsFailed = 107,           // STARTTLS refused, handshake failed, certificate not trusted for the
                              // host, or bytes sent in plain text after the server's go-ahead
  kServiceClosing = 108,      // a 421 reply at any step: the server is shutting the connection
  kEncryptionRequired = 109,  // a password would go over an unencrypted connection to a host that
                              // is not loopback (the server offered no STARTTLS)
  kAuthUnavailable = 110,     // a user name is set but the server offers neither AUTH PLAIN nor LOGIN
  kBadAddress = 111,          // `Address` is empty or its port is not 1 to 65535
  kSocketError = 112,         // any other failure of the connection
};

// Codes of a message refused before anything of it was sent (ServerError); a message the
// server refuses carries the server's own reply code (4xx or 5xx) instead.
enum RefusalCode : int {
  kUnsafeArgument = 120,   // CR, LF, another control character or < > in the sender or a recipient
  kLineTooLong = 121,      // a line of the message is over 998 bytes
  kNonAsciiAddress = 122,  // a non-ASCII address and the server offers no SMTPUTF8
  kNoRecipient = 123,      // the message has no recipient
};

}  // namespace platform::smtp
