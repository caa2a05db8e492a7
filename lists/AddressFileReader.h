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

  // The addresses of the next piece that can be scanned now.
  QStringList Feed(QByteArrayView bytes);
  // The end of the stream: the addresses of what was held back.
  QStringList Finish();

 private:
  // Holds back the start of a stretch that the next piece goes on with.
  void HoldBack(QByteArrayView bytes);

  QByteArray m_held;
  bool m_dropping = false;  // in a stretch too long to hold
  qsizetype m_longest;
};

struct FileProgress {
  qint64 bytesRead = 0;
  qint64 fileSize = 0;
  qint64 lines = 0;  // line ends read so far (LF, CR LF or a lone CR)
};

enum class FileScanResult { Done, Stopped, CouldNotOpen, ReadFailed };

// Hands the addresses of each chunk of the file, in file order, to `chunk` with the
// progress so far; `chunk` returns false to stop the reading. The last call is made at
// the end of the file, with the addresses held back until then (perhaps none). Only
// regular files are read: a pipe or a device would never end.
using AddressChunkHandler = std::function<bool(const QStringList& addresses, const FileProgress& progress)>;
FileScanResult ReadAddressesFromFile(const platform::FolderItem& file, const AddressChunkHandler& chunk,
                                     qsizetype chunkBytes = 4 << 20);

}  // namespace lists
