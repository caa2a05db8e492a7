#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <functional>
#include <memory>

#include "platform/FileResult.h"
#include "platform/FolderItem.h"

namespace platform {

// Reads a text file line by line. ReadLine strips LF, CR LF or a lone CR; text is
// decoded with DecodeBytes, so bytes that are not UTF-8 survive a read and a write.
class TextInputStream {
 public:
  // Reads the whole file at once. Nothing when it cannot be opened or read to its end, or
  // is not a regular file (a folder, a pipe, a device); `reason` then gets the system's
  // words for it, when it gave any.
  static std::unique_ptr<TextInputStream> Open(const FolderItem& file, QString* reason = nullptr);
  static std::unique_ptr<TextInputStream> FromBytes(QByteArray bytes);
  // The file opened for reading a piece at a time, for readers that never hold it whole.
  // Only regular files, as Open. A read that fails returns -1, with the reason in the
  // device's errorString(): it is no end of the file.
  static std::unique_ptr<QIODevice> OpenDevice(const FolderItem& file, QString* reason = nullptr);

  // Tests: every file read is opened through this factory (given its path), so a device
  // that fails after N bytes can be injected. A device it returns unopened is opened
  // read-only; an empty factory restores plain files.
  using DeviceFactory = std::function<std::unique_ptr<QIODevice>(const QString& path)>;
  static void SetDeviceFactoryForTests(DeviceFactory factory);

  QString ReadLine();
  QString ReadAll();
  bool EOF_() const;  // named with a trailing underscore: EOF is a macro
  void Close();

 private:
  explicit TextInputStream(QByteArray bytes);
  QByteArray m_bytes;
  qsizetype m_pos = 0;
};

// Writes a text file. WriteLine ends lines with LF. A stream made by Create replaces the
// file atomically: it writes a temporary file beside the target and renames it over the
// target on Close, so a crash or a failed write leaves the old file whole. A stream made
// by Append adds to the end of the existing file (creating it when missing), first ending
// its last line when the file does not end with a line end; when any of it fails, the
// file is cut back to its old length (or removed when the stream created it), so it never
// keeps part of the lines.
//
// Only regular files are written: a pipe, a device or a socket in the file's place (or at
// the end of its link) is refused at once, never opened for writing or replaced.
class TextOutputStream {
 public:
  // Nothing when the file cannot be written (its folder is missing or not writable, or
  // it is no regular file); `reason` then gets the system's words for it. A link is
  // followed: the file it points to is replaced. The replaced file's owner and permissions
  // are kept.
  [[nodiscard]] static std::unique_ptr<TextOutputStream> Create(const FolderItem& file,
                                                                QString* reason = nullptr);
  // As Create, for a file that holds secrets: the file is readable and writable by its
  // owner only from its first byte on, also when the file it replaces allowed more.
  [[nodiscard]] static std::unique_ptr<TextOutputStream> CreatePrivate(const FolderItem& file,
                                                                       QString* reason = nullptr);
  [[nodiscard]] static std::unique_ptr<TextOutputStream> Append(const FolderItem& file,
                                                                QString* reason = nullptr);
  // Without a successful Close, a Create stream leaves the old file and removes its
  // temporary file; an Append stream still writes out what it was given (dropping it
  // would lose addresses bound for Trash), all or nothing as above.
  ~TextOutputStream();

  void Write(const QString& text);
  void WriteLine(const QString& text);
  // The stream writes its buffer out once it holds this many bytes.
  static constexpr qsizetype kBufferBytes = 1 << 20;
  // Bytes already in the file's form (as EncodeText makes them), which fill(buffer)
  // appends straight to the stream's buffer: a save of a million rows encodes each once,
  // in place.
  template <typename Fill>
  void WriteWith(Fill&& fill) {
    if (QByteArray* buffer = BufferForWriting()) {
      fill(*buffer);
      Written();
    }
  }
  // Commits the file. A failure of any write or of the commit comes with the system's
  // reason for the first thing that failed; the old file then stands.
  FileResult Close();
  bool Failed() const;

  // Tests: every device a stream writes through comes from this factory, given the path
  // written (a Create stream's temporary file, an Append stream's file itself), so a
  // device that fails after N bytes can be injected. The factory returns nothing when it
  // cannot make the file; a device it returns unopened is opened write-only (to append,
  // for an Append stream). An empty factory restores plain files.
  using DeviceFactory = std::function<std::unique_ptr<QIODevice>(const QString& path)>;
  static void SetDeviceFactoryForTests(DeviceFactory factory);

  struct Impl;

 private:
  explicit TextOutputStream(std::unique_ptr<Impl> impl);
  // The buffer to append to; nothing once the stream is closed or has failed.
  QByteArray* BufferForWriting();
  void Written();
  static std::unique_ptr<TextOutputStream> CreateReplacing(const FolderItem& file, bool ownerOnly,
                                                           QString* reason);
  std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
