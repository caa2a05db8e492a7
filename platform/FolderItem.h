#pragma once

#include <QString>

#include "platform/FileResult.h"

namespace platform {

// A file or folder, by absolute path. Relative paths are resolved against the
// application's folder (the executable's folder), which tests point at a temporary
// folder. A default-constructed item is "nil".
class FolderItem {
 public:
  FolderItem() = default;
  explicit FolderItem(QString absolutePath);

  // The application's folder; SetAppFolderForTests redirects it (empty: back to the
  // executable's folder).
  static FolderItem AppFolder();
  static void SetAppFolderForTests(const QString& path);
  // GetFolderItem("Database"): a path relative to the application's folder.
  static FolderItem GetFolderItem(const QString& relativePath);
  static FolderItem TemporaryFolder();

  bool IsNull() const { return m_path.isEmpty(); }
  QString AbsolutePath() const { return m_path; }
  QString DisplayName() const;  // the last path component
  FolderItem Parent() const;
  // The entry `name` of this folder. Names never reach outside it: "/" in a name is
  // stored as ":", and "", "." and ".." give a nil item.
  FolderItem Child(const QString& name) const;

  bool Exists() const;
  bool Directory() const;
  // Writable: a folder takes new entries; a file can be replaced, which also needs its
  // folder writable (saves write a new file beside it); a missing item could be created
  // in its parent (so a first start may make its Database folder).
  bool IsWriteable() const;
  // Entries of a folder, hidden ones included, sorted by name; Item counts from 1. The
  // temporary files of saves in progress (or cut short by a crash) are left out.
  int Count() const;
  FolderItem Item(int index) const;

  // Both say whether they did it, and why not; a caller that goes on regardless tells the
  // user. An existing folder counts as created.
  FileResult CreateAsFolder() const;
  // Deletes a file or an empty folder (a link, not what it points to).
  FileResult Delete() const;

  friend bool operator==(const FolderItem& a, const FolderItem& b) { return a.m_path == b.m_path; }

 private:
  QString m_path;
};

}  // namespace platform
