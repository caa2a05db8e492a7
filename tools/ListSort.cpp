#include "tools/ListSort.h"

#include <QHash>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <unordered_map>

#include "platform/ByteArena.h"
#include "platform/Date.h"
#include "platform/ListModel.h"
#include "platform/LongWork.h"
#include "platform/Text.h"

namespace tools {

namespace {

const char16_t* Units(QStringView text) {
  return text.utf16();
}
const char* Units(QByteArrayView bytes) {
  return bytes.data();
}

// The key of the address options, as a view into the address, of its text or of its bytes
// alike ("@" and "." are never part of a longer character in UTF-8). The host part runs
// from after the first "@" up to a second one or the end; an address without "@" is its
// own key. The domain is the next-to-last "."-separated label of a host part that holds a
// ".". One pass, since a million addresses are keyed at a time.
template <typename View>
View AddressKey(View address, SortBy by) {
  if (by == SortBy::Id) return address;
  const auto* units = Units(address);
  const qsizetype size = address.size();
  qsizetype at = -1;
  qsizetype end = size;
  qsizetype last = -1;    // the last "." of the host part
  qsizetype before = -1;  // the "." before it
  for (qsizetype i = 0; i < size; ++i) {
    if (units[i] == '@') {
      if (at >= 0) {
        end = i;
        break;
      }
      at = i;
    } else if (units[i] == '.' && at >= 0) {
      before = last;
      last = i;
    }
  }
  if (at < 0) return address;
  if (by == SortBy::Subdomain || last < 0) return address.sliced(at + 1, end - at - 1);
  const qsizetype from = before < 0 ? at + 1 : before + 1;
  return address.sliced(from, last - from);
}

// Bytes whose order, byte by byte, is the exact order of texts (platform::StrComp mode 0:
// UTF-16 units, a surrogate above every other unit). Characters go as UTF-8, whose byte
// order is code point order. Units that are no character rank above the characters
// their position allows: a surrogate without its other half after the supplementary
// characters of its block and a lone second half after all characters (bytes kept from
// files that are not UTF-8 among them), each as bytes no UTF-8 character begins with.
void AppendOrderedBytes(QStringView text, QByteArray& out) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t u = text[i].unicode();
    const bool pair =
        QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode());
    if (u < 0x80) {
      out.append(static_cast<char>(u));
    } else if (u < 0x800) {
      out.append(static_cast<char>(0xC0 | u >> 6)).append(static_cast<char>(0x80 | (u & 0x3F)));
    } else if (!QChar::isSurrogate(u)) {
      out.append(static_cast<char>(0xE0 | u >> 12))
          .append(static_cast<char>(0x80 | ((u >> 6) & 0x3F)))
          .append(static_cast<char>(0x80 | (u & 0x3F)));
    } else if (QChar::isLowSurrogate(u)) {
      out.append('\xF8').append(static_cast<char>(u >> 8)).append(static_cast<char>(u & 0xFF));
    } else {
      // The supplementary character, or for a lone first half the first of its block with
      // the third byte one less and a fourth above any continuation byte: after the block
      // before, and before this one.
      const char32_t c =
          pair ? QChar::surrogateToUcs4(u, text[++i].unicode()) : 0x10000 + (u - 0xD800) * 0x400;
      out.append(static_cast<char>(0xF0 | c >> 18))
          .append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)))
          .append(static_cast<char>((0x80 | ((c >> 6) & 0x3F)) - (pair ? 0 : 1)))
          .append(static_cast<char>(pair ? 0x80 | (c & 0x3F) : 0xC0));
    }
  }
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
  return AddressKey(QStringView(address), by).toString();
}

SortOutcome SortRows(platform::ListModel& list, int lo, int hi, SortBy by, bool ascending,
                     const SortProgress& progress) {
  lo = std::max(lo, 0);
  hi = std::min(hi, list.ListCount() - 1);
  if (lo >= hi) return SortOutcome::Sorted;
  // A second sort of the same list would interleave with the first at its yields.
  if (platform::LongWork::IsBusy(&list, platform::LongWork::Sorting)) return SortOutcome::Busy;
  const platform::LongWork sorting(&list, platform::LongWork::Sorting);

  const int count = hi - lo + 1;
  SortKeys keys;
  keys.Reserve(static_cast<size_t>(count));
  // Keys in other bytes than the list's own: the date keys' few distinct texts, and the
  // keys of addresses that are not plain ASCII. A piece of the arena stays where it is.
  platform::ByteArena spilled;
  const auto spill = [&spilled](const QByteArray& bytes) {
    platform::ByteArena::Ref ref = 0;
    char* at = spilled.Allocate(static_cast<size_t>(bytes.size()), &ref);
    if (!bytes.isEmpty()) std::memcpy(at, bytes.constData(), static_cast<size_t>(bytes.size()));
    return QByteArrayView(at, bytes.size());
  };
  QString text;
  QByteArray bytes;
  if (by == SortBy::Date) {
    DateKeys dates;
    QHash<QString, QByteArrayView> keyBytes;
    for (int i = 0; i < count; ++i) {
      list.ReadCell(lo + i, 1, text);
      const QString key = dates.Key(text);
      auto it = keyBytes.constFind(key);
      if (it == keyBytes.constEnd()) {
        bytes.clear();
        AppendOrderedBytes(key, bytes);
        it = keyBytes.insert(key, spill(bytes));
      }
      keys.Add(*it);
    }
  } else {
    // An ASCII address is its own key's bytes, read where the list keeps it.
    for (int i = 0; i < count; ++i) {
      const platform::ListModel::StoredCell cell = list.CellBytes(lo + i, 0);
      if (cell.form == platform::ListModel::CellForm::Ascii) {
        keys.Add(AddressKey(cell.bytes, by));
      } else {
        list.ReadCell(lo + i, 0, text);
        bytes.clear();
        AppendOrderedBytes(AddressKey(QStringView(text), by), bytes);
        keys.Add(spill(bytes));
      }
    }
  }
  std::optional<std::vector<int>> order;
  {
    // Rows added, removed or reordered while the sort yields would not be where the order
    // says; edits of cells are carried along with their rows. The snapshot goes before the
    // rows move, which would copy it.
    const platform::ListModel::Snapshot rows = list.TakeSnapshot();
    order = QuicksortOrder(std::move(keys), ascending, progress);
    if (sorting.Stopped() || !order) return SortOutcome::Stopped;
    if (!list.SameRows(rows)) return SortOutcome::ListChanged;
  }

  if (count == list.ListCount()) {
    list.ReorderRows(*order);
  } else {
    std::vector<int> whole(static_cast<size_t>(list.ListCount()));
    std::iota(whole.begin(), whole.end(), 0);
    for (int i = 0; i < count; ++i) whole[lo + i] = lo + (*order)[i];
    list.ReorderRows(whole);
  }
  return SortOutcome::Sorted;
}

}  // namespace tools
