// The order the row-moving quicksort leaves rows in (tools::QuicksortOrder), computed on
// integer ranks of the keys in time near n log n where the quicksort itself is quadratic.
#include <algorithm>
#include <deque>

#include "tools/ListSort.h"
#include "tools/RankSequence.h"

namespace tools {

namespace {

using Entry = RankSequence::Entry;
using Key = SortKeys::Key;

// Hands the vector's memory back at once (assigning {} would keep it): the sort's arrays
// come one after another, and the largest must not stay while the next is made.
template <typename T>
void Free(std::vector<T>& v) {
  std::vector<T>().swap(v);
}

// Ranks are doubled, with this bit set on those that more than one key has.
constexpr uint32_t kShared = 1;

// Runs of keys up to this long are ordered by whole keys, not pushed as runs of their own.
constexpr size_t kShortRun = 16;

// The bytes of a key from `offset` on, compared the way whole keys are.
int CompareFrom(const Key& a, const Key& b, uint32_t offset) {
  const uint32_t size = std::min(a.size, b.size) - offset;
  const int bytes = size == 0 ? 0 : std::memcmp(a.data + offset, b.data + offset, size);
  if (bytes != 0) return bytes;
  return a.size == b.size ? 0 : (a.size < b.size ? -1 : 1);
}

// Puts the keys in their order, equal keys together, and marks in `starts` the place of
// the first of each distinct key. Eight bytes at a time make a number, the keys are sorted
// by it and by how many bytes they have past it (up to nine: "more than eight"), and each
// run of equal numbers whose keys go on is sorted again by the next eight. Sorting numbers
// held beside each key, instead of comparing bytes scattered over the list, is what makes
// ordering a million addresses cheap; most keys differ in their first eight bytes.
void OrderKeys(std::vector<Key>& keys, std::vector<bool>& starts) {
  struct Run {
    size_t begin;
    size_t end;
    uint32_t offset;
  };
  starts.assign(keys.size(), false);
  if (!keys.empty()) starts[0] = true;
  // A short run is ordered at once by whole keys, so that at most one run in kShortRun
  // keys waits.
  std::vector<Run> runs;
  const auto order = [&keys, &starts, &runs](const Run& run) {
    if (run.end - run.begin > kShortRun) {
      runs.push_back(run);
      return;
    }
    const auto from = [offset = run.offset](const Key& a, const Key& b) { return CompareFrom(a, b, offset); };
    std::sort(keys.begin() + static_cast<std::ptrdiff_t>(run.begin),
              keys.begin() + static_cast<std::ptrdiff_t>(run.end),
              [&from](const Key& a, const Key& b) { return from(a, b) < 0; });
    for (size_t i = run.begin + 1; i < run.end; ++i) starts[i] = from(keys[i - 1], keys[i]) != 0;
  };
  order({0, keys.size(), 0});
  while (!runs.empty()) {
    const Run run = runs.back();
    runs.pop_back();
    const uint32_t offset = run.offset;
    const auto begin = keys.begin() + static_cast<std::ptrdiff_t>(run.begin);
    const auto end = keys.begin() + static_cast<std::ptrdiff_t>(run.end);
    // The keys of a run all go on past the offset.
    const auto tail = [offset](const Key& k) { return std::min<uint32_t>(k.size - offset, 9); };
    bool same = true;
    for (auto k = begin; k != end; ++k) {
      if (offset > 0) k->head = SortKeys::Head(k->data + offset, k->size - offset);
      same = same && k->head == begin->head && tail(*k) == tail(*begin);
    }
    if (!same) {
      std::sort(begin, end, [&tail](const Key& a, const Key& b) {
        return a.head != b.head ? a.head < b.head : tail(a) < tail(b);
      });
    }
    for (size_t i = run.begin; i < run.end;) {
      size_t j = i + 1;
      while (j < run.end && keys[j].head == keys[i].head && tail(keys[j]) == tail(keys[i])) ++j;
      if (i > run.begin) starts[i] = true;
      // Keys with equal numbers that end within them are equal.
      if (j - i > 1 && tail(keys[i]) > 8) order({i, j, offset + 8});
      i = j;
    }
  }
}

// A double-ended run of entries that can be turned round in constant time.
class EntryRun {
 public:
  int Size() const { return static_cast<int>(m_entries.size()); }
  const Entry& At(int i) const { return m_reversed ? m_entries[m_entries.size() - 1 - i] : m_entries[i]; }
  void PushBack(const Entry& e) { m_reversed ? m_entries.push_front(e) : m_entries.push_back(e); }
  void PushFront(const Entry& e) { m_reversed ? m_entries.push_back(e) : m_entries.push_front(e); }
  void PopFront() { m_reversed ? m_entries.pop_back() : m_entries.pop_front(); }
  void PopBack() { m_reversed ? m_entries.pop_front() : m_entries.pop_back(); }
  void Reverse() { m_reversed = !m_reversed; }

 private:
  std::deque<Entry> m_entries;
  bool m_reversed = false;
};

// Ranges up to this wide are partitioned in the arrays whatever their pivot, and wider
// ones too until this many partitions in a row have put few of their rows in place.
constexpr int kChainWidth = 16;
constexpr int kChainAfter = 8;

class QuicksortRun {
 public:
  QuicksortRun(std::vector<uint32_t> ranks, const SortProgress& progress) : m_progress(progress) {
    m_items.resize(ranks.size());
    for (size_t i = 0; i < ranks.size(); ++i) m_items[i] = {ranks[i], static_cast<int>(i)};
    Free(ranks);
    m_scratch.resize(m_items.size());
  }

  // False when the progress callback stopped it.
  bool Run() {
    const int n = static_cast<int>(m_items.size());
    // A range, and how many partitions in a row put only a few rows of it in place.
    struct Range {
      int lo;
      int hi;
      int lopsided;
    };
    std::vector<Range> ranges;
    if (n > 1) ranges.push_back({0, n - 1, 0});
    while (!ranges.empty()) {
      auto [lo, hi, lopsided] = ranges.back();
      ranges.pop_back();
      while (lo < hi) {
        const int p = lo + (hi - lo) / 2;
        if (!Report(lo, p, hi, hi - lo + 1)) return false;
        const uint32_t pivot = m_items[p].rank;
        int stayBefore = 0;
        int movedBefore = 0;
        bool less = false;
        bool greater = false;
        uint32_t anyShared = pivot & kShared;  // whether a key of the range is shared
        // Without branches on the keys: on random keys they would be mispredicted half
        // the time.
        for (int i = lo; i < p; ++i) {
          const uint32_t r = m_items[i].rank;
          stayBefore += static_cast<int>(r <= pivot);
          less |= r < pivot;
          greater |= r > pivot;
          anyShared |= r & kShared;
        }
        for (int i = p + 1; i <= hi; ++i) {
          const uint32_t r = m_items[i].rank;
          movedBefore += static_cast<int>(r < pivot);
          less |= r < pivot;
          greater |= r > pivot;
          anyShared |= r & kShared;
        }
        // Keys that all equal the pivot's never move.
        if (!less && !greater) break;
        if (anyShared == 0) {
          PlaceInOrder(lo, hi);
          break;
        }
        // A pivot with the largest key puts its equals after it at the end, one with the
        // smallest its equals before it at the start. When that is only a few rows, time
        // and again, a chain of such partitions is likely to go on: building the chain's
        // sequence costs as much as several partitions, so a short chain runs here.
        const int peeled = !greater ? (hi - p) - movedBefore : stayBefore;
        const bool fewPlaced = (!less || !greater) && hi - lo + 1 > kChainWidth && peeled < (hi - lo + 1) / 8;
        lopsided = fewPlaced ? lopsided + 1 : 0;
        if (lopsided > kChainAfter) {
          if (!RunChain(lo, hi)) return false;
          lopsided = 0;
          continue;
        }
        const int place = Partition(lo, p, hi, stayBefore, movedBefore);
        // Go on with the smaller side and keep the larger for later: at most log2(n)
        // ranges wait, however unevenly the pivots split.
        if (place - lo < hi - place) {
          ranges.push_back({place + 1, hi, lopsided});
          hi = place - 1;
        } else {
          ranges.push_back({lo, place - 1, lopsided});
          lo = place + 1;
        }
      }
    }
    return true;
  }

  std::vector<int> Order() const {
    std::vector<int> order(m_items.size());
    for (size_t i = 0; i < m_items.size(); ++i) order[i] = m_items[i].row;
    return order;
  }

 private:
  bool Report(int lo, int pivot, int hi, long long work) {
    if (m_progress && (m_steps % kSortProgressSteps == 0 ||
                       m_steps / kSortProgressSteps != (m_steps + work - 1) / kSortProgressSteps)) {
      if (!m_progress(m_steps, lo, pivot, hi)) return false;
    }
    m_steps += work;
    return true;
  }

  // A range where no two keys are equal ends in the keys' order, whatever the pivots: and
  // since the range holds the rows of its final places, its ranks follow one another.
  void PlaceInOrder(int lo, int hi) {
    uint32_t first = m_items[lo].rank;
    for (int i = lo; i <= hi; ++i) first = std::min(first, m_items[i].rank);
    for (int i = lo; i <= hi; ++i)
      m_scratch[lo + static_cast<int>((m_items[i].rank - first) / 2)] = m_items[i];
    std::copy(m_scratch.begin() + lo, m_scratch.begin() + hi + 1, m_items.begin() + lo);
  }

  // One partition in the arrays, in one pass; returns the pivot's place. Rows before the
  // pivot that stay and rows moved from after it make the left side; the rows moved from
  // before it (last examined first) and the rows after it that stay make the right side.
  int Partition(int lo, int p, int hi, int stayBefore, int movedBefore) {
    const uint32_t pivot = m_items[p].rank;
    const int place = lo + stayBefore + movedBefore;
    int left = lo;
    int right = place + (p - lo - stayBefore);  // the last of the rows moved after
    for (int i = lo; i < p; ++i) {
      const int stays = static_cast<int>(m_items[i].rank <= pivot);
      m_scratch[stays ? left : right] = m_items[i];
      left += stays;
      right -= 1 - stays;
    }
    right = place + (p - lo - stayBefore) + 1;
    for (int i = p + 1; i <= hi; ++i) {
      const int moves = static_cast<int>(m_items[i].rank < pivot);
      m_scratch[moves ? left : right] = m_items[i];
      left += moves;
      right += 1 - moves;
    }
    m_scratch[place] = m_items[p];
    std::copy(m_scratch.begin() + lo, m_scratch.begin() + hi + 1, m_items.begin() + lo);
    return place;
  }

  // A range whose pivot has its smallest or its largest key: the partition leaves all but
  // the pivot's equals on one side, and on data with few distinct keys such partitions
  // follow one another, each peeling a few rows off a range of nearly the same width, so
  // that shifting the rest in the arrays each time is quadratic. These chains run without
  // shifting: on two runs of equal keys when the range holds only two keys, else on a
  // RankSequence, each partition in time for the rows it puts in place. Rows reach their
  // final places in the arrays. A range whose pivot is neither goes back to the main loop
  // as [lo, hi]; false when the progress callback stopped the sort.
  bool RunChain(int& lo, int& hi) {
    uint32_t smallest = m_items[lo].rank;
    uint32_t largest = smallest;
    for (int i = lo; i <= hi; ++i) {
      smallest = std::min(smallest, m_items[i].rank);
      largest = std::max(largest, m_items[i].rank);
    }
    bool twoKeys = true;
    for (int i = lo; i <= hi && twoKeys; ++i)
      twoKeys = m_items[i].rank == smallest || m_items[i].rank == largest;
    if (twoKeys) {
      const bool done = RunTwoKeys(lo, hi, largest);
      hi = lo - 1;
      return done;
    }
    return RunOnSequence(lo, hi);
  }

  bool RunOnSequence(int& lo, int& hi) {
    int t = m_sequence.Build(m_items.data() + lo, hi - lo + 1);
    std::vector<Entry> taken;
    while (true) {
      const int width = m_sequence.Size(t);
      const bool same = width <= 1 || m_sequence.MinRank(t) == m_sequence.MaxRank(t);
      const int p = (width - 1) / 2;
      const Entry pivot = same ? Entry{} : m_sequence.At(t, p);
      const bool largest = !same && pivot.rank == m_sequence.MaxRank(t);
      if (same || (!largest && pivot.rank != m_sequence.MinRank(t))) {
        taken.clear();
        m_sequence.Flatten(t, taken);
        std::copy(taken.begin(), taken.end(), m_items.begin() + lo);
        hi = same ? lo - 1 : lo + width - 1;
        return true;
      }
      int before = RankSequence::kNone;
      int rest = RankSequence::kNone;
      int self = RankSequence::kNone;
      int after = RankSequence::kNone;
      m_sequence.Split(t, p, before, rest);
      m_sequence.Split(rest, 1, self, after);
      taken.clear();
      if (largest) {
        // Everything before the pivot stays; its equals after it follow it, in order.
        after = m_sequence.TakeRank(after, pivot.rank, taken);
        t = m_sequence.Join(before, after);
        const int place = lo + m_sequence.Size(t);
        m_items[place] = pivot;
        std::copy(taken.begin(), taken.end(), m_items.begin() + place + 1);
      } else {
        // Its equals before it stay before it; the other rows before it go after it, the
        // last first, ahead of all the rows after it.
        before = m_sequence.TakeRank(before, pivot.rank, taken);
        std::copy(taken.begin(), taken.end(), m_items.begin() + lo);
        m_items[lo + static_cast<int>(taken.size())] = pivot;
        lo += static_cast<int>(taken.size()) + 1;
        m_sequence.Reverse(before);
        t = m_sequence.Join(before, after);
      }
      if (!Report(lo, lo + p, lo + width - 1, static_cast<long long>(taken.size()) + 1)) return false;
    }
  }

  // The chain of a range holding two keys, where every pivot is the smaller or the larger.
  // The range is always: a run of larger keys (the rows that passed before a pivot of the
  // smaller key, turned round each time), a slice of the range as it was, and a run of
  // smaller keys (the rows that passed after a pivot of the larger key). Each partition
  // takes rows out of the slice or off an end of a run, so every row is handled a fixed
  // number of times.
  bool RunTwoKeys(int lo, int hi, uint32_t high) {
    std::copy(m_items.begin() + lo, m_items.begin() + hi + 1, m_scratch.begin() + lo);
    int sliceBegin = lo;
    int sliceEnd = hi + 1;
    EntryRun highs;
    EntryRun lows;
    int highCount = 0;
    for (int i = lo; i <= hi; ++i) highCount += m_items[i].rank == high ? 1 : 0;
    int lowCount = hi - lo + 1 - highCount;
    int out = lo;  // the range's first place; rows put at the left end go here
    std::vector<Entry> placed;
    while (true) {
      const int runBefore = highs.Size();
      const int slice = sliceEnd - sliceBegin;
      const int width = runBefore + slice + lows.Size();
      const int end = out + width;
      if (lowCount == 0 || highCount == 0) {
        // One key left: nothing moves any more.
        for (int i = 0; i < runBefore; ++i) m_items[out++] = highs.At(i);
        out = std::copy(m_scratch.begin() + sliceBegin, m_scratch.begin() + sliceEnd, m_items.begin() + out) -
              m_items.begin();
        for (int i = 0; i < lows.Size(); ++i) m_items[out++] = lows.At(i);
        return true;
      }
      const int p = (width - 1) / 2;
      const bool pivotHigh =
          p < runBefore || (p < runBefore + slice && m_scratch[sliceBegin + p - runBefore].rank == high);
      int handled = 0;
      if (pivotHigh) {
        // The pivot and the larger keys after it end the range, in order; the smaller keys
        // after it go ahead of the run of smaller keys.
        placed.clear();
        for (int i = p; i < runBefore; ++i) placed.push_back(highs.At(i));
        while (highs.Size() > std::min(p, runBefore)) highs.PopBack();
        const int from = p < runBefore ? sliceBegin : sliceBegin + (p - runBefore);
        for (int i = from; i < sliceEnd; ++i) {
          if (m_scratch[i].rank == high) placed.push_back(m_scratch[i]);
        }
        for (int i = sliceEnd - 1; i >= from; --i) {
          if (m_scratch[i].rank != high) lows.PushFront(m_scratch[i]);
        }
        handled = sliceEnd - from + (runBefore - highs.Size());
        sliceEnd = from;
        std::copy(placed.begin(), placed.end(), m_items.begin() + (end - static_cast<int>(placed.size())));
        highCount -= static_cast<int>(placed.size());
      } else {
        // The smaller keys before the pivot and the pivot start the range, in order; the
        // larger keys before it go behind the run of larger keys, which is then turned.
        const int to = std::min(sliceEnd, sliceBegin + (p - runBefore));
        for (int i = sliceBegin; i < to; ++i) {
          if (m_scratch[i].rank == high) {
            highs.PushBack(m_scratch[i]);
          } else {
            m_items[out++] = m_scratch[i];
            --lowCount;
          }
        }
        handled = to - sliceBegin + 1;
        if (p < runBefore + slice) {
          m_items[out++] = m_scratch[to];  // the pivot
          sliceBegin = to + 1;
          --lowCount;
        } else {
          // The pivot is in the run of smaller keys: it follows those of them before it.
          sliceBegin = sliceEnd;
          for (int i = p - runBefore - slice; i >= 0; --i) {
            m_items[out++] = lows.At(0);
            lows.PopFront();
            --lowCount;
            ++handled;
          }
        }
        highs.Reverse();
      }
      if (!Report(out, out + p, end - 1, handled)) return false;
    }
  }

  std::vector<Entry> m_items;
  std::vector<Entry> m_scratch;
  RankSequence m_sequence;
  const SortProgress& m_progress;
  long long m_steps = 0;
};

}  // namespace

std::optional<std::vector<int>> QuicksortOrder(SortKeys keys, bool ascending, const SortProgress& progress) {
  std::vector<Key> ordered = std::move(keys.m_keys);
  std::vector<bool> starts;
  OrderKeys(ordered, starts);
  const auto distinct = static_cast<uint32_t>(std::count(starts.begin(), starts.end(), true));
  // Descending is ascending on mirrored ranks: "after the pivot" is then "less than it".
  std::vector<uint32_t> rank(ordered.size());
  uint32_t r = 0;
  for (size_t i = 0; i < ordered.size(); ++i) {
    r += i > 0 && starts[i] ? 1 : 0;
    const bool shared = !starts[i] || (i + 1 < ordered.size() && !starts[i + 1]);
    rank[ordered[i].row] = (ascending ? r : distinct - 1 - r) * 2 + (shared ? kShared : 0);
  }
  Free(ordered);
  Free(starts);
  QuicksortRun run(std::move(rank), progress);
  if (!run.Run()) return std::nullopt;
  return run.Order();
}

}  // namespace tools
