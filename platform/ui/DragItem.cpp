#include "platform/ui/DragItem.h"

#include <QFileInfo>
#include <QMimeData>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

namespace platform {
namespace {

// File managers put the dropped files' paths or addresses on the drag as plain text
// as well, the addresses mostly percent-encoded; scanning that text again would only
// read the file names.
bool OnlyNamesTheFiles(const QString& text, const QList<QUrl>& files) {
  QSet<QString> names;
  for (const QUrl& url : files) {
    names.insert(url.toString());
    names.insert(url.toString(QUrl::FullyEncoded));
    names.insert(url.toLocalFile());
  }
  const QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
  if (lines.isEmpty()) return true;
  for (const QString& line : lines) {
    if (!names.contains(line.trimmed())) return false;
  }
  return true;
}

}  // namespace

DragItem::DragItem(const QMimeData& data) {
  QList<QUrl> files;
  for (const QUrl& url : data.urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (path.isEmpty()) continue;
    files.append(url);
    m_items.push_back({platform::FolderItem(QFileInfo(path).absoluteFilePath()), false, {}});
  }
  QString text;
  bool hasText = false;
  if (data.hasText()) {
    text = data.text();
    hasText = files.isEmpty() || !OnlyNamesTheFiles(text, files);
  } else if (data.hasHtml()) {
    // A selection from a web page may come as markup alone; the addresses are in it.
    text = data.html();
    hasText = true;
  }
  if (hasText) m_items.push_back({platform::FolderItem(), true, text});
}

const DragItem::Item* DragItem::Current() const {
  return m_current < m_items.size() ? &m_items[m_current] : nullptr;
}

platform::FolderItem DragItem::FolderItem() const {
  const Item* item = Current();
  return item != nullptr ? item->folder : platform::FolderItem();
}

bool DragItem::TextAvailable() const {
  const Item* item = Current();
  return item != nullptr && item->hasText;
}

QString DragItem::Text() const {
  const Item* item = Current();
  return item != nullptr ? item->text : QString();
}

bool DragItem::NextItem() {
  if (m_current + 1 >= m_items.size()) return false;
  ++m_current;
  return true;
}

}  // namespace platform
