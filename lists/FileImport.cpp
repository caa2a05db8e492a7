#include "lists/FileImport.h"

#include <QFileInfo>
#include <memory>
#include <utility>

#include "platform/EventLoop.h"
#include "platform/Text.h"
#include "platform/TextStream.h"

namespace lists {

namespace {

// Lines between two progress reports while a file is read.
constexpr int kProgressLines = 500;

}  // namespace

FileImport::FileImport(ImportHooks hooks) : m_hooks(std::move(hooks)) {}

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
  m_openFolders.insert(canonical);
  for (int i = 1; i <= folder.Count(); ++i) {
    ImportItem(folder.Item(i));
    platform::YieldToEventLoop();
    if (Stopped()) break;
  }
  m_openFolders.remove(canonical);
}

void FileImport::ImportFile(const platform::FolderItem& file) {
  std::unique_ptr<platform::TextInputStream> in = platform::TextInputStream::Open(file);
  if (!in) {
    ++m_filesSkipped;
    if (m_hooks.setSlug)
      m_hooks.setSlug(QStringLiteral("Could not read the file ") + file.AbsolutePath() + QStringLiteral("."));
    return;
  }
  ++m_filesRead;
  long long lines = 0;
  while (!in->EOF_()) {
    const QString line = in->ReadLine();
    const QString found = m_hooks.findEmails ? m_hooks.findEmails(line) : QString();
    ++lines;
    if (lines % kProgressLines == 0) {
      if (m_hooks.setSlug)
        m_hooks.setSlug(QStringLiteral("Processing file line ") + platform::Str(lines) +
                        QStringLiteral("..."));
      if (m_hooks.refresh) m_hooks.refresh();
    }
    AddFound(found);
    platform::YieldToEventLoop();
    if (Stopped()) return;
  }
  in->Close();
  if (m_hooks.setSlug) m_hooks.setSlug(CountText());
}

void FileImport::ImportText(const QString& text) {
  AddFound(m_hooks.findEmails ? m_hooks.findEmails(text) : QString());
}

void FileImport::AddFound(const QString& found) {
  if (found.isEmpty()) return;
  // The fields that CountFields and NthField give, in one pass rather than one pass each.
  const QStringList addresses = found.split(QLatin1Char(' '));
  for (const QString& address : addresses) {
    if (m_hooks.addAddress) m_hooks.addAddress(address);
    platform::YieldToEventLoop();
    if (Stopped()) return;
  }
}

}  // namespace lists
