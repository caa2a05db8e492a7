#include "lists/AddressFileReader.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <utility>

#include "lists/AddressScanner.h"
#include "platform/EventLoop.h"

namespace lists {

namespace {

QStringList Scan(QByteArrayView bytes) {
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
    const qint64 feeds = CountByte(bytes, '\n');
    // Most files end their lines in LF alone: then every LF ends one.
    if (!m_afterCR && CountByte(bytes, '\r') == 0) return feeds;
    return CountOneByOne(bytes);
  }

 private:
  // The bytes equal to `byte`, eight at a time: a byte of word ^ pattern is zero where
  // they are equal.
  static qint64 CountByte(QByteArrayView bytes, char byte) {
    constexpr quint64 kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const quint64 pattern = 0x0101010101010101ULL * static_cast<unsigned char>(byte);
    const char* p = bytes.data();
    const qsizetype n = bytes.size();
    qint64 count = 0;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
      quint64 word;
      std::memcpy(&word, p + i, sizeof word);
      const quint64 x = word ^ pattern;
      const quint64 nonzero = ((x & kLow7) + kLow7) | x;
      // One bit per equal byte, summed by a multiplication into the top byte.
      count += static_cast<qint64>((((~nonzero & ~kLow7) >> 7) * 0x0101010101010101ULL) >> 56);
    }
    for (; i < n; ++i) count += p[i] == byte;
    return count;
  }

  qint64 CountOneByOne(QByteArrayView bytes) {
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

QByteArrayView AddressChunker::Next(QByteArrayView bytes) {
  const qsizetype first = AfterFirstBoundary(bytes);
  if (first == 0) {
    HoldBack(bytes);
    return {};
  }
  // The first boundary ends the stretch held back so far.
  HoldBack(bytes.first(first));
  m_ready.resize(0);
  if (!m_dropping) m_ready.append(m_held);
  m_held.resize(0);
  m_dropping = false;
  const qsizetype last = AfterLastBoundary(bytes);
  m_ready.append(bytes.sliced(first, last - first));
  HoldBack(bytes.sliced(last));
  return m_ready;
}

QByteArrayView AddressChunker::Rest() {
  m_ready.resize(0);
  if (!m_dropping) m_ready.append(m_held);
  m_held.resize(0);
  m_dropping = false;
  return m_ready;
}

QStringList AddressChunker::Feed(QByteArrayView bytes) {
  return Scan(Next(bytes));
}

QStringList AddressChunker::Finish() {
  return Scan(Rest());
}

FileScanResult ReadFileForScanning(const platform::FolderItem& file, const ScanChunkHandler& chunk,
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
    if (!chunk(read > 0 ? chunker.Next(bytes) : chunker.Rest(), progress)) return FileScanResult::Stopped;
    if (read == 0) return FileScanResult::Done;
    platform::YieldToEventLoop();
  }
}

}  // namespace lists
