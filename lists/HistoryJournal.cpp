#include "lists/HistoryJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <cerrno>

#include "platform/TextStream.h"

namespace lists {

namespace {

constexpr QLatin1StringView kSuffix(".velmora-journal");
// A file name may take 255 bytes; a longer list name is cut to leave room for the rest.
constexpr qsizetype kMaxListNameBytes = 200;
constexpr qsizetype kDigestChars = 16;

QString JournalName(const QString& listName) {
  QString name = listName;
  if (QFile::encodeName(name).size() > kMaxListNameBytes) {
    // Two long names that begin alike keep journals of their own: the cut name is followed
    // by a digest of the whole one.
    const QByteArray digest = QCryptographicHash::hash(QFile::encodeName(listName), QCryptographicHash::Sha1)
                                  .toHex()
                                  .left(kDigestChars);
    while (QFile::encodeName(name).size() > kMaxListNameBytes - kDigestChars - 1) {
      name.chop(name.size() >= 2 && name.back().isLowSurrogate() ? 2 : 1);
    }
    name += QLatin1Char('~') + QString::fromLatin1(digest);
  }
  return QLatin1Char('.') + name + kSuffix;
}

// A file just made is on the disk only once its folder's entry is.
platform::FileResult SyncFolder(const platform::FolderItem& folder) {
  const int fd = ::open(QFile::encodeName(folder.AbsolutePath()).constData(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return platform::FileResult::FromErrno(errno);
  const int synced = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return synced == 0 ? platform::FileResult::Success() : platform::FileResult::FromErrno(synced);
}

}  // namespace

HistoryJournal::HistoryJournal(const platform::FolderItem& listFile)
    : m_file(listFile.IsNull() ? platform::FolderItem()
                               : listFile.Parent().Child(JournalName(listFile.DisplayName()))) {}

bool HistoryJournal::IsJournalName(const QString& name) {
  return name.size() > kSuffix.size() + 1 && name.startsWith(QLatin1Char('.')) && name.endsWith(kSuffix);
}

platform::FileResult HistoryJournal::Append(const QString& address, const QString& entry) const {
  QString reason;
  const bool created = !QFileInfo::exists(m_file.AbsolutePath());
  // All or nothing: a line that cannot be written whole is taken back.
  std::unique_ptr<platform::TextOutputStream> out = platform::TextOutputStream::Append(m_file, &reason);
  if (!out) return platform::FileResult::Failure(reason);
  out->WriteWith([&](QByteArray& buffer) { AppendJournalLine(buffer, address, entry); });
  platform::FileResult appended = out->Close();
  if (!appended.Ok() || !created) return appended;
  return SyncFolder(m_file.Parent());
}

std::optional<std::vector<HistoryJournal::Record>> HistoryJournal::Read() const {
  const QString path = m_file.AbsolutePath();
  if (m_file.IsNull() || !QFileInfo(path).exists()) return std::vector<Record>();
  QFile file(path);
  // Only a regular file: reading a pipe could wait for ever.
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  return ParseJournal(bytes);
}

qint64 HistoryJournal::Size() const {
  const QFileInfo info(m_file.AbsolutePath());
  return !m_file.IsNull() && info.isFile() ? info.size() : 0;
}

platform::FileResult HistoryJournal::DropWritten(qint64 written) const {
  if (m_file.IsNull() || written <= 0) return platform::FileResult::Success();
  QFile file(m_file.AbsolutePath());
  if (!QFileInfo(file.fileName()).isFile() || !file.open(QIODevice::ReadOnly)) {
    return file.exists() ? platform::FileResult::Failure(file.errorString())
                         : platform::FileResult::Success();
  }
  if (file.size() <= written) return Remove();
  // Lines appended while the rows were written are not in the list file: they stay.
  QByteArray rest;
  if (file.seek(written)) rest = file.readAll();
  if (rest.isEmpty() || file.error() != QFileDevice::NoError) {
    return platform::FileResult::Failure(file.errorString());
  }
  file.close();
  QString reason;
  std::unique_ptr<platform::TextOutputStream> out = platform::TextOutputStream::Create(m_file, &reason);
  if (!out) return platform::FileResult::Failure(reason);
  out->WriteWith([&](QByteArray& buffer) { buffer += rest; });
  return out->Close();
}

platform::FileResult HistoryJournal::Remove() const {
  if (m_file.IsNull() || !QFileInfo::exists(m_file.AbsolutePath())) return platform::FileResult::Success();
  return m_file.Delete();
}

int HistoryJournal::Apply(platform::ListModel& list, const std::vector<Record>& records) {
  if (records.empty()) return 0;
  QHash<QString, QString> entries;  // each address's entries, in the journal's order
  for (const Record& record : records) entries[record.address] += record.entry;
  QString address;
  return list.EditColumn(1, [&](int row, QString& mailings) {
    list.ReadCell(row, 0, address);
    const auto found = entries.constFind(address);
    if (found == entries.cend()) return false;
    mailings += *found;
    return true;
  });
}

}  // namespace lists
