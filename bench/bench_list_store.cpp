// A list of a million addresses opened and saved the way the main window does it (File >
// Save with edits to write), and the memory the program takes with such a list open and
// the duplicate test on. Beside the save, cp and sync writing the same bytes to disk; beside
// the open, awk reading the same lines into memory.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "BenchSupport.h"
#include "app/ui/MainWindow.h"
#include "platform/ui/Listbox.h"

namespace {

using bench_support::Program;

constexpr int kRows = 1000000;

void BM_OpenDatabaseMillionRows(benchmark::State& state) {
  const QString& list = bench_support::ListFile(kRows);
  Program program({list, true, {}});
  MainWindow* window = program.Window();
  window->show();
  QApplication::processEvents();
  const double best = bench_support::BestIteration(
      state, [&] { window->OpenDatabase(QStringLiteral("No such list")); },  // an empty list, none open
      [&] { window->OpenDatabase(QStringLiteral("Members")); });
  state.counters["rows"] = window->elist->ListCount();
  bench_support::ReportAgainstPeer(
      state, best,
      bench_support::BestPeerSeconds(QStringLiteral("awk"), {QStringLiteral("{ rows[NR] = $0 }"), list}),
      "awk");
}
BENCHMARK(BM_OpenDatabaseMillionRows)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_SaveFileMillionRows(benchmark::State& state) {
  const QString& list = bench_support::ListFile(kRows);
  Program program({list, true, {}});
  MainWindow* window = program.Window();
  window->show();
  QApplication::processEvents();
  const QString saved = program.Folder() + QStringLiteral("/Database/Members");
  const double best = bench_support::BestIteration(
      state, [&] { window->Changed = true; }, [&] { window->SaveFile(); });
  state.counters["rows"] = window->elist->ListCount();
  bench_support::ReportAgainstPeer(
      state, best, bench_support::BestPipelineSeconds(QStringLiteral("cp '%1' '%1.copy' && sync").arg(saved)),
      "cp_sync");
}
BENCHMARK(BM_SaveFileMillionRows)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The highest resident memory of the program started on a list of this many rows with the
// duplicate test on and one address pasted (so the test has its index), each in a fresh
// process; beside it the same program started on no list.
void BM_PeakMemoryWithListOpen(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const QString& list = bench_support::ListFile(rows);
  const QString pasted = QStringLiteral("pasted.address@example.com");
  double peak = -1;
  double empty = -1;
  for (auto _ : state) {
    peak = bench_support::PeakMemoryMiB({list, true, pasted});
    empty = bench_support::PeakMemoryMiB({{}, true, pasted});
  }
  if (peak < 0 || empty < 0) state.SkipWithError("the measuring run failed");
  state.counters["peak_MiB"] = peak;
  state.counters["no_list_MiB"] = empty;
  state.counters["bytes_per_row"] = (peak - empty) * 1024 * 1024 / rows;
}
BENCHMARK(BM_PeakMemoryWithListOpen)
    ->Arg(1000000)
    ->Arg(5000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
