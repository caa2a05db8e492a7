#pragma once

#include <QString>
#include <QStringList>

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

}  // namespace app
