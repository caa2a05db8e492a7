#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <functional>
#include <memory>

#include "platform/FolderItem.h"

namespace platform {

// Reads a text file line by line. ReadLine strips LF, CR LF or a lone CR; text is
// decoded with DecodeBytes, so bytes that are not UTF-8 survive a read and a write.
class TextInputStream {
 public:
  // Nothing when the file cannot be opened.
  static std::unique_ptr<TextInputStream> Open(const FolderItem& file);
  static std::unique_ptr<TextInputStream> FromBytes(QByteArray bytes);

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
// by Append adds to the end of the existing file (creating it when missing).
class TextOutputStream {
 public:
  static std::unique_ptr<TextOutputStream> Create(const FolderItem& file);
  static std::unique_ptr<TextOutputStream> Append(const FolderItem& file);
  ~TextOutputStream();  // without a successful Close, a Create stream leaves the old file

  void Write(const QString& text);
  void WriteLine(const QString& text);
  // Commits the file. False when any write or the commit failed; the old file then stands.
  bool Close();
  bool Failed() const;

  // Tests: every device a Create stream writes through comes from this factory (given the
  // temporary file's path), so a device that fails after N bytes can be injected.
  using DeviceFactory = std::function<std::unique_ptr<QIODevice>(const QString& path)>;
  static void SetDeviceFactoryForTests(DeviceFactory factory);

  struct Impl;

 private:
  explicit TextOutputStream(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
