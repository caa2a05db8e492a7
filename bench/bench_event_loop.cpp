#include <benchmark/benchmark.h>

#include <QStringList>

#include "platform/EventLoop.h"

// A million-step loop with a little work per step, with and without the yield.
namespace {

QString Step(int i) {
  return QString::number(i);
}

void BM_LoopWithoutYield(benchmark::State& state) {
  for (auto _ : state) {
    qsizetype total = 0;
    for (int i = 0; i < 1000000; ++i) total += Step(i).size();
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_LoopWithoutYield)->Unit(benchmark::kMillisecond);

void BM_LoopWithYield(benchmark::State& state) {
  for (auto _ : state) {
    qsizetype total = 0;
    for (int i = 0; i < 1000000; ++i) {
      total += Step(i).size();
      platform::YieldToEventLoop();
    }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_LoopWithYield)->Unit(benchmark::kMillisecond);

}  // namespace
