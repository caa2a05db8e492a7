#pragma once

// Stored messages: one plain-text file per message in the eMail folder beside the
// application, named after the message. Line 1 is the sender, line 2 the subject, line 3
// "HTML" or "Plain Text", and the body follows as it was typed, without a line end after
// its last line.
//
// Bodies travel in the program with a carriage return after each line (the form both
// readers give back); the file stores them with the line breaks they hold.

#include <QString>
#include <functional>

#include "platform/FolderItem.h"
#include "platform/TextStream.h"

namespace mailing {

// The eMail folder beside the application.
platform::FolderItem MessageFolder();

// Whether a message can be stored under this name: the name is the file's name in the
// eMail folder, so it must not be empty, "." or "..", nor hold a path separator or a
// control character (which would leave the folder or break the name in every list that
// shows it).
bool IsStorableMessageName(const QString& name);

// The largest message file that is written or read. A message is meant to be read by
// people; a larger file would hold the window for long and take gigabytes to lay out.
constexpr qint64 kMaxMessageFileBytes = qint64(64) << 20;

struct StoredMessage {
  QString from;
  QString subject;
  bool html = false;
  QString body;
};

// Writes the message file, replacing any file of that name atomically: a failed write
// leaves the old file whole. A line break in the sender or the subject is stored as a
// blank. A failure when the name cannot be stored, the write failed, or the file would be
// larger than the readers take (then nothing is written, and `tooLarge` is set).
platform::FileResult WriteMessageFile(const platform::FolderItem& folder, const QString& name,
                                      const StoredMessage& message, bool* tooLarge = nullptr);

// Reads a message for sending. False when the file is missing, cannot be read or is larger
// than kMaxMessageFileBytes; the
// sender and subject are then empty and the body untouched. Otherwise the sender and
// subject come from lines 1 and 2, the first non-empty line after them is taken as the
// format line and dropped whatever it says, and every later line comes back followed by
// one carriage return. Yields to the event loop once per line.
[[nodiscard]] bool LoadEmail(const platform::FolderItem& folder, const QString& name, QString& from,
                             QString& subject, QString& body);

// What the send window shows when a stored message is chosen.
struct ChosenMessage {
  enum class State { Missing, Unreadable, Read, TooLarge };
  State state = State::Missing;
  QString from;     // empty unless Read
  QString subject;  // empty unless Read
  bool html = false;
  QString body;  // empty unless Read; a Missing message leaves the shown body alone
};

// Reads a message into the send window: the line after the subject sets the format when
// it is exactly "HTML" or "Plain Text", and is otherwise the body's first line (an empty
// one included). Yields to the event loop once per line.
ChosenMessage ReadChosenMessage(const platform::FolderItem& folder, const QString& name);

// The two readers over the lines of a message file already open.
void LoadEmail(platform::TextInputStream& stream, QString& from, QString& subject, QString& body);
ChosenMessage ReadChosenMessage(platform::TextInputStream& stream);

// Rewrites thirteen accented characters (á é í ó ú Á É Í Ó Ú ñ Ñ ¡) as their HTML
// entities and reports each replacement, "Changing <character> to <entity>". The
// characters are taken in that order, each found with the program's case-blind search,
// so a capital is replaced, and reported, in its small letter's turn; all the reports of
// one character come before those of the next. One pass over the text.
QString ConvertHTMLTags(const QString& text, const std::function<void(const QString&)>& report);

}  // namespace mailing
