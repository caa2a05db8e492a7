#include <benchmark/benchmark.h>

#include <memory>

#include "platform/ListModel.h"

// The bulk operations of the address list at a million rows: each must be one pass
// and one signal, not a per-row walk through the view.
namespace {

constexpr int kRows = 1000000;

std::vector<QStringList> MillionRows() {
  std::vector<QStringList> rows;
  rows.reserve(kRows);
  for (int i = 0; i < kRows; ++i) rows.push_back({QStringLiteral("user%1@example.org").arg(i), QString()});
  return rows;
}

void BM_ListModelAppendMillion(benchmark::State& state) {
  const std::vector<QStringList> rows = MillionRows();
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<QStringList> batch = rows;
    auto model = std::make_unique<platform::ListModel>(2);
    state.ResumeTiming();
    model->AppendRows(std::move(batch));
    benchmark::DoNotOptimize(model->ListCount());
    state.PauseTiming();  // the model's destruction is not the append's cost
    model.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ListModelAppendMillion)->Unit(benchmark::kMillisecond);

void BM_ListModelRemoveHalfOfMillion(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto model = std::make_unique<platform::ListModel>(2);
    model->AppendRows(MillionRows());
    state.ResumeTiming();
    model->RemoveRowsIf([](int row) { return row % 2 == 0; });
    benchmark::DoNotOptimize(model->ListCount());
    state.PauseTiming();
    model.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ListModelRemoveHalfOfMillion)->Unit(benchmark::kMillisecond);

void BM_ListModelSelectAllMillion(benchmark::State& state) {
  platform::ListModel model(2);
  model.AppendRows(MillionRows());
  bool selected = true;
  for (auto _ : state) {
    model.SetAllSelected(selected);
    benchmark::DoNotOptimize(model.SelCount());
    selected = !selected;
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ListModelSelectAllMillion)->Unit(benchmark::kMillisecond);

}  // namespace
