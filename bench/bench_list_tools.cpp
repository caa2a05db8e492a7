// The list tools on large lists, each the way a person runs it from its window: the sort
// window's Sort by domain (a million and five million rows), "Remove all from Main List" of an address-list
// window holding 100,000 addresses (Trash written), and Find all with its results window.
// Each beside a peer tool given the same rows, single-threaded as ours is.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "BenchSupport.h"
#include "app/ui/App.h"
#include "app/ui/MainWindow.h"
#include "platform/FolderItem.h"
#include "platform/Seams.h"
#include "platform/ui/Listbox.h"
#include "tools/ui/MessageWindow.h"
#include "tools/ui/SearchWindow.h"
#include "tools/ui/SortWindow.h"

namespace {

constexpr const char* kFindAllPattern = "Example\\.org$";

// A started program whose list holds the million addresses, in the file's order.
class MillionRowProgram {
 public:
  MillionRowProgram() : m_seams(platform::Seams{}) {
    platform::FolderItem::SetAppFolderForTests(m_dir.path());
    App::SetQuitForTests([] {});
    m_window = MainWindow::Instance();
    QFile file(bench_support::MillionAddressFile());
    if (file.open(QIODevice::ReadOnly)) {
      for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty()) m_rows.push_back({QString::fromUtf8(line), QString()});
      }
    }
    Restore();
  }
  ~MillionRowProgram() {
    m_window->Changed = false;  // nothing to save on close
    bench_support::CloseProgramWindows();
    App::SetQuitForTests({});
    platform::FolderItem::SetAppFolderForTests({});
  }
  void Restore() {
    m_window->elist->DeleteAllRows();
    m_window->elist->Model()->AppendRows(m_rows);
    QApplication::processEvents();
  }
  MainWindow* Window() const { return m_window; }
  const std::vector<QStringList>& Rows() const { return m_rows; }

 private:
  QTemporaryDir m_dir;
  platform::ScopedSeams m_seams;
  MainWindow* m_window = nullptr;
  std::vector<QStringList> m_rows;
};

double BestPeerSeconds(const QString& program, const QStringList& args) {
  double best = -1;
  for (int i = 0; i < 3; ++i) {
    const double s = bench_support::RunPeerSeconds(program, args);
    if (s > 0 && (best < 0 || s < best)) best = s;
  }
  return best;
}

// Times one run of the program's path, events it leaves behind included; keeps the best.
void TimeRun(benchmark::State& state, double& best, const std::function<void()>& run) {
  QElapsedTimer t;
  t.start();
  run();
  QApplication::processEvents();
  const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
  state.SetIterationTime(s);
  if (best < 0 || s < best) best = s;
}

// Sort by domain from the sort window, on the open list.
void SortByDomain(MainWindow* window) {
  auto* sort = new SortWindow(window);
  sort->DomainSort->setChecked(true);
  sort->PushButton1->click();
  QApplication::processEvents();
  delete sort;
}
[[maybe_unused]] const bool kSortByDomainStep =
    bench_support::RegisterMeasuredStep("sort-by-domain", SortByDomain);

// Sort by domain of a list whose rows share five domains (0) or where nearly each row has
// a domain of its own (1), beside GNU sort ordering the same lines by their host part with
// ties kept in order, one thread as ours; the memory the sort adds at its peak per row, in
// a program of its own.
void BM_SortByDomain(benchmark::State& state) {
  const bool perRow = state.range(0) != 0;
  const int rows = static_cast<int>(state.range(1));
  const QString& file = perRow ? bench_support::DomainPerRowFile(rows) : bench_support::AddressFile(rows);
  double best = -1;
  {
    bench_support::Program program({});
    program.Window()->show();
    auto* window = new SortWindow(program.Window());
    window->DomainSort->setChecked(true);
    best = bench_support::BestIteration(
        state, [&] { bench_support::RefillList(*program.Window()->elist->Model(), file); },
        [&] { window->PushButton1->click(); });
    delete window;
  }
  bench_support::ReportAgainstPeer(
      state, best, BestPeerSeconds("env", {"LC_ALL=C", "sort", "--parallel=1", "-s", "-t@", "-k2,2", file}),
      "sort_s_k2");
  bench_support::ReportGrowth(state, perRow ? "sort_domain_per_row" : "sort_five_domains", rows, best);
  const double extra = bench_support::StepPeakBytes(file, "sort-by-domain");
  if (extra < 0) state.SkipWithError("the measuring run failed");
  state.counters["extra_bytes_per_row"] = extra / rows;
}
BENCHMARK(BM_SortByDomain)
    ->ArgsProduct({{0, 1}, {1000000, 5000000}})
    ->ArgNames({"domain_per_row", "rows"})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void BM_BulkRemove100kFromMillionRows(benchmark::State& state) {
  MillionRowProgram program;
  // Every tenth address of the list.
  std::vector<QStringList> listed;
  QByteArray patterns;
  for (size_t i = 0; i < program.Rows().size(); i += 10) {
    listed.push_back({program.Rows()[i][0]});
    patterns += program.Rows()[i][0].toUtf8() + '\n';
  }
  const QString patternFile = bench_support::ScratchDir() + "/bulk-remove-100k.txt";
  QFile out(patternFile);
  if (out.open(QIODevice::WriteOnly)) out.write(patterns);
  out.close();
  double best = -1;
  int left = 0;
  for (auto _ : state) {
    program.Restore();
    QFile::remove(program.Window()->database.Child("Trash").AbsolutePath());
    auto window = std::make_unique<MessageWindow>(program.Window());
    window->MessageList->Model()->AppendRows(listed);
    TimeRun(state, best, [&] { window->RemoveFromMain->click(); });
    left = program.Window()->elist->ListCount();
  }
  state.counters["rows_left"] = left;
  bench_support::ReportAgainstPeer(
      state, best,
      BestPeerSeconds("env", {"LC_ALL=C", "grep", "-vxFf", patternFile, bench_support::MillionAddressFile()}),
      "grep_vxFf");
  // The same join by a hash of the listed lines, as ours works.
  bench_support::ReportAgainstPeer(state, best,
                                   BestPeerSeconds("awk", {"NR == FNR { listed[$0]; next } !($0 in listed)",
                                                           patternFile, bench_support::MillionAddressFile()}),
                                   "awk_hash_join");
}
BENCHMARK(BM_BulkRemove100kFromMillionRows)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_FindAllMillionRows(benchmark::State& state) {
  MillionRowProgram program;
  double best = -1;
  int found = 0;
  for (auto _ : state) {
    program.Window()->_EditFind_Action();
    SearchWindow* search = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* s = qobject_cast<SearchWindow*>(w); s && s->isVisible()) search = s;
    }
    search->Address->setText(kFindAllPattern);
    TimeRun(state, best, [&] { search->FindAll->click(); });
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* results = qobject_cast<MessageWindow*>(w)) {
        found = results->MessageList->ListCount();
        delete results;
      }
    }
  }
  state.counters["found"] = found;
  bench_support::ReportAgainstPeer(
      state, best, BestPeerSeconds("rg", {"-c", kFindAllPattern, bench_support::MillionAddressFile()}),
      "rg_c");
}
BENCHMARK(BM_FindAllMillionRows)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
