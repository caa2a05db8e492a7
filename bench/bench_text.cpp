#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include "BenchSupport.h"
#include "platform/FolderItem.h"
#include "platform/Text.h"

// Find's case-blind search over a list's addresses, and the walk of a dropped folder.
namespace {

void BM_InStrCaseInsensitive(benchmark::State& state) {
  QStringList rows;
  for (int i = 0; i < 100000; ++i) rows << QStringLiteral("Person%1@Example.COM").arg(i);
  for (auto _ : state) {
    int found = 0;
    for (const QString& row : rows) found += platform::InStr(row, QStringLiteral("example.com")) > 0;
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_InStrCaseInsensitive)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The walk of a dropped folder: Count read again before every Item, as the importer does;
// of a folder left alone for a while (second argument 1) or just unpacked (0).
void BM_WalkFolderItems(benchmark::State& state) {
  const QString folder =
      bench_support::ScratchDir() + QStringLiteral("/walk-%1-%2").arg(state.range(0)).arg(state.range(1));
  QDir().mkpath(folder);
  for (int i = 0; i < state.range(0); ++i) {
    QFile file(folder + QStringLiteral("/file%1.txt").arg(i));
    if (!file.exists()) file.open(QIODevice::WriteOnly);
  }
  // Listings of folders changed within the last seconds are trusted only briefly.
  if (state.range(1) == 1) QThread::sleep(4);
  const platform::FolderItem item(folder);
  for (auto _ : state) {
    qsizetype total = 0;
    for (int i = 1; i <= item.Count(); ++i) total += item.Item(i).DisplayName().size();
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_WalkFolderItems)
    ->Args({1000, 1})
    ->Args({5000, 1})
    ->Args({5000, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace
