#pragma once

#include <QFile>
#include <algorithm>

namespace testing_support {

// A file on a failing disk, for the streams' device seams: reading past `readable` bytes
// and writing past `writable` bytes fail, with the system's words for it.
class FailingFile : public QFile {
 public:
  FailingFile(const QString& path, qint64 readable, qint64 writable)
      : QFile(path), m_left{readable, writable} {}

 protected:
  qint64 readData(char* data, qint64 most) override {
    return Count(m_left[0], m_left[0] > 0 ? QFile::readData(data, std::min(most, m_left[0])) : -1);
  }
  qint64 writeData(const char* data, qint64 length) override {
    return Count(m_left[1], m_left[1] > 0 ? QFile::writeData(data, std::min(length, m_left[1])) : -1);
  }

 private:
  qint64 Count(qint64& left, qint64 done) {
    if (done < 0) setErrorString(QStringLiteral("Input/output error"));
    left -= std::max<qint64>(done, 0);
    return done;
  }

  qint64 m_left[2];
};

}  // namespace testing_support
