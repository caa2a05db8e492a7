#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/FileResult.h"
#include "platform/FolderItem.h"

namespace app {

// The settings the Preferences file holds, one per line in this order.
struct Preferences {
  QString server;
  QString username;
  QString password;
  bool xduplicates = false;
  QString popserver;
  QString popusername;
  QString poppassword;

  friend bool operator==(const Preferences&, const Preferences&) = default;
};

// Reads the settings from the file's lines as read one by one: a line past the end of a
// short file reads as empty. The duplicate test is on when the fourth line begins with
// "True".
Preferences ParsePreferences(const QStringList& lines);

// The file's seven lines, as ParsePreferences reads them back. A value is kept on its one
// line: a line break in it becomes a blank, or every later setting would move a line down.
QStringList PreferencesLines(const Preferences& preferences);

// The longest line read from the small files start-up reads (Preferences, LastDatabase):
// their writers never make a longer one (a field holds at most 32767 characters), and a
// file with a line of a gigabyte must not take a gigabyte of memory at every start.
constexpr qsizetype kMaxSettingLineBytes = qsizetype(128) << 10;

// The first `count` lines of such a file, split as text streams split them (LF, CR LF or
// a lone CR; a line past the end of a short file reads as empty), so that only their bytes
// are read. `problem` says in words why the file could not be read: no regular file stands
// there, it cannot be opened or read, or one of the lines is too long.
struct FirstLines {
  enum class State { Missing, Read, Unreadable };
  State state = State::Missing;
  QStringList lines;
  QString problem;
};
FirstLines ReadFirstLines(const platform::FolderItem& file, int count);

// The splitting of the file's first bytes; `more` says that the file goes on after them.
// Nothing when one of the lines is longer than kMaxSettingLineBytes or does not end
// within the bytes while the file goes on.
std::optional<QStringList> SplitFirstLines(QByteArrayView bytes, int count, bool more);

// Replaces the Preferences file in the folder atomically; it holds passwords, so it is
// readable by its owner only. When it could not be written, the old file stands.
platform::FileResult WritePreferences(const platform::FolderItem& database, const Preferences& preferences);

}  // namespace app
