// A million reports on the status line and into the message log of a main window on
// screen, as a send of a million messages makes them, with the log's tab in front. Beside
// it, awk printing the same million lines.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "app/MessageLog.h"
#include "app/ui/MainWindow.h"
#include "platform/EventLoop.h"
#include "platform/FolderItem.h"
#include "platform/Seams.h"
#include "platform/ui/App.h"

namespace {

void BM_SetSlug(benchmark::State& state) {
  QTemporaryDir dir;
  platform::FolderItem::SetAppFolderForTests(dir.path());
  platform::ScopedSeams seams({});
  App::SetQuitForTests([] {});
  const int calls = static_cast<int>(state.range(0));
  const double ours = bench_support::BestIteration(
      state,
      [] {
        bench_support::CloseProgramWindows();
        MainWindow::Instance()->TabPanel1->setCurrentIndex(2);
      },
      [calls] {
        MainWindow* w = MainWindow::Instance();
        for (int i = 0; i < calls; ++i) {
          w->SetSlug(QStringLiteral("someone%1@example.com added.").arg(i));
          platform::YieldToEventLoop();
        }
      });
  bench_support::CloseProgramWindows();
  state.SetItemsProcessed(state.iterations() * calls);
  App::SetQuitForTests({});
  platform::FolderItem::SetAppFolderForTests({});
  bench_support::ReportAgainstPeer(
      state, ours,
      bench_support::BestPeerSeconds(
          QStringLiteral("awk"),
          {QStringLiteral("BEGIN { for (i = 0; i < %1; i++) print \"someone\" i \"@example.com added.\" }")
               .arg(calls)}),
      "awk_print");
}

}  // namespace

BENCHMARK(BM_SetSlug)->Arg(1000000)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
