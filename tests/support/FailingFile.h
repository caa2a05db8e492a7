#pragma once

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace testing_support {

// A file on a failing disk, for the streams' device seams: reading past `readable` bytes
// and writing past `writable` bytes fail, and with a budget below 0 it does not even open
// that way (a read-only disk, a folder the user may not write). Each failure gives the
// system's words for `error`.
class FailingFile : public QFile {
 public:
  FailingFile(const QString& path, qint64 readable, qint64 writable, int error = EIO)
      : QFile(path), m_left{readable, writable}, m_error(error) {}

  bool open(OpenMode mode) override {
    if (m_left[mode & WriteOnly ? 1 : 0] >= 0) return QFile::open(mode);
    Fail();
    return false;
  }

 protected:
  qint64 readData(char* data, qint64 most) override {
    return Count(m_left[0], m_left[0] > 0 ? QFile::readData(data, std::min(most, m_left[0])) : -1);
  }
  qint64 writeData(const char* data, qint64 length) override {
    return Count(m_left[1], m_left[1] > 0 ? QFile::writeData(data, std::min(length, m_left[1])) : -1);
  }

 private:
  void Fail() { setErrorString(QString::fromLocal8Bit(std::strerror(m_error))); }
  qint64 Count(qint64& left, qint64 done) {
    if (done < 0) Fail();
    left -= std::max<qint64>(done, 0);
    return done;
  }

  qint64 m_left[2];
  int m_error;
};

}  // namespace testing_support
