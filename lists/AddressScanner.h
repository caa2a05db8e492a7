#pragma once

// The one address scanner: every way addresses enter the program (drops, pastes, typed
// text, the lines of dropped files) goes through it, so they all agree on what an address
// is.
//
// An address character is an ASCII letter, digit, "-", "." or "_". For each "@" the
// scanner takes the stretch of address characters around it, drops trailing dots, and
// keeps the candidate when it has at least 6 and at most kMaxAddressLength characters, a
// domain of at least 2 with a dot in it, and at least two characters after the domain's
// first dot. Scanning goes on
// after the character that follows the candidate (the character that stopped it, or the
// first trailing dot dropped), so an "@" right after a candidate belongs to it.
//
// The work is linear in the text, and the scanner lets the event loop run every few
// thousand characters, so a large drop does not freeze the window.

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <functional>

namespace lists {

// RFC 5321 allows a path of 256 characters with its angle brackets, so no address is
// longer than this. A longer token is no address (and a row of megabytes would make the
// list slow to draw).
inline constexpr qsizetype kMaxAddressLength = 254;

// The addresses found in the text, in the order they stand there, each as written (letter
// case kept), joined by single blanks; empty when there is none.
QString FindEmails(const QString& text);

// The same for bytes (UTF-8 or anything else): the result equals FindEmails of the text
// that platform::DecodeBytes makes of them, since an address is pure ASCII and no byte of
// a multi-byte character or a stray byte is an address character. The bytes must stay
// alive and unchanged until this returns (it yields to the event loop).
QString FindEmails(QByteArrayView bytes);

// A byte that is neither an address character nor "@": no address reaches across it, and
// the scan after it starts afresh, so a stream cut just after such a byte and scanned in
// two parts gives the addresses that scanning it whole gives.
bool IsAddressBoundary(char byte);

// Each address found, as a start and a length in the text's units (UTF-16 code units or
// bytes), in order. The text must stay alive and unchanged until this returns.
using FoundAddress = std::function<void(qsizetype start, qsizetype length)>;
void ForEachEmail(QStringView text, const FoundAddress& found);
void ForEachEmail(QByteArrayView bytes, const FoundAddress& found);

}  // namespace lists
