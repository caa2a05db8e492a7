// A dropped file is scanned chunk by chunk as it is read: cut anywhere, its bytes must give
// the addresses a scan of the whole gives, and each marked line (every k-th) must be marked
// between the addresses of the lines before it and its own, as reading line by line gives.
// The first two bytes pick the cutting and the marks.

#include <cstdint>
#include <cstdlib>
#include <memory>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QStringList>

#include "lists/AddressFileReader.h"
#include "lists/AddressScanner.h"
#include "platform/TextStream.h"

namespace {

// The file the reader opens; its bytes come from memory.
const platform::FolderItem& File() {
  static const platform::FolderItem file = [] {
    const QString path = QDir::tempPath() + QStringLiteral("/velmora-fuzz-address-chunks");
    QFile(path).open(QIODevice::WriteOnly);
    return platform::FolderItem(path);
  }();
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // Small cuts, or pieces larger than the reader's blocks of lines.
  const qsizetype step = data[0] < 224 ? data[0] % 32 + 1 : 1 << 16;
  const int every = data[1] % 8 + 1;
  const QByteArray bytes(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));
  lists::AddressChunker chunker;
  QStringList found;
  for (qsizetype at = 0; at < bytes.size(); at += step)
    found += chunker.Feed(QByteArrayView(bytes).sliced(at, std::min(step, bytes.size() - at)));
  found += chunker.Finish();
  if (found.join(u' ') != lists::FindEmails(QByteArrayView(bytes))) std::abort();

  QStringList byLine;
  int lines = 0;
  for (auto in = platform::TextInputStream::FromBytes(bytes); !in->EOF_();) {
    const QString line = lists::FindEmails(in->ReadLine());
    if (++lines % every == 0) byLine << QStringLiteral("#") + QString::number(lines);
    if (!line.isEmpty()) byLine << line;
  }
  platform::TextInputStream::SetDeviceFactoryForTests([&bytes](const QString&) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    return buffer;
  });
  QStringList read;
  const lists::LineMarks marks{every,
                               [&](qint64 line) { read << QStringLiteral("#") + QString::number(line); }};
  const auto scan = [&](QByteArrayView piece, const lists::FileProgress&) {
    lists::ForEachEmail(piece, [&](qsizetype at, qsizetype n) { read << piece.sliced(at, n).toByteArray(); });
    return true;
  };
  if (lists::ReadFileForScanning(File(), scan, marks, step) != lists::FileScanResult::Done) std::abort();
  if (read.join(u' ') != byLine.join(u' ')) std::abort();
  return 0;
}
