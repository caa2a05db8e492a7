#pragma once

#include <QString>
#include <QStringList>

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

// Replaces the Preferences file in the folder atomically; it holds passwords, so it is
// readable by its owner only. False when it could not be written (the old file stands).
[[nodiscard]] bool WritePreferences(const platform::FolderItem& database, const Preferences& preferences);

}  // namespace app
