#include "tools/ListSort.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "platform/Date.h"
#include "platform/ListModel.h"
#include "platform/Text.h"

namespace tools {

namespace {

// The host part: from after the first "@" up to a second one or the end; nothing when
// the address holds no "@".
std::optional<QStringView> HostPart(QStringView address) {
  const qsizetype at = address.indexOf(QLatin1Char('@'));
  if (at < 0) return std::nullopt;
  const qsizetype end = address.indexOf(QLatin1Char('@'), at + 1);
  return address.mid(at + 1, end < 0 ? -1 : end - at - 1);
}

// The key of the address options, as a view into the address.
QStringView AddressKey(QStringView address, SortBy by) {
  if (by == SortBy::Id) return address;
  const std::optional<QStringView> host = HostPart(address);
  if (!host) return address;
  if (by == SortBy::Subdomain) return *host;
  // Domain: the next-to-last "."-separated label of a host part that holds a ".".
  const qsizetype last = host->lastIndexOf(QLatin1Char('.'));
  if (last < 0) return *host;
  const qsizetype before = last == 0 ? -1 : host->lastIndexOf(QLatin1Char('.'), last - 1);
  return host->mid(before + 1, last - before - 1);
}

// Date keys: the day counts of the dates in mailing histories, each date text parsed once
// per sort (a list mailed a few times holds a few distinct dates in a million rows).
class DateKeys {
 public:
  QString Key(QStringView history) {
    double best = 0;
    // The pieces after each "(": a date, ")" and the next message's name.
    qsizetype open = history.indexOf(QLatin1Char('('));
    while (open >= 0) {
      const qsizetype next = history.indexOf(QLatin1Char('('), open + 1);
      const QStringView field = history.mid(open + 1, next < 0 ? -1 : next - open - 1);
      if (field.size() > 1) {
        const qsizetype close = field.indexOf(QLatin1Char(')'));
        const double days = Days(close > 0 ? field.left(close) : QStringView());
        if (days > best) best = days;
      }
      open = next;
    }
    auto it = m_texts.find(best);
    if (it == m_texts.end()) it = m_texts.emplace(best, platform::Str(best)).first;
    return it->second;
  }

 private:
  // Minus one for a text that is no date (any day count of a parsed date that is not
  // above 0 leaves the key at 0 as well).
  double Days(QStringView text) {
    const QString key = text.toString();
    auto it = m_days.constFind(key);
    if (it != m_days.constEnd()) return *it;
    const std::optional<platform::Date> date = platform::ParseDate(key);
    const double days = date ? date->TotalSeconds() / 3600 / 24 : -1;
    m_days.insert(key, days);
    return days;
  }

  QHash<QString, double> m_days;
  std::unordered_map<double, QString> m_texts;
};

}  // namespace

QString SortKey(const QString& address, const QString& history, SortBy by) {
  if (by == SortBy::Date) return DateKeys().Key(history);
  return AddressKey(address, by).toString();
}

SortOutcome SortRows(platform::ListModel& list, int lo, int hi, SortBy by, bool ascending,
                     const SortProgress& progress) {
  lo = std::max(lo, 0);
  hi = std::min(hi, list.ListCount() - 1);
  if (lo >= hi) return SortOutcome::Sorted;
  // A second sort of the same list would interleave with the first at its yields.
  if (list.IsBusy(platform::ListModel::Sorting)) return SortOutcome::Busy;
  const platform::ListModel::Busy sorting(&list, platform::ListModel::Sorting);
  QPointer<platform::ListModel> guard(&list);

  // Rows added, removed or reordered while the sort yields would not be where the order
  // says; edits of cells are carried along with their rows.
  bool changed = false;
  QObject watcher;
  const auto markChanged = [&changed] { changed = true; };
  QObject::connect(&list, &QAbstractItemModel::rowsInserted, &watcher, markChanged);
  QObject::connect(&list, &QAbstractItemModel::rowsRemoved, &watcher, markChanged);
  QObject::connect(&list, &QAbstractItemModel::modelReset, &watcher, markChanged);
  QObject::connect(&list, &QAbstractItemModel::layoutChanged, &watcher, markChanged);

  const int count = hi - lo + 1;
  std::vector<QStringView> keys(static_cast<size_t>(count));
  // Date keys: a few distinct texts, shared. Address keys: views into one text that holds
  // every address, read without a string per row.
  std::vector<QString> dateKeys;
  QString addresses;
  std::vector<qsizetype> ends;
  if (by == SortBy::Date) {
    DateKeys dates;
    QString history;
    dateKeys.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      list.ReadCell(lo + i, 1, history);
      dateKeys[i] = dates.Key(history);
      keys[i] = dateKeys[i];
    }
  } else {
    ends.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      list.AppendCellText(lo + i, 0, addresses);
      ends[i] = addresses.size();
    }
    const QStringView all(addresses);
    for (int i = 0; i < count; ++i) {
      const qsizetype start = i == 0 ? 0 : ends[i - 1];
      keys[i] = AddressKey(all.sliced(start, ends[i] - start), by);
    }
  }
  const std::optional<std::vector<int>> order = QuicksortOrder(keys, ascending, progress);
  if (!guard || !order) return SortOutcome::Stopped;
  if (changed) return SortOutcome::ListChanged;

  std::vector<int> whole(static_cast<size_t>(list.ListCount()));
  for (int i = 0; i < static_cast<int>(whole.size()); ++i) whole[i] = i;
  for (int i = 0; i < count; ++i) whole[lo + i] = lo + (*order)[i];
  list.ReorderRows(whole);
  return SortOutcome::Sorted;
}

}  // namespace tools
