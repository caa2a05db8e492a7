#include "app/Preferences.h"

#include "platform/Text.h"
#include "platform/TextStream.h"

namespace app {

Preferences ParsePreferences(const QStringList& lines) {
  auto line = [&lines](int index) { return index < lines.size() ? lines.at(index) : QString(); };
  Preferences p;
  p.server = line(0);
  p.username = line(1);
  p.password = line(2);
  p.xduplicates = platform::InStr(line(3), QStringLiteral("True")) == 1;
  p.popserver = line(4);
  p.popusername = line(5);
  p.poppassword = line(6);
  return p;
}

QStringList PreferencesLines(const Preferences& p) {
  QStringList lines = {p.server,     p.username,
                       p.password,   p.xduplicates ? QStringLiteral("True") : QStringLiteral("False"),
                       p.popserver,  p.popusername,
                       p.poppassword};
  for (QString& line : lines) line = platform::OneLine(line);
  return lines;
}

bool WritePreferences(const platform::FolderItem& database, const Preferences& preferences) {
  if (database.IsNull()) return false;
  auto stream = platform::TextOutputStream::CreatePrivate(database.Child(QStringLiteral("Preferences")));
  if (!stream) return false;
  for (const QString& line : PreferencesLines(preferences)) stream->WriteLine(line);
  return stream->Close();
}

}  // namespace app
