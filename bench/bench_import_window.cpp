// The imports a person makes on the main window, each through the window's own handler and
// timed until the window has caught up: a file dropped (100 MB of mixed text, onto an empty
// list and onto an open list of a million; files of addresses), and text pasted. The
// duplicate test is on. Beside each, ripgrep and awk given the same job on one thread, as
// ours: the addresses in order, less repeats in other letter case, and less those the open
// list holds.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <memory>

#include "BenchSupport.h"
#include "app/ui/MainWindow.h"
#include "platform/ui/Listbox.h"

namespace {

using bench_support::Program;

// Times `import` on a fresh program started on `setup` (shown); the best of the iterations.
template <typename Import>
double TimeImport(benchmark::State& state, const Program::Setup& setup, Import import) {
  std::unique_ptr<Program> program;
  int before = 0;
  const double best = bench_support::BestIteration(
      state,
      [&] {
        program.reset();
        program = std::make_unique<Program>(setup);
        program->Window()->show();
        before = program->Window()->elist->ListCount();
      },
      [&] { import(program->Window()); });
  state.counters["rows_added"] = program->Window()->elist->ListCount() - before;
  return best;
}

// 100 MB of mixed text dropped onto an empty list (0) or onto an open list of a million
// addresses (1).
void BM_DropMixedText100MB(benchmark::State& state) {
  const QString& file = bench_support::MixedTextFile(100 << 20);
  const bool onList = state.range(0) != 0;
  const QString list = onList ? bench_support::ListFile(1000000) : QString();
  const double ours =
      TimeImport(state, {list, true, {}}, [&](MainWindow* window) { bench_support::DropFile(window, file); });
  state.SetBytesProcessed(state.iterations() * (100 << 20));
  bench_support::ReportAgainstPeer(
      state, ours, bench_support::BestPipelineSeconds(bench_support::ExtractUniquePipeline(file, list)),
      "rg_awk");
}
BENCHMARK(BM_DropMixedText100MB)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// The cost per row of addresses taken in, its growth, and awk keeping the first of each
// address in the same file beside it.
void ReportPerRowAgainstAwk(benchmark::State& state, const char* path, int rows, double ours,
                            const QString& file) {
  state.counters["ns_per_row"] = ours * 1e9 / rows;
  bench_support::ReportGrowth(state, path, rows, ours);
  bench_support::ReportAgainstPeer(
      state, ours,
      bench_support::BestPeerSeconds(QStringLiteral("awk"), {QStringLiteral("!seen[toupper($0)]++"), file}),
      "awk");
}

// A file of addresses, one a line, dropped onto an empty list: its cost per row must not
// grow with the rows.
void BM_DropAddressFile(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const QString& file = bench_support::AddressFile(rows);
  const double ours =
      TimeImport(state, {{}, true, {}}, [&](MainWindow* window) { bench_support::DropFile(window, file); });
  ReportPerRowAgainstAwk(state, "drop", rows, ours, file);
}
BENCHMARK(BM_DropAddressFile)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(5000000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// The same addresses pasted (Edit > Paste) onto an empty list.
void BM_PasteAddresses(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const QString& file = bench_support::AddressFile(rows);
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) state.SkipWithError("no addresses");
  const QString text = QString::fromLatin1(in.readAll());
  const double ours =
      TimeImport(state, {{}, true, text}, [](MainWindow* window) { window->_EditPaste_Action(); });
  ReportPerRowAgainstAwk(state, "paste", rows, ours, file);
}
BENCHMARK(BM_PasteAddresses)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(5000000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// The highest resident memory of the program after a file of addresses is dropped onto
// an empty list, beside the program started on a list file of the same addresses (each in a
// fresh process, the duplicate test on).
void BM_PeakMemoryOfDrop(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const QString& file = bench_support::AddressFile(rows);
  double dropped = -1;
  double opened = -1;
  for (auto _ : state) {
    dropped = bench_support::PeakMemoryMiB({{}, true, {}}, file);
    opened = bench_support::PeakMemoryMiB({file, true, QStringLiteral("pasted.address@example.com")});
  }
  if (dropped < 0 || opened < 0) state.SkipWithError("the measuring run failed");
  state.counters["peak_MiB"] = dropped;
  state.counters["opened_MiB"] = opened;
  state.counters["ratio_vs_opened"] = dropped / opened;
}
BENCHMARK(BM_PeakMemoryOfDrop)->Arg(1000000)->Arg(5000000)->Iterations(1)->Unit(benchmark::kMillisecond);

// Edit > Paste of 10 MB of mixed text onto an open list of a million addresses.
void BM_PasteMixedText10MBOnMillionList(benchmark::State& state) {
  const QString& file = bench_support::MixedTextFile(10 << 20);
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) state.SkipWithError("no text");
  const QString text = QString::fromUtf8(in.readAll());
  const QString& list = bench_support::ListFile(1000000);
  const double ours =
      TimeImport(state, {list, true, text}, [](MainWindow* window) { window->_EditPaste_Action(); });
  bench_support::ReportAgainstPeer(
      state, ours, bench_support::BestPipelineSeconds(bench_support::ExtractUniquePipeline(file, list)),
      "rg_awk");
}
BENCHMARK(BM_PasteMixedText10MBOnMillionList)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
