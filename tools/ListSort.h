#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QtEndian>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

namespace platform {
class ListModel;
}

namespace tools {

// What the rows of the address list are sorted by.
enum class SortBy {
  Id,         // the whole address
  Domain,     // the next-to-last label of the host part ("example" of a@mail.example.com)
  Subdomain,  // the whole host part after "@"
  Date,       // the latest date in the mailing history
};

// The sort key of one row, from its address and its mailing history. Keys are texts and
// are compared exactly (platform::StrComp mode 0), the day count of the date key included.
QString SortKey(const QString& address, const QString& history, SortBy by);

// Told of the sort's progress every kSortProgressSteps steps: the steps so far and the
// range being partitioned with its pivot's place. Returning false stops the sort.
using SortProgress = std::function<bool(long long steps, int lo, int pivot, int hi)>;
inline constexpr int kSortProgressSteps = 2000;

// The keys of the rows to order, in row order, each as bytes whose order (byte by byte,
// a key before any longer key it begins) is the keys' exact order. The bytes are read
// where they lie: they must stay there until the order is computed.
class SortKeys {
 public:
  struct Key {
    uint64_t head;  // the first eight bytes, the first the most significant; zeros past the end
    const char* data;
    uint32_t size;  // a cell of 4 GiB never fits a list in memory
    uint32_t row;
  };
  void Reserve(size_t count) { m_keys.reserve(count); }
  void Add(QByteArrayView key) {
    m_keys.push_back({Head(key.data(), key.size()), key.data(), static_cast<uint32_t>(key.size()),
                      static_cast<uint32_t>(m_keys.size())});
  }
  // Eight bytes from `data` as a number in their order, zeros past `size`.
  static uint64_t Head(const char* data, qsizetype size) {
    uint64_t head = 0;
    if (size >= 8) {
      std::memcpy(&head, data, 8);
      return qFromBigEndian(head);
    }
    for (qsizetype i = 0; i < 8; ++i) head = head << 8 | (i < size ? static_cast<unsigned char>(data[i]) : 0);
    return head;
  }

 private:
  friend std::optional<std::vector<int>> QuicksortOrder(SortKeys keys, bool ascending,
                                                        const SortProgress& progress);
  std::vector<Key> m_keys;
};

// The order in which the row-moving quicksort leaves rows with these keys: element i of
// the result is the row that ends in place i. That quicksort takes the middle row
// ((lo + hi) / 2, rounded down) of each range as the pivot and walks the range once:
// every row before the pivot that belongs after it is moved to just after the pivot,
// every row after it that belongs before it to just before the pivot, and rows whose key
// equals the pivot's stay on their side. So each range ends as: the rows before the
// pivot that stayed, the rows moved from after it (in their order), the pivot, the rows
// moved from before it (in reverse order), the rows after it that stayed. The same
// arrangement is built here in one linear pass per range, on integer ranks of the keys,
// with a loop instead of recursion; long runs of partitions that each put only a few rows
// in place (few distinct keys, a list in reverse order) take time for those rows only. A
// range whose keys all differ ends in the keys' order, whatever its pivots, and is put so
// at once. The steps told to `progress` count the rows handled; nothing when it stops the
// sort.
std::optional<std::vector<int>> QuicksortOrder(SortKeys keys, bool ascending,
                                               const SortProgress& progress = {});

enum class SortOutcome {
  Sorted,
  Busy,         // a sort of this list is under way already; nothing was done
  ListChanged,  // rows were added or removed while the sort ran; nothing moved
  Stopped,      // the progress callback stopped it, or the list went
};

// Sorts rows lo..hi of a two-column list (address, history) in place: the rows' texts are
// read when the sort starts, and the new order is put in with one layout change.
SortOutcome SortRows(platform::ListModel& list, int lo, int hi, SortBy by, bool ascending,
                     const SortProgress& progress = {});

}  // namespace tools
