#pragma once

// Reading and writing an address-list file the slow, obvious way, line by line through
// the text streams with NthField and Right, as the program's design describes it: the
// reference for lists::ParseListFile, ParseListLine and FormatListLine (tests and fuzzing).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "platform/Text.h"
#include "platform/TextStream.h"

namespace oracle {

inline std::vector<QStringList> ReadListLiterally(const QByteArray& bytes) {
  std::vector<QStringList> rows;
  auto stream = platform::TextInputStream::FromBytes(bytes);
  // The first line is read before the first end-of-file test.
  do {
    const QString line = stream->ReadLine();
    const QString address = platform::NthField(line, QStringLiteral(" "), 1);
    if (address.size() > 0) {
      rows.push_back({address, platform::Right(line, line.size() - address.size() - 1)});
    }
  } while (!stream->EOF_());
  stream->Close();
  return rows;
}

// The bytes that writing the rows with WriteLine gives (its line end is LF).
inline QByteArray WriteListLiterally(const std::vector<QStringList>& rows) {
  QByteArray bytes;
  for (const QStringList& row : rows) {
    bytes += platform::EncodeText(row.value(0) + QStringLiteral(" ") + row.value(1));
    bytes += '\n';
  }
  return bytes;
}

}  // namespace oracle
