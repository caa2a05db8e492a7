#include "app/MessageLog.h"

#include <algorithm>
#include <cstring>

#include "platform/Date.h"

namespace app {

namespace {

// An entry's shape: the length above four bits, then the ending (two bits) and the form.
constexpr qsizetype kLongestInEntry = (qsizetype(1) << 28) - 1;

QLatin1StringView EndingText(MessageLog::Ending ending) {
  switch (ending) {
    case MessageLog::Ending::None:
      break;
    case MessageLog::Ending::Addresses:
      return QLatin1StringView(" addresses");
    case MessageLog::Ending::AlreadyExists:
      return QLatin1StringView(" already exists in the database.");
  }
  return QLatin1StringView();
}

}  // namespace

MessageLog::MessageLog(QObject* parent) : QAbstractListModel(parent) {}

quint32 MessageLog::TimeNow() {
  const QString now = platform::LongTimeNow();
  // The same second gives the same (shared) text.
  if (m_times.empty() || (m_times.back().constData() != now.constData() && m_times.back() != now)) {
    m_times.push_back(now);
  }
  return static_cast<quint32>(m_times.size());
}

void MessageLog::Add(quint32 time, Form form, quint64 payload, qsizetype length, Ending ending) {
  const quint32 shape =
      static_cast<quint32>(length) << 4 | static_cast<quint32>(ending) << 2 | static_cast<quint32>(form);
  m_entries.push_back({payload, time, shape});
  m_starts.push_back(m_rows);
  m_rows += form == Form::Number ? static_cast<int>(length) : 1;
}

void MessageLog::AddText(quint32 time, QStringView text, Ending ending) {
  const qsizetype n = text.size();
  if (n > kLongestInEntry) {
    m_whole.push_back(text.toString());
    Add(time, Form::Whole, m_whole.size() - 1, 0, ending);
    return;
  }
  if (n == 0) {
    Add(time, Form::Latin1, 0, 0, ending);
    return;
  }
  const char16_t* units = text.utf16();
  char16_t all = 0;
  for (qsizetype i = 0; i < n; ++i) all |= units[i];
  platform::ByteArena::Ref at = 0;
  if (all < 0x100) {
    char* p = m_text.Allocate(static_cast<size_t>(n), &at);
    for (qsizetype i = 0; i < n; ++i) p[i] = static_cast<char>(units[i]);
    Add(time, Form::Latin1, at, n, ending);
  } else {
    std::memcpy(m_text.Allocate(static_cast<size_t>(n) * 2, &at), units, static_cast<size_t>(n) * 2);
    Add(time, Form::Utf16, at, n, ending);
  }
}

void MessageLog::InsertAtTop(const QString& text) {
  AddText(0, text, Ending::None);
  Publish();
}

void MessageLog::Report(const QString& text) {
  AddText(TimeNow(), text, Ending::None);
  Publish();
}

void MessageLog::ReportNumber(long long number, Ending ending) {
  const quint32 time = TimeNow();
  if (!m_entries.empty()) {
    Entry& last = m_entries.back();
    const quint32 run = last.shape >> 4;
    const quint32 kind = static_cast<quint32>(ending) << 2 | static_cast<quint32>(Form::Number);
    if ((last.shape & 15) == kind && last.time == time && run < kLongestInEntry &&
        last.payload + run == static_cast<quint64>(number)) {
      last.shape += 1 << 4;
      ++m_rows;
      return;
    }
  }
  Add(time, Form::Number, static_cast<quint64>(number), 1, ending);
}

void MessageLog::ReportAscii(QByteArrayView text, Ending ending) {
  if (text.size() > kLongestInEntry) {
    m_whole.push_back(QString::fromLatin1(text));
    Add(TimeNow(), Form::Whole, m_whole.size() - 1, 0, ending);
    return;
  }
  platform::ByteArena::Ref at = 0;
  if (!text.isEmpty())
    std::memcpy(m_text.Allocate(static_cast<size_t>(text.size()), &at), text.data(), text.size());
  Add(TimeNow(), Form::Latin1, at, text.size(), ending);
}

void MessageLog::Publish() {
  const int waiting = m_rows - m_published;
  if (waiting == 0) return;
  // The newest rows come first: the waiting ones are rows 0 to waiting - 1.
  beginInsertRows({}, 0, waiting - 1);
  m_published = m_rows;
  endInsertRows();
}

QString MessageLog::Row(int row) const {
  if (row < 0 || row >= m_published) return {};
  const int fromOldest = m_published - 1 - row;
  const auto at = std::upper_bound(m_starts.begin(), m_starts.end(), fromOldest) - 1;
  const Entry& entry = m_entries[static_cast<size_t>(at - m_starts.begin())];
  const int inRun = fromOldest - *at;
  const auto form = static_cast<Form>(entry.shape & 3);
  const auto ending = static_cast<Ending>((entry.shape >> 2) & 3);
  const qsizetype length = entry.shape >> 4;
  QString text;
  if (entry.time != 0) {
    text = m_times[entry.time - 1];
    text += QLatin1Char(' ');
  }
  switch (form) {
    case Form::Latin1:
      if (length > 0) text += QLatin1StringView(m_text.At(entry.payload), length);
      break;
    case Form::Utf16: {
      const qsizetype start = text.size();
      text.resize(start + length);
      std::memcpy(text.data() + start, m_text.At(entry.payload), static_cast<size_t>(length) * 2);
      break;
    }
    case Form::Number:
      text += QString::number(static_cast<long long>(entry.payload + inRun));
      break;
    case Form::Whole:
      text += m_whole[entry.payload];
      break;
  }
  return text + EndingText(ending);
}

int MessageLog::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Count();
}

QVariant MessageLog::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() != 0) return {};
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
  return Row(index.row());
}

}  // namespace app
