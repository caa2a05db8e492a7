#pragma once

#include <QFile>
#include <algorithm>

namespace testing_support {

// A file on a failing disk, for the streams' device seams: reading past `readable` bytes
// and writing past `writable` bytes fail, with the system's words for it.
class FailingFile : public QFile {
 public:
  FailingFile(const QString& path, qint64 readable, qint64 writable)
      : QFile(path), m_readable(readable), m_writable(writable) {}

 protected:
  qint64 readData(char* data, qint64 most) override {
    if (m_readable <= 0) return Fail();
    const qint64 read = QFile::readData(data, std::min(most, m_readable));
    m_readable -= std::max<qint64>(read, 0);
    return read;
  }
  qint64 writeData(const char* data, qint64 length) override {
    if (m_writable <= 0) return Fail();
    const qint64 written = QFile::writeData(data, std::min(length, m_writable));
    m_writable -= std::max<qint64>(written, 0);
    return written;
  }

 private:
  qint64 Fail() {
    setErrorString(QStringLiteral("Input/output error"));
    return -1;
  }

  qint64 m_readable;
  qint64 m_writable;
};

}  // namespace testing_support
