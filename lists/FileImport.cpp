#include "lists/FileImport.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <memory>
#include <utility>

#include "lists/AddressFileReader.h"
#include "lists/AddressScanner.h"
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
  bool first = true;
  const auto chunk = [&](QByteArrayView bytes, const FileProgress& progress) {
    // Room for the whole file's addresses, judged by the first bytes'.
    if (first && m_hooks.reserve && progress.bytesRead > 0 && !bytes.isEmpty()) {
      first = false;
      const qsizetype found = std::count(bytes.begin(), bytes.end(), '@');
      m_hooks.reserve(
          static_cast<qsizetype>(static_cast<double>(found) * progress.fileSize / progress.bytesRead));
    }
    AddFound(bytes);
    return !Stopped();
  };
  LineMarks progress;
  if (m_hooks.setSlug || m_hooks.refresh) {
    progress.every = kProgressLines;
    progress.reached = [this](qint64 line) {
      if (m_hooks.setSlug)
        m_hooks.setSlug(QStringLiteral("Processing file line ") + platform::Str(line) +
                        QStringLiteral("..."));
      if (m_hooks.refresh) m_hooks.refresh();
    };
  }
  const FileScanResult result = ReadFileForScanning(file, chunk, progress, m_chunkBytes);
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
  // A shared copy keeps the characters alive whatever the event loop does to the caller's.
  const QString kept = text;  // NOLINT(performance-unnecessary-copy-initialization)
  if (m_hooks.reserve) m_hooks.reserve(kept.count(u'@'));
  AddFound(QStringView(kept));
}

void FileImport::Add(QByteArrayView address) {
  if (Stopped()) return;
  if (m_hooks.addAddress) m_hooks.addAddress(address);
  platform::YieldToEventLoop();
}

void FileImport::AddFound(QByteArrayView bytes) {
  ForEachEmail(bytes, [&](qsizetype start, qsizetype length) { Add(bytes.sliced(start, length)); });
}

void FileImport::AddFound(QStringView text) {
  QByteArray address;
  ForEachEmail(text, [&](qsizetype start, qsizetype length) {
    // An address is ASCII.
    address.resize(length);
    const char16_t* units = text.utf16() + start;
    char* out = address.data();
    for (qsizetype i = 0; i < length; ++i) out[i] = static_cast<char>(units[i]);
    Add(address);
  });
}

}  // namespace lists
