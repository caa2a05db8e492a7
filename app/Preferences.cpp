#include "app/Preferences.h"

#include <QFile>
#include <QFileInfo>

#include "platform/Text.h"
#include "platform/TextStream.h"

namespace app {

Preferences ParsePreferences(const QStringList& lines) {
  auto line = [&lines](int index) { return index < lines.size() ? lines.at(index) : QString(); };
  Preferences p;
  p.server = line(0);
  p.username = line(1);
  p.password = line(2);
  p.xduplicates = platform::InStr(line(3), QStringLiteral("True")) == 1;
  p.popserver = line(4);
  p.popusername = line(5);
  p.poppassword = line(6);
  return p;
}

QStringList PreferencesLines(const Preferences& p) {
  QStringList lines = {p.server,     p.username,
                       p.password,   p.xduplicates ? QStringLiteral("True") : QStringLiteral("False"),
                       p.popserver,  p.popusername,
                       p.poppassword};
  for (QString& line : lines) line = platform::OneLine(line);
  return lines;
}

std::optional<QStringList> SplitFirstLines(QByteArrayView bytes, int count, bool more) {
  QStringList lines;
  qsizetype pos = 0;
  for (int i = 0; i < count; ++i) {
    qsizetype end = pos;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
    if (end - pos > kMaxSettingLineBytes || (end == bytes.size() && more)) return std::nullopt;
    lines.append(platform::DecodeBytes(bytes.sliced(pos, end - pos)));
    if (end < bytes.size()) ++end;
    if (end < bytes.size() && bytes[end - 1] == '\r' && bytes[end] == '\n') ++end;
    pos = end;
  }
  return lines;
}

FirstLines ReadFirstLines(const platform::FolderItem& file, int count) {
  FirstLines read;
  const QFileInfo info(file.AbsolutePath());
  if (file.IsNull() || !info.exists()) return read;
  read.state = FirstLines::State::Unreadable;
  if (info.isDir()) {
    read.problem = QStringLiteral("a folder stands in its place");
    return read;
  }
  // A pipe or a device would block the start-up or never end.
  if (!info.isFile()) {
    read.problem = QStringLiteral("it is no regular file");
    return read;
  }
  QFile f(file.AbsolutePath());
  if (!f.open(QIODevice::ReadOnly)) {
    read.problem = f.errorString();
    return read;
  }
  // Every line of at most the longest length, with its line end, lies within these bytes.
  const qint64 limit = count * (kMaxSettingLineBytes + 2);
  const QByteArray bytes = f.read(limit);
  if (f.error() != QFileDevice::NoError) {
    read.problem = f.errorString();
    return read;
  }
  std::optional<QStringList> lines = SplitFirstLines(bytes, count, bytes.size() == limit && !f.atEnd());
  if (!lines) {
    read.problem = QStringLiteral("a line is longer than %1 bytes").arg(kMaxSettingLineBytes);
    return read;
  }
  read.state = FirstLines::State::Read;
  read.lines = std::move(*lines);
  return read;
}

platform::FileResult WritePreferences(const platform::FolderItem& database, const Preferences& preferences) {
  QString reason;
  auto stream =
      platform::TextOutputStream::CreatePrivate(database.Child(QStringLiteral("Preferences")), &reason);
  if (!stream) return platform::FileResult::Failure(reason);
  for (const QString& line : PreferencesLines(preferences)) stream->WriteLine(line);
  return stream->Close();
}

}  // namespace app
