#include "lists/AddressFileReader.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <utility>

#include "lists/AddressScanner.h"
#include "platform/EventLoop.h"

namespace lists {

namespace {

QStringList Scan(const QByteArray& bytes) {
  QStringList found;
  ForEachEmail(QByteArrayView(bytes), [&](qsizetype start, qsizetype length) {
    found.append(QString::fromLatin1(bytes.constData() + start, length));  // an address is ASCII
  });
  return found;
}

// Just after the first / the last boundary byte; 0 when there is none.
qsizetype AfterFirstBoundary(QByteArrayView bytes) {
  const auto it = std::find_if(bytes.begin(), bytes.end(), IsAddressBoundary);
  return it == bytes.end() ? 0 : it - bytes.begin() + 1;
}

qsizetype AfterLastBoundary(QByteArrayView bytes) {
  for (qsizetype i = bytes.size(); i > 0; --i) {
    if (IsAddressBoundary(bytes[i - 1])) return i;
  }
  return 0;
}

// Counts line ends as a line reader splits lines: LF, CR LF or a lone CR, also when a
// CR LF is cut between two chunks.
class LineEndCounter {
 public:
  qint64 Count(QByteArrayView bytes) {
    qint64 ends = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
      const char c = bytes[i];
      if (c == '\n') {
        if (!m_afterCR) ++ends;
      } else if (c == '\r') {
        ++ends;
      }
      m_afterCR = c == '\r';
    }
    return ends;
  }

 private:
  bool m_afterCR = false;
};

}  // namespace

void AddressChunker::HoldBack(QByteArrayView bytes) {
  if (m_dropping) return;
  if (m_held.size() + bytes.size() > m_longest) {
    m_held.clear();
    m_dropping = true;
    return;
  }
  m_held.append(bytes);
}

QStringList AddressChunker::Feed(QByteArrayView bytes) {
  const qsizetype first = AfterFirstBoundary(bytes);
  if (first == 0) {
    HoldBack(bytes);
    return {};
  }
  // The first boundary ends the stretch held back so far.
  HoldBack(bytes.first(first));
  QByteArray ready = m_dropping ? QByteArray() : std::exchange(m_held, QByteArray());
  m_held.clear();
  m_dropping = false;
  const qsizetype last = AfterLastBoundary(bytes);
  ready.append(bytes.sliced(first, last - first));
  HoldBack(bytes.sliced(last));
  return Scan(ready);
}

QStringList AddressChunker::Finish() {
  const QByteArray rest = m_dropping ? QByteArray() : std::exchange(m_held, QByteArray());
  m_dropping = false;
  return Scan(rest);
}

FileScanResult ReadAddressesFromFile(const platform::FolderItem& file, const AddressChunkHandler& chunk,
                                     qsizetype chunkBytes) {
  if (file.IsNull() || !QFileInfo(file.AbsolutePath()).isFile()) return FileScanResult::CouldNotOpen;
  QFile device(file.AbsolutePath());
  if (!device.open(QIODevice::ReadOnly)) return FileScanResult::CouldNotOpen;
  AddressChunker chunker;
  LineEndCounter lineEnds;
  FileProgress progress;
  progress.fileSize = device.size();
  QByteArray bytes;
  for (;;) {
    bytes.resize(chunkBytes);
    const qint64 read = device.read(bytes.data(), chunkBytes);
    if (read < 0) return FileScanResult::ReadFailed;
    bytes.resize(read);
    progress.bytesRead += read;
    progress.lines += lineEnds.Count(bytes);
    const QStringList found = read > 0 ? chunker.Feed(bytes) : chunker.Finish();
    if (!chunk(found, progress)) return FileScanResult::Stopped;
    if (read == 0) return FileScanResult::Done;
    platform::YieldToEventLoop();
  }
}

}  // namespace lists
