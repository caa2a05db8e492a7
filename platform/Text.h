#pragma once

// The text helpers the program is written against, with 1-based positions.
//
// Letter case, in one place for the whole program:
// - Exact comparison (StrComp mode 0) is byte for byte, so case-sensitive.
// - Ordinary text equality (TextEquals) and substring search (InStr) ignore letter case,
//   comparing each character's simple case folding (one character to one character, so
//   positions never shift), which is what a user of Find expects.
// - Uppercase and Lowercase map each character to exactly one character ("ß" stays "ß"),
//   so lengths and positions are kept.

#include <QByteArray>
#include <QString>

namespace platform {

// Position (1-based) of the first occurrence of `find` in `source` at or after `start`,
// ignoring letter case; 0 when absent. An empty `find` is found at `start` (when start is
// within the text or just past it).
int InStr(const QString& source, const QString& find);
int InStr(int start, const QString& source, const QString& find);

// Characters from 1-based `start`; a negative `length` means to the end. Counts below 1
// give empty text (Left, Right); a start below 1 counts as 1.
QString Mid(const QString& source, int start, int length = -1);
QString Left(const QString& source, int count);
QString Right(const QString& source, int count);

// Fields separated by `separator` (exact match), counted from 1. CountFields of an empty
// text is 0; NthField past the last field is empty.
int CountFields(const QString& source, const QString& separator);
QString NthField(const QString& source, const QString& separator, int index);

// mode 0: exact, in code point order (the order of the texts' UTF-8 bytes, so as a
// byte-for-byte comparison orders); mode 1: ignoring letter case. Returns -1, 0 or 1.
int StrComp(const QString& a, const QString& b, int mode);

bool TextEquals(const QString& a, const QString& b);

// Numbers in plain decimal; a whole double prints without a fraction ("3", "0", never
// "3.0" or "-0"), other doubles in their shortest exact form ("1.5").
QString Str(long long value);
QString Str(double value);

QString Uppercase(const QString& text);
QString Lowercase(const QString& text);

// The text with each line break (CR LF, a lone CR or a lone LF) turned into one blank: a
// value that a file keeps on one line of its own.
QString OneLine(const QString& text);

// The character code of the first character; 0 for an empty text.
int Asc(const QString& text);

// Bytes to text and back without loss: valid UTF-8 becomes characters; every byte that
// is not part of valid UTF-8 becomes one character in U+DC80..U+DCFF, which
// EncodeText turns back into that byte. So any file survives a read and a write byte
// for byte.
QString DecodeBytes(QByteArrayView bytes);
// DecodeBytes written to `out`, which has room for bytes.size() units; returns the units
// written.
qsizetype DecodeBytesTo(QByteArrayView bytes, char16_t* out);
QByteArray EncodeText(const QString& text);
// EncodeText(text) appended to `out`, without a byte array of its own per text (a save
// writes a million lines).
void AppendEncodedText(QByteArray& out, QStringView text);

}  // namespace platform
