// The import a person makes: the million-address file dropped on the main window, with the
// duplicate test on. Every address goes the whole way: scanned from its line, tested against
// the list, added as a row, reported on the status line and in the log.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "app/ui/App.h"
#include "app/ui/MainWindow.h"
#include "lists/ui/MainWindowListsSetup.h"
#include "platform/FolderItem.h"
#include "platform/Seams.h"
#include "platform/ui/Listbox.h"

namespace {

void BM_DropMillionAddressFileOnWindow(benchmark::State& state) {
  const QString& file = bench_support::MillionAddressFile();
  QTemporaryDir dir;
  platform::FolderItem::SetAppFolderForTests(dir.path());
  platform::ScopedSeams seams({});
  App::SetQuitForTests([] {});
  lists::ui::InstallMainWindowHooks();
  double best = -1;
  int rows = 0;
  for (auto _ : state) {
    MainWindow* w = MainWindow::Instance();
    w->xduplicates = true;
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    w->getemailfromfile(platform::FolderItem(file));
    QApplication::processEvents();
    const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
    state.SetIterationTime(s);
    if (best < 0 || s < best) best = s;
    rows = w->elist->ListCount();
    w->Changed = false;  // nothing to save on close
    bench_support::CloseProgramWindows();
  }
  state.counters["rows"] = rows;
  bench_support::ReportAgainstPeer(state, best, bench_support::SortUniqueFoldSeconds(file), "sort_uf");
  App::SetQuitForTests({});
  platform::FolderItem::SetAppFolderForTests({});
}
BENCHMARK(BM_DropMillionAddressFileOnWindow)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
