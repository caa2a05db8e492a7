#include "lists/MailingLists.h"

#include "platform/EventLoop.h"
#include "platform/Text.h"

namespace lists {

std::optional<platform::FolderItem> FreeListFile(const platform::FolderItem& database, QString typed) {
  if (typed.isEmpty()) typed = QStringLiteral("Untitled");
  // "." and ".." name no entry of the folder (the folder item gives nil for them).
  platform::FolderItem item = database.Child(typed);
  if (item.IsNull()) return std::nullopt;
  long long counter = 1;
  while (item.Exists()) {
    item = database.Child(typed + QLatin1Char('.') + platform::Str(counter));
    ++counter;
    platform::YieldToEventLoop();
  }
  return item;
}

bool IsTrash(const platform::FolderItem& openFile) {
  return !openFile.IsNull() &&
         platform::StrComp(openFile.DisplayName(), QString::fromLatin1(kTrashName), 0) == 0;
}

std::unique_ptr<platform::TextOutputStream> OpenTrashForCopy(const platform::FolderItem& database,
                                                             const platform::FolderItem& openFile,
                                                             bool* failed) {
  if (failed) *failed = false;
  if (IsTrash(openFile)) return nullptr;
  auto stream = platform::TextOutputStream::Append(database.Child(QString::fromLatin1(kTrashName)));
  if (!stream && failed) *failed = true;
  return stream;
}

bool IsListEntry(const QString& name) {
  static const QStringList kProgramFiles = {
      QStringLiteral(".DS_Store"), QStringLiteral("velmorastoredemails"), QStringLiteral("Preferences"),
      QString::fromLatin1(kLastDatabaseName)};
  for (const QString& own : kProgramFiles) {
    if (platform::StrComp(name, own, 0) == 0) return false;
  }
  return true;
}

}  // namespace lists
