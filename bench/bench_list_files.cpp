#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <memory>

#include "BenchSupport.h"
#include "lists/DuplicateIndex.h"
#include "platform/ListModel.h"

// Removing every other row of a million in bulk and testing an address for a duplicate
// right after, with the duplicate index following the list, beside the same removal on a
// list without an index: what the index adds to a bulk removal (it indexes the rows that
// stay when next asked).
namespace {

constexpr int kRows = 1000000;

void FillList(platform::ListModel& list) {
  std::vector<QStringList> rows;
  rows.reserve(kRows);
  for (int i = 0; i < kRows; ++i) {
    const QString address = QStringLiteral("member.%1@example.com").arg(i);
    rows.push_back({address, i % 3 == 0 ? QStringLiteral("Spring(1/2/26) Summer(6/7/26) ") : QString()});
  }
  list.AppendRows(std::move(rows));
}

double RemoveHalf(bool indexed) {
  platform::ListModel list(2);
  FillList(list);
  std::unique_ptr<lists::DuplicateIndex> index;
  if (indexed) {
    index = std::make_unique<lists::DuplicateIndex>(&list);
    benchmark::DoNotOptimize(index->Contains(QStringLiteral("someone@example.com")));
  }
  QElapsedTimer t;
  t.start();
  list.RemoveRowsIf([](int row) { return row % 2 == 0; });
  if (index) benchmark::DoNotOptimize(index->Contains(QStringLiteral("MEMBER.7@example.com")));
  return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

void BM_BulkRemovalThenDuplicateTest(benchmark::State& state) {
  double ours = -1;
  double plain = -1;
  for (auto _ : state) {
    const double indexed = RemoveHalf(true);
    const double without = RemoveHalf(false);
    state.SetIterationTime(indexed);
    if (ours < 0 || indexed < ours) ours = indexed;
    if (plain < 0 || without < plain) plain = without;
  }
  bench_support::ReportAgainstPeer(state, ours, plain, "no_index");
}
BENCHMARK(BM_BulkRemovalThenDuplicateTest)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
