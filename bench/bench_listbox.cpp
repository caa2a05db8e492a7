#include <benchmark/benchmark.h>

#include <QApplication>

#include "platform/EventLoop.h"
#include "platform/ui/Listbox.h"

namespace {

// Removing rows one at a time from the last row to the first, as the send engine takes
// sent rows out of its queue, here half a million of them, with the list shown.
void BM_ListboxRemoveSelectedWalk(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    platform::Listbox list(2);
    std::vector<QStringList> cells;
    for (int i = 0; i < rows; ++i) cells.push_back({QStringLiteral("user%1@example.org").arg(i), {}});
    list.Model()->AppendRows(std::move(cells));
    for (int i = 0; i < rows; i += 2) list.SetSelected(i, true);
    list.resize(400, 300);
    list.show();
    QApplication::processEvents();
    state.ResumeTiming();
    for (int row = list.ListCount() - 1; row >= 0; --row) {
      if (list.Selected(row)) list.RemoveRow(row);
      platform::YieldToEventLoop();
    }
    QApplication::processEvents();
    benchmark::DoNotOptimize(list.ListCount());
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_ListboxRemoveSelectedWalk)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
