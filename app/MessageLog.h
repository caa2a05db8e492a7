#pragma once

#include <QAbstractListModel>
#include <QByteArrayView>
#include <QString>
#include <algorithm>
#include <vector>

#include "platform/ByteArena.h"

namespace app {

// The rows of the message log, newest first. The log has no upper bound (a long import
// reports once per address), so a new row must cost neither time in proportion to the
// rows already there nor much memory: entries are stored oldest first and presented in
// reverse, twenty bytes each with their text in an arena (the time of a report kept once
// per second it shows, the number of "<n> addresses" as a number), and put together only
// when a row is read or drawn. A run of "<n> addresses" rows counting up by one in the
// same second is one entry, so an import adds a few bytes per address, not per row.
class MessageLog : public QAbstractListModel {
  Q_OBJECT
 public:
  // How the text of a report that an import makes by the thousand ends.
  enum class Ending : unsigned char { None, Addresses, AlreadyExists };

  explicit MessageLog(QObject* parent = nullptr);

  // Puts the text in as row 0; the rows already there move down by one.
  void InsertAtTop(const QString& text);
  // A report: the current time in its long form, a blank, then the text, as row 0.
  void Report(const QString& text);
  // Reports made by the thousand: "<number> addresses", "<address> already exists in the
  // database.", with the time as Report puts it. They are kept aside, without a model
  // signal, until Publish, which their maker calls before the event loop runs.
  void ReportNumber(long long number, Ending ending);
  void ReportAscii(QByteArrayView text, Ending ending);
  // Shows the reports kept aside, in one insert signal.
  void Publish();

  // Row 0 is the newest entry.
  QString Row(int row) const;
  int Count() const { return m_published; }
  // Room for this many more rows (an import's reports).
  void Reserve(qsizetype more) {
    const size_t entries = m_entries.size() + static_cast<size_t>(std::max<qsizetype>(more, 0));
    m_entries.reserve(entries);
    m_starts.reserve(entries);
  }

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  struct Entry {
    quint64 payload = 0;  // where the text is, or the number
    quint32 time = 0;     // 1 + the time's place in m_times; 0 for none
    quint32 shape = 0;    // the text's length (a number's run of rows), its ending and its form
  };
  enum class Form : unsigned char { Latin1, Utf16, Number, Whole };
  void Add(quint32 time, Form form, quint64 payload, qsizetype length, Ending ending);
  void AddText(quint32 time, QStringView text, Ending ending);
  quint32 TimeNow();

  std::vector<Entry> m_entries;
  // The row, counted from the oldest, at which each entry starts.
  std::vector<int> m_starts;
  int m_rows = 0;
  int m_published = 0;
  platform::ByteArena m_text;
  // Texts too long for an entry's length, kept whole.
  std::vector<QString> m_whole;
  std::vector<QString> m_times;
};

}  // namespace app
