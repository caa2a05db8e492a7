#pragma once

#include <QString>

namespace platform {

// The name of the temporary file a save writes beside its target before renaming it
// over the target. Folder listings leave such files out: a save yields to the event loop
// between lines, so a side-bar rebuild can run while one exists, and a crash can leave
// one behind; neither may show up as a mailing list.
inline QString TemporarySaveName(const QString& targetName, const QString& unique) {
  return QLatin1Char('.') + targetName + QLatin1String(".velmora-save-") + unique + QLatin1String(".tmp");
}

inline bool IsTemporarySaveName(const QString& name) {
  return name.startsWith(QLatin1Char('.')) && name.endsWith(QLatin1String(".tmp")) &&
         name.contains(QLatin1String(".velmora-save-"));
}

}  // namespace platform
