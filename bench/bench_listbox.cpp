#include <benchmark/benchmark.h>

#include <QApplication>

#include "platform/EventLoop.h"
#include "platform/ui/Listbox.h"

// Reading a list file adds its rows one at a time to a shown list, yielding between
// rows; each add must cost the view a constant, or a big file takes quadratic time.
namespace {

void BM_ListboxAddRowsOneByOne(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  for (auto _ : state) {
    platform::Listbox list(2);
    list.resize(400, 300);
    list.show();
    QApplication::processEvents();
    for (int i = 0; i < rows; ++i) {
      list.AddRow(QStringLiteral("user%1@example.org").arg(i));
      list.SetCell(list.LastIndex(), 1, QStringLiteral("News(1/2/2024) "));
      platform::YieldToEventLoop();
    }
    QApplication::processEvents();
    benchmark::DoNotOptimize(list.ListCount());
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_ListboxAddRowsOneByOne)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

namespace {

// Removing the selected rows the way the list commands do: from the last row to the
// first, one RemoveRow per selected row, with the list shown.
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
