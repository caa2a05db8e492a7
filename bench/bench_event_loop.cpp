#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>

#include "BenchSupport.h"
#include "platform/EventLoop.h"

// What yielding once per step costs a long loop: the same million-step loop with and
// without platform::YieldToEventLoop(), both timed in the same run, alternating, so
// the ratio is not skewed by the machine's load drifting between two benchmarks.
namespace {

constexpr int kSteps = 1000000;

QString Step(int i) {
  return QString::number(i);
}

double TimeLoop(bool yield) {
  QElapsedTimer timer;
  timer.start();
  qsizetype total = 0;
  for (int i = 0; i < kSteps; ++i) {
    total += Step(i).size();
    if (yield) platform::YieldToEventLoop();
  }
  benchmark::DoNotOptimize(total);
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// The fastest of the rounds of each, since other programs on a shared machine only ever
// add time.
void BM_LoopYieldOverhead(benchmark::State& state) {
  double with = 1e9;
  double without = 1e9;
  for (auto _ : state) {
    without = std::min(without, TimeLoop(false));
    with = std::min(with, TimeLoop(true));
  }
  bench_support::ReportAgainstPeer(state, with, without, "no_yield");
}
BENCHMARK(BM_LoopYieldOverhead)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
