#include <benchmark/benchmark.h>

#include <QApplication>

#include "BenchSupport.h"
#include "platform/Date.h"

int main(int argc, char** argv) {
  platform::CacheLocalTimeZone();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // A fresh process that measures the memory of one run (see PeakMemoryMiB).
  if (bench_support::RunPeakMemoryChild(argc, argv)) return 0;
  ::benchmark::Initialize(&argc, argv);
  if (::benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  return 0;
}
