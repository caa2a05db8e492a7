#include "app/Preferences.h"

#include "platform/Text.h"

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

}  // namespace app
