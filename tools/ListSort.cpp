#include "tools/ListSort.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "platform/Date.h"
#include "platform/EventLoop.h"
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

int CompareExact(QStringView a, QStringView b) {
  return platform::StrComp(QString::fromRawData(a.data(), a.size()), QString::fromRawData(b.data(), b.size()),
                           0);
}

// Each key's rank among the distinct keys in exact order: equal keys share a rank.
std::vector<uint32_t> RankKeys(const std::vector<QStringView>& keys) {
  QHash<QStringView, uint32_t> distinct;
  distinct.reserve(static_cast<qsizetype>(keys.size()));
  std::vector<QStringView> texts;
  std::vector<uint32_t> ids(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    auto it = distinct.constFind(keys[i]);
    if (it == distinct.constEnd()) {
      it = distinct.insert(keys[i], static_cast<uint32_t>(texts.size()));
      texts.push_back(keys[i]);
    }
    ids[i] = *it;
  }
  std::vector<uint32_t> byText(texts.size());
  for (uint32_t i = 0; i < byText.size(); ++i) byText[i] = i;
  std::sort(byText.begin(), byText.end(),
            [&](uint32_t a, uint32_t b) { return CompareExact(texts[a], texts[b]) < 0; });
  std::vector<uint32_t> rankOfId(texts.size());
  for (uint32_t r = 0; r < byText.size(); ++r) rankOfId[byText[r]] = r;
  for (uint32_t& id : ids) id = rankOfId[id];
  return ids;
}

// The lists being sorted: a second sort of the same list would interleave with the first
// at its yields.
QSet<const platform::ListModel*>& ListsBeingSorted() {
  static QSet<const platform::ListModel*> lists;
  return lists;
}

}  // namespace

QString SortKey(const QString& address, const QString& history, SortBy by) {
  if (by == SortBy::Date) return DateKeys().Key(history);
  return AddressKey(address, by).toString();
}

std::optional<std::vector<int>> QuicksortOrder(const std::vector<QStringView>& keys, bool ascending,
                                               const SortProgress& progress) {
  const int n = static_cast<int>(keys.size());
  std::vector<uint32_t> rank = RankKeys(keys);
  // Descending is ascending on mirrored ranks: "after the pivot" is then "less than it".
  if (!ascending) {
    for (uint32_t& r : rank) r = ~r;
  }
  std::vector<int> row(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) row[i] = i;
  std::vector<int> rowOut(row.size());
  std::vector<uint32_t> rankOut(rank.size());

  long long steps = 0;
  std::vector<std::pair<int, int>> ranges;
  if (n > 1) ranges.emplace_back(0, n - 1);
  while (!ranges.empty()) {
    auto [lo, hi] = ranges.back();
    ranges.pop_back();
    while (lo < hi) {
      const int p = lo + (hi - lo) / 2;
      const uint32_t pivot = rank[p];
      const long long width = hi - lo + 1;
      if (progress && (steps % kSortProgressSteps == 0 ||
                       steps / kSortProgressSteps != (steps + width - 1) / kSortProgressSteps)) {
        if (!progress(steps, lo, p, hi)) return std::nullopt;
      }
      steps += width;

      int stayBefore = 0;
      int movedBefore = 0;
      for (int i = lo; i < p; ++i) stayBefore += rank[i] <= pivot ? 1 : 0;
      for (int i = p + 1; i <= hi; ++i) movedBefore += rank[i] < pivot ? 1 : 0;
      const int place = lo + stayBefore + movedBefore;
      int left = lo;
      int right = place + (p - lo - stayBefore);  // the last of the rows moved after
      for (int i = lo; i < p; ++i) {
        const int to = rank[i] <= pivot ? left++ : right--;
        rowOut[to] = row[i];
        rankOut[to] = rank[i];
      }
      right = place + (p - lo - stayBefore) + 1;
      for (int i = p + 1; i <= hi; ++i) {
        const int to = rank[i] < pivot ? left++ : right++;
        rowOut[to] = row[i];
        rankOut[to] = rank[i];
      }
      rowOut[place] = row[p];
      rankOut[place] = pivot;
      std::copy(rowOut.begin() + lo, rowOut.begin() + hi + 1, row.begin() + lo);
      std::copy(rankOut.begin() + lo, rankOut.begin() + hi + 1, rank.begin() + lo);

      // Go on with the smaller side and keep the larger for later: at most log2(n)
      // ranges wait, however unevenly the pivots split.
      if (place - lo < hi - place) {
        ranges.emplace_back(place + 1, hi);
        hi = place - 1;
      } else {
        ranges.emplace_back(lo, place - 1);
        lo = place + 1;
      }
    }
  }
  return row;
}

SortOutcome SortRows(platform::ListModel& list, int lo, int hi, SortBy by, bool ascending,
                     const SortProgress& progress) {
  lo = std::max(lo, 0);
  hi = std::min(hi, list.ListCount() - 1);
  if (lo >= hi) return SortOutcome::Sorted;
  if (ListsBeingSorted().contains(&list)) return SortOutcome::Busy;
  ListsBeingSorted().insert(&list);
  QPointer<platform::ListModel> guard(&list);
  const platform::ListModel* const key = &list;
  struct Release {
    const platform::ListModel* key;
    ~Release() { ListsBeingSorted().remove(key); }
  } release{key};

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
  std::vector<QString> texts(static_cast<size_t>(count));
  std::vector<QStringView> keys(static_cast<size_t>(count));
  DateKeys dates;
  for (int i = 0; i < count; ++i) {
    if (by == SortBy::Date) {
      texts[i] = dates.Key(list.Cell(lo + i, 1));
      keys[i] = texts[i];
    } else {
      texts[i] = list.Cell(lo + i, 0);
      keys[i] = AddressKey(texts[i], by);
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
