#include "lists/AddressFileReader.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "lists/AddressScanner.h"
#include "platform/EventLoop.h"
#include "platform/TextStream.h"

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

// The bytes equal to `byte`, eight at a time: a byte of word ^ pattern is zero where they
// are equal.
qint64 CountByte(const char* p, qsizetype n, char byte) {
  constexpr quint64 kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  const quint64 pattern = 0x0101010101010101ULL * static_cast<unsigned char>(byte);
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

// Just after the nth LF in p[from, end), or -1 when it holds fewer; `found` gets how many
// it holds then. Blocks without the nth are counted rather than walked.
qsizetype AfterNthLF(const char* p, qsizetype from, qsizetype end, qint64 nth, qint64& found) {
  constexpr qsizetype kBlock = 256;
  found = 0;
  qsizetype i = from;
  for (; end - i >= kBlock; i += kBlock) {
    const qint64 inBlock = CountByte(p + i, kBlock, '\n');
    if (found + inBlock >= nth) break;
    found += inBlock;
  }
  for (; i < end; ++i) {
    if (p[i] == '\n' && ++found == nth) return i + 1;
  }
  return -1;
}

// Follows where the lines of a stream handed in pieces begin, as a line reader reads them:
// a line ends in LF, CR LF or a lone CR, and the next begins with the byte after, so the
// file's last line end begins none. Finds where each `every`-th line begins.
class LineStarts {
 public:
  explicit LineStarts(qint64 every) : m_every(every) {}

  void Start(QByteArrayView piece) {
    m_piece = piece;
    // Most files end their lines in LF alone: their lines are skipped by counting LFs.
    m_lfOnly = !m_afterCR && std::memchr(piece.data(), '\r', static_cast<size_t>(piece.size())) == nullptr;
  }

  // Where, at or after `from`, the piece's next marked line begins (Lines() then counts
  // it); the piece's size when none begins in it.
  qsizetype NextMark(qsizetype from) {
    const char* const p = m_piece.data();
    const qsizetype n = m_piece.size();
    if (m_every <= 0) return n;
    qsizetype i = from;
    while (i < n) {
      if (m_atStart) {
        if (m_afterCR && p[i] == '\n') {  // the rest of a CR LF
          m_afterCR = false;
          ++i;
          continue;
        }
        m_atStart = m_afterCR = false;
        if (++m_lines % m_every == 0) return i;
      }
      if (m_lfOnly) {
        // The LF before the next marked line; each LF before it begins a line here.
        const qint64 ends = m_every - m_lines % m_every;
        qint64 found = 0;
        const qsizetype after = AfterNthLF(p, i, n, ends, found);
        if (after >= 0) {
          m_lines += ends - 1;
          m_atStart = true;
          i = after;
          continue;
        }
        // A last LF at the piece's end begins its line only if the next piece has a byte.
        m_atStart = p[n - 1] == '\n';
        m_lines += found - (m_atStart ? 1 : 0);
        return n;
      }
      const char c = p[i++];
      if (c == '\n' || c == '\r') {
        m_atStart = true;
        m_afterCR = c == '\r';
      }
    }
    return n;
  }

  qint64 Lines() const { return m_lines; }

 private:
  qint64 m_every;
  QByteArrayView m_piece;
  bool m_lfOnly = false;
  qint64 m_lines = 0;
  bool m_atStart = true;
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
                                   const LineMarks& marks, qsizetype chunkBytes) {
  const std::unique_ptr<QIODevice> device = platform::TextInputStream::OpenDevice(file);
  if (!device) return FileScanResult::CouldNotOpen;
  AddressChunker chunker;
  LineStarts lines(marks.reached ? marks.every : 0);
  FileProgress progress;
  progress.fileSize = device->size();
  qint64 offset = 0;
  QByteArray bytes;
  for (;;) {
    bytes.resize(chunkBytes);
    const qint64 read = device->read(bytes.data(), chunkBytes);
    if (read < 0) return FileScanResult::ReadFailed;
    bytes.resize(read);
    if (read == 0) return chunk(chunker.Rest(), progress) ? FileScanResult::Done : FileScanResult::Stopped;
    // The piece is scanned in parts cut where marked lines begin, so that each mark comes
    // between the addresses before its line and those of it.
    lines.Start(bytes);
    for (qsizetype from = 0;;) {
      const qsizetype at = lines.NextMark(from);
      progress.bytesRead = offset + at;
      if (at > from && !chunk(chunker.Next(QByteArrayView(bytes).sliced(from, at - from)), progress))
        return FileScanResult::Stopped;
      if (at == read) break;
      marks.reached(lines.Lines());
      from = at;
    }
    offset += read;
    platform::YieldToEventLoop();
  }
}

}  // namespace lists
