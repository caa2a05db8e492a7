// A million reports into the message log of a main window on screen, as a long import
// that reports once per address makes them, with the log's tab in front.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "app/MessageLog.h"
#include "app/ui/App.h"
#include "app/ui/MainWindow.h"
#include "platform/EventLoop.h"
#include "platform/FolderItem.h"
#include "platform/Seams.h"

namespace {

void RunSetSlug(benchmark::State& state, bool yieldEachCall) {
  QTemporaryDir dir;
  platform::FolderItem::SetAppFolderForTests(dir.path());
  platform::ScopedSeams seams({});
  App::SetQuitForTests([] {});
  const int calls = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    MainWindow* w = MainWindow::Instance();
    w->TabPanel1->setCurrentIndex(2);
    QApplication::processEvents();
    state.ResumeTiming();
    for (int i = 0; i < calls; ++i) {
      w->SetSlug(QStringLiteral("someone%1@example.com added.").arg(i));
      if (yieldEachCall) platform::YieldToEventLoop();
    }
    QApplication::processEvents();  // the log's final layout and paint
    state.PauseTiming();
    benchmark::DoNotOptimize(w->UserMessagesLog().Count());
    bench_support::CloseProgramWindows();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * calls);
  App::SetQuitForTests({});
  platform::FolderItem::SetAppFolderForTests({});
}

void BM_SetSlug(benchmark::State& state) {
  RunSetSlug(state, false);
}
void BM_SetSlugYieldingEachCall(benchmark::State& state) {
  RunSetSlug(state, true);
}

}  // namespace

BENCHMARK(BM_SetSlug)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SetSlugYieldingEachCall)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
