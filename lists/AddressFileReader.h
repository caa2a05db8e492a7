#pragma once

// Dropped files are read a few megabytes at a time and scanned as they come, so a file of
// any size takes little memory and the window stays live while it is read.

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <functional>

#include "platform/FolderItem.h"

namespace lists {

// Cuts a stream of bytes, handed in pieces of any size, where the address scanner may cut
// it (after an address boundary, see IsAddressBoundary), and scans each part: the
// addresses come out in order, the same as a scan of the whole stream gives. What follows
// the last boundary of a piece waits for the next piece.
//
// A stretch without any boundary (no blank, line end, comma...) holds no address once it
// is far longer than any address can be. So that such a stretch cannot fill the memory,
// one that starts or ends a piece is dropped whole once it passes `longestStretch` bytes.
class AddressChunker {
 public:
  static constexpr qsizetype kLongestStretch = 1 << 20;

  explicit AddressChunker(qsizetype longestStretch = kLongestStretch) : m_longest(longestStretch) {}

  // The bytes that can be scanned now, given the next piece: what was held back and the
  // piece up to its last boundary. Valid until the next call.
  QByteArrayView Next(QByteArrayView bytes);
  // The end of the stream: what was held back.
  QByteArrayView Rest();
  // The addresses of Next(bytes) and of Rest().
  QStringList Feed(QByteArrayView bytes);
  QStringList Finish();

 private:
  // Holds back the start of a stretch that the next piece goes on with.
  void HoldBack(QByteArrayView bytes);

  QByteArray m_held;
  QByteArray m_ready;
  bool m_dropping = false;  // in a stretch too long to hold
  qsizetype m_longest;
};

struct FileProgress {
  qint64 bytesRead = 0;  // up to the end of the bytes handed over
  qint64 fileSize = 0;
};

enum class FileScanResult { Done, Stopped, CouldNotOpen, ReadFailed };

// Every `every`-th line of a file, the lines counted as a line reader reads them (each
// ended by LF, CR LF or a lone CR, the last one also without an end): `reached(n)` is
// called for each such line n that the file holds, after the scan has had every byte
// before that line and before it has any byte of it.
struct LineMarks {
  qint64 every = 0;  // 0: none
  std::function<void(qint64 line)> reached;
};

// Reads the file a chunk at a time and hands what of each can be scanned on its own (see
// AddressChunker), in file order, to `chunk` with the progress so far; `chunk` scans it and
// returns false to stop the reading. The bytes stay valid and unchanged while `chunk`
// runs, also when it lets the event loop run. The last call is made at the end of the
// file, with what was held back until then (perhaps nothing). Only regular files are
// read: a pipe or a device would never end.
using ScanChunkHandler = std::function<bool(QByteArrayView bytes, const FileProgress& progress)>;
FileScanResult ReadFileForScanning(const platform::FolderItem& file, const ScanChunkHandler& chunk,
                                   const LineMarks& marks = {}, qsizetype chunkBytes = 4 << 20);

}  // namespace lists
