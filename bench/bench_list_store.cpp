#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>

#include "BenchSupport.h"
#include "lists/ListStore.h"
#include "platform/ListModel.h"

// Saving and opening a list of a million addresses, the way the main window does it: a
// snapshot of the rows written through the atomic stream with a yield per row, and a read
// line by line with a yield per line. The peer is "cp" copying the same file, the floor for
// any program that writes a file of that size.
namespace {

constexpr int kRows = 1000000;

struct Fixture {
  Fixture() : database(bench_support::ScratchDir() + "/ListFiles") {
    QDir().mkpath(database.AbsolutePath());
    std::vector<QStringList> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
      rows.push_back({QString("person%1@example%2.com").arg(i).arg(i % 97), i % 3 ? "News(1/2/26) " : ""});
    }
    list.AppendRows(std::move(rows));
  }
  platform::ListModel list{2};
  platform::FolderItem database;
  platform::FolderItem existing;
  QString lastopen;
  bool changed = false;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_StoreSaveMillionRows(benchmark::State& state) {
  Fixture& f = Shared();
  lists::ListStore store(&f.list, {f.database, f.existing, f.lastopen, f.changed}, {});
  f.existing = f.database.Child("Big");
  double ours = 1e9;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    f.changed = true;
    store.SaveFile();
    ours = std::min(ours, timer.nsecsElapsed() / 1e9);
  }
  const QString path = f.existing.AbsolutePath();
  const double peer = bench_support::RunPeerSeconds("cp", {path, path + ".copy"});
  bench_support::ReportAgainstPeer(state, ours, peer, "cp");
  state.counters["rows"] = kRows;
}
BENCHMARK(BM_StoreSaveMillionRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_StoreOpenMillionRows(benchmark::State& state) {
  Fixture& f = Shared();
  platform::ListModel list(2);
  platform::FolderItem existing;
  QString lastopen;
  bool changed = true;
  {
    lists::ListStore writer(&f.list, {f.database, f.existing, f.lastopen, changed}, {});
    f.existing = f.database.Child("Big");
    writer.SaveFile();
  }
  lists::ListStore store(&list, {f.database, existing, lastopen, changed}, {});
  for (auto _ : state) {
    changed = false;
    store.OpenDatabase("Big");
    benchmark::DoNotOptimize(list.ListCount());
  }
  state.counters["rows"] = list.ListCount();
}
BENCHMARK(BM_StoreOpenMillionRows)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
