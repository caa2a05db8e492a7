#include "lists/MailingLists.h"

#include <QFileInfo>

#include "lists/HistoryJournal.h"
#include "platform/EventLoop.h"
#include "platform/TemporarySaveName.h"
#include "platform/Text.h"

namespace lists {

namespace {

bool IsProgramFileName(const QString& name) {
  const QString lock = QString::fromLatin1(kDatabaseLockName);
  static const QStringList kProgramFiles = {
      QStringLiteral(".DS_Store"), QStringLiteral("velmorastoredemails"),
      QString::fromLatin1(kPreferencesName), QString::fromLatin1(kLastDatabaseName), lock,
      // the lock's own lock while a stale one is removed
      lock + QStringLiteral(".rmlock")};
  for (const QString& own : kProgramFiles) {
    if (platform::StrComp(name, own, 0) == 0) return true;
  }
  return platform::IsTemporarySaveName(name) || HistoryJournal::IsJournalName(name);
}

}  // namespace

std::optional<QString> ListNameProblem(const QString& name) {
  if (name == QLatin1String(".") || name == QLatin1String("..")) {
    return QStringLiteral("A list cannot be named \".\" or \"..\".");
  }
  for (const QChar c : name) {
    if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
      return QStringLiteral("A list name cannot hold a line end or another control character.");
    }
  }
  if (IsProgramFileName(name)) {
    return QStringLiteral("\"") + name +
           QStringLiteral(
               "\" is the name of one of Velmora's own files. Please choose another name for the list.");
  }
  return std::nullopt;
}

std::optional<platform::FolderItem> FreeListFile(const platform::FolderItem& database, QString typed) {
  if (typed.isEmpty()) typed = QStringLiteral("Untitled");
  if (ListNameProblem(typed)) return std::nullopt;
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
                                                             platform::FileResult* opened) {
  if (opened) *opened = platform::FileResult::Success();
  if (IsTrash(openFile)) return nullptr;
  QString reason;
  auto stream = platform::TextOutputStream::Append(database.Child(QString::fromLatin1(kTrashName)), &reason);
  if (!stream && opened) *opened = platform::FileResult::Failure(reason);
  return stream;
}

bool IsListEntry(const QString& name) {
  return !IsProgramFileName(name);
}

bool IsInDatabase(const platform::FolderItem& database, const platform::FolderItem& file) {
  if (database.IsNull() || file.IsNull()) return false;
  const QString folder = QFileInfo(database.AbsolutePath()).canonicalFilePath();
  return !folder.isEmpty() && QFileInfo(file.Parent().AbsolutePath()).canonicalFilePath() == folder;
}

}  // namespace lists
