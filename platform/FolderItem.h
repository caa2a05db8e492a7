#pragma once

#include <QString>

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
  FolderItem Child(const QString& name) const;

  bool Exists() const;
  bool Directory() const;
  // Writable: for a missing item, whether it could be created in its parent.
  bool IsWriteable() const;
  // Entries of a folder, sorted by name; Item counts from 1.
  int Count() const;
  FolderItem Item(int index) const;

  bool CreateAsFolder() const;
  // Deletes a file or an empty folder.
  bool Delete() const;

  friend bool operator==(const FolderItem& a, const FolderItem& b) { return a.m_path == b.m_path; }

 private:
  QString m_path;
};

}  // namespace platform
