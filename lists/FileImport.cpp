#include "lists/FileImport.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <utility>

#include "lists/AddressFileReader.h"
#include "platform/EventLoop.h"
#include "platform/Text.h"

namespace lists {

namespace {

// Lines between two progress reports while a file is read.
constexpr int kProgressLines = 500;

}  // namespace

FileImport::FileImport(ImportHooks hooks, qsizetype chunkBytes)
    : m_hooks(std::move(hooks)), m_chunkBytes(chunkBytes) {}

QString FileImport::CountText() const {
  return platform::Str(static_cast<long long>(m_hooks.rowCount ? m_hooks.rowCount() : 0)) +
         QStringLiteral(" addresses...");
}

void FileImport::ImportItem(const platform::FolderItem& item) {
  if (item.IsNull()) {
    if (m_hooks.setSlug) m_hooks.setSlug(CountText());
    return;
  }
  if (item.Directory()) {
    ImportFolder(item);
  } else {
    ImportFile(item);
  }
}

void FileImport::ImportFolder(const platform::FolderItem& folder) {
  QFileInfo info(folder.AbsolutePath());
  const QString canonical = info.canonicalFilePath();
  if (canonical.isEmpty() || m_openFolders.contains(canonical)) return;
  // A folder the user may not list would look empty: say so instead.
  if (::access(QFile::encodeName(canonical).constData(), R_OK | X_OK) != 0) {
    if (m_hooks.setSlug)
      m_hooks.setSlug(QStringLiteral("Could not read the folder ") + folder.AbsolutePath() +
                      QStringLiteral("."));
    return;
  }
  m_openFolders.insert(canonical);
  for (int i = 1; i <= folder.Count(); ++i) {
    ImportItem(folder.Item(i));
    platform::YieldToEventLoop();
    if (Stopped()) break;
  }
  m_openFolders.remove(canonical);
}

void FileImport::ImportFile(const platform::FolderItem& file) {
  qint64 reportedLines = 0;
  const auto chunk = [&](const QStringList& found, const FileProgress& progress) {
    if (progress.lines / kProgressLines > reportedLines / kProgressLines) {
      reportedLines = progress.lines;
      if (m_hooks.setSlug)
        m_hooks.setSlug(QStringLiteral("Processing file line ") +
                        platform::Str(progress.lines / kProgressLines * kProgressLines) +
                        QStringLiteral("..."));
      if (m_hooks.refresh) m_hooks.refresh();
    }
    AddFound(found);
    return !Stopped();
  };
  const FileScanResult result = ReadAddressesFromFile(file, chunk, m_chunkBytes);
  if (result == FileScanResult::CouldNotOpen) {
    ++m_filesSkipped;
    if (m_hooks.setSlug)
      m_hooks.setSlug(QStringLiteral("Could not read the file ") + file.AbsolutePath() + QStringLiteral("."));
    return;
  }
  ++m_filesRead;
  if (result == FileScanResult::Stopped) return;
  if (result == FileScanResult::ReadFailed && m_hooks.setSlug) {
    m_hooks.setSlug(QStringLiteral("Could not read all of the file ") + file.AbsolutePath() +
                    QStringLiteral("."));
  }
  if (m_hooks.setSlug) m_hooks.setSlug(CountText());
}

void FileImport::ImportText(const QString& text) {
  const QString found = m_hooks.findEmails ? m_hooks.findEmails(text) : QString();
  // The fields that CountFields and NthField give, in one pass rather than one pass each.
  if (!found.isEmpty()) AddFound(found.split(QLatin1Char(' ')));
}

void FileImport::AddFound(const QStringList& found) {
  for (const QString& address : found) {
    if (Stopped()) return;
    if (m_hooks.addAddress) m_hooks.addAddress(address);
    platform::YieldToEventLoop();
  }
}

}  // namespace lists
