#pragma once

#include <QByteArrayView>
#include <QSet>
#include <QString>
#include <functional>

#include "platform/FolderItem.h"

namespace lists {

// What an import needs from the main window.
struct ImportHooks {
  // Adds one address found (ASCII bytes, valid during the call) to the open list: the
  // duplicate test, the report and Changed, as AddAddress does. The list, the status line
  // and the view may catch up later, but before the event loop runs.
  std::function<void(QByteArrayView address)> addAddress;
  // About this many addresses are still to come.
  std::function<void(qsizetype addresses)> reserve;
  std::function<void(const QString& text)> setSlug;
  // Redraws the main window so a long import shows progress.
  std::function<void()> refresh;
  // The list's rows, the addresses added so far with them.
  std::function<int()> rowCount;
  // True once the import should end (the window it fills has gone): a drop of a large
  // folder must not go on reading every file of it for nobody.
  std::function<bool()> stopped;
};

// Gathers addresses from dropped files, folders and text.
class FileImport {
 public:
  explicit FileImport(ImportHooks hooks, qsizetype chunkBytes = 4 << 20);

  // A file: its addresses, read `chunkBytes` at a time, with "Processing file line N..."
  // on the status line once line N is read, for every 500th line, before the addresses of
  // that line are added. A folder: every file in it and in its
  // sub-folders. A file or folder that cannot be read is reported and skipped, and the rest of the
  // drop goes on; a folder reached again through a link inside itself is not entered again,
  // so a link loop ends.
  void ImportItem(const platform::FolderItem& item);
  // Dropped or pasted text: the addresses found, in order.
  void ImportText(const QString& text);

  int FilesRead() const { return m_filesRead; }
  int FilesSkipped() const { return m_filesSkipped; }

 private:
  void ImportFolder(const platform::FolderItem& folder);
  void ImportFile(const platform::FolderItem& file);
  // Scans bytes (or text) and adds each address found, letting the event loop run.
  void AddFound(QByteArrayView bytes);
  void AddFound(QStringView text);
  void Add(QByteArrayView address);
  bool Stopped() const { return m_hooks.stopped && m_hooks.stopped(); }
  QString CountText() const;

  ImportHooks m_hooks;
  qsizetype m_chunkBytes;
  // Canonical paths of the folders being walked, outermost first.
  QSet<QString> m_openFolders;
  int m_filesRead = 0;
  int m_filesSkipped = 0;
};

}  // namespace lists
