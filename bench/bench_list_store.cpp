// A list opened and saved the way a person does it, at sizes up to five million rows, with
// the cost per row and its growth from the smallest size: opening at start-up (the
// executable measured from outside until it has shown the list, against the same start-up
// on no list), opening again from the side bar, and File > Save with edits to write. Beside
// the opens, awk reading the same lines into memory; beside the save, cp and an fsync of
// the copy writing the same bytes to disk. Also the memory the program takes with such a
// list open and the duplicate test on.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>

#include "BenchSupport.h"
#include "app/ui/MainWindow.h"
#include "platform/ui/Listbox.h"

namespace {

using bench_support::Program;

void ReportCpuAgainst(benchmark::State& state, double ours, double peer, const char* peerName) {
  state.counters["cpu_s"] = ours;
  state.counters[std::string(peerName) + "_cpu_s"] = peer;
  if (peer > 0) state.counters["cpu_ratio_vs_" + std::string(peerName)] = ours / peer;
}

// BestIteration, also keeping the least CPU a step took in *cpu.
template <typename Prepare, typename Step>
double BestIterationWithCpu(benchmark::State& state, Prepare prepare, Step step, double* cpu) {
  return bench_support::BestIteration(state, prepare, [&] {
    const double start = bench_support::ProcessCpuSeconds();
    step();
    const double used = bench_support::ProcessCpuSeconds() - start;
    if (*cpu < 0 || used < *cpu) *cpu = used;
  });
}

// The program started on a list file of this many rows, its main window shown.
MainWindow* Shown(Program& program) {
  program.Window()->show();
  QApplication::processEvents();
  return program.Window();
}

double AwkCpu(const QString& list) {
  return bench_support::BestProcessCost(QStringLiteral("awk"), {QStringLiteral("{ rows[NR] = $0 }"), list})
      .cpu;
}

// The start-up of the executable on a list of this many rows; shown_after_s is how much
// later it shows the list than an empty start-up shows nothing, cpu_s the CPU it spends
// more.
void BM_StartUpOnList(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const QString& list = bench_support::ListFile(rows);
  bench_support::ProcessCost ours;
  bench_support::ProcessCost empty;
  for (auto _ : state) {
    ours = bench_support::StartUntilQuiet(list);
    empty = bench_support::StartUntilQuiet({});
    state.SetIterationTime(ours.wall);
  }
  if (ours.wall < 0 || empty.wall < 0) state.SkipWithError("the program did not start");
  state.counters["shown_after_s"] = ours.wall - empty.wall;
  state.counters["peak_MiB"] = ours.peakMiB;
  ReportCpuAgainst(state, ours.cpu - empty.cpu, AwkCpu(list), "awk");
  state.counters["ns_per_row"] = (ours.cpu - empty.cpu) * 1e9 / rows;
  bench_support::ReportGrowth(state, "start-up", rows, ours.cpu - empty.cpu);
}
BENCHMARK(BM_StartUpOnList)
    ->Arg(1000000)
    ->Arg(5000000)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The list opened again on a running program, from an empty list.
void BM_ReopenList(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const QString& list = bench_support::ListFile(rows);
  Program program({list, true, {}});
  MainWindow* window = Shown(program);
  double cpu = -1;
  const double best = BestIterationWithCpu(
      state, [&] { window->OpenDatabase(QStringLiteral("No such list")); },  // an empty list, none open
      [&] {
        window->OpenDatabase(QStringLiteral("Members"));
        QApplication::processEvents();
      },
      &cpu);
  if (window->elist->ListCount() != rows) state.SkipWithError("the list did not open whole");
  ReportCpuAgainst(state, cpu, AwkCpu(list), "awk");
  state.counters["ns_per_row"] = best * 1e9 / rows;
  bench_support::ReportGrowth(state, "reopen", rows, best);
}
BENCHMARK(BM_ReopenList)
    ->Arg(1000000)
    ->Arg(5000000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// File > Save; the peer copies the saved file over a copy made before and fsyncs it, as a
// save replaces the list file and fsyncs it.
void BM_SaveList(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const QString& list = bench_support::ListFile(rows);
  Program program({list, true, {}});
  MainWindow* window = Shown(program);
  const QString saved = program.Folder() + QStringLiteral("/Database/Members");
  double cpu = -1;
  const double best = BestIterationWithCpu(
      state, [&] { window->Changed = true; }, [&] { window->SaveFile(); }, &cpu);
  if (QFile(saved).size() != QFile(list).size()) state.SkipWithError("the saved file differs");
  const QString copy = saved + QStringLiteral(".copy");
  QFile::copy(saved, copy);
  const bench_support::ProcessCost peer = bench_support::BestProcessCost(
      QStringLiteral("sh"),
      {QStringLiteral("-c"), QStringLiteral("cp '%1' '%2' && sync '%2'").arg(saved, copy)});
  QFile::remove(copy);
  bench_support::ReportAgainstPeer(state, best, peer.wall, "cp_fsync");
  ReportCpuAgainst(state, cpu, peer.cpu, "cp_fsync");
  state.counters["ns_per_row"] = best * 1e9 / rows;
  bench_support::ReportGrowth(state, "save", rows, best);
}
BENCHMARK(BM_SaveList)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(5000000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

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
