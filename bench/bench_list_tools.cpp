// The list tools on large lists, each the way a person runs it from its window: the sort
// window's Sort by domain (a million and five million rows), "Remove all from Main List" of an address-list
// window holding 100,000 addresses (Trash written), and Find all with its results window.
// Each beside a peer tool given the same rows, single-threaded as ours is.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>
#include <thread>

#include "BenchSupport.h"
#include "app/ui/MainWindow.h"
#include "app/ui/Windows.h"
#include "platform/FolderItem.h"
#include "platform/Seams.h"
#include "platform/ui/App.h"
#include "platform/ui/Listbox.h"
#include "tools/ui/MessageWindow.h"
#include "tools/ui/SearchWindow.h"
#include "tools/ui/SortWindow.h"

namespace {

constexpr const char* kFindAllPattern = "Example\\.org$";

std::vector<QStringList> MillionRows() {
  std::vector<QStringList> rows;
  QFile file(bench_support::MillionAddressFile());
  if (file.open(QIODevice::ReadOnly)) {
    for (const QByteArray& line : file.readAll().split('\n')) {
      if (!line.isEmpty()) rows.push_back({QString::fromUtf8(line), QString()});
    }
  }
  return rows;
}

// A started program whose list holds the given rows (the million addresses, in the file's
// order, unless told).
class MillionRowProgram {
 public:
  explicit MillionRowProgram(std::vector<QStringList> rows = MillionRows())
      : m_seams(platform::Seams{}), m_rows(std::move(rows)) {
    platform::FolderItem::SetAppFolderForTests(m_dir.path());
    App::SetQuitForTests([] {});
    m_window = MainWindow::Instance();
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
  std::vector<QStringList> m_rows;
  MainWindow* m_window = nullptr;
};

// Closes the results windows; the rows the last one held.
int CloseResults() {
  int found = 0;
  // Deleting a window deletes the menus it owns, top-level widgets too: held weakly.
  QList<QPointer<MessageWindow>> results;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* window = qobject_cast<MessageWindow*>(w)) results.append(window);
  }
  for (const QPointer<MessageWindow>& window : results) {
    if (!window) continue;
    found = window->MessageList->ListCount();
    delete window.data();
  }
  return found;
}

// Presses Find all with the pattern in a new search window; returns the results window's
// row count, the results window closed.
int FindAll(MainWindow* window, const QString& pattern, const std::function<void(SearchWindow*)>& press) {
  window->_EditFind_Action();
  SearchWindow* search = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* s = qobject_cast<SearchWindow*>(w); s && s->isVisible()) search = s;
  }
  search->Address->setText(pattern);
  press(search);
  return CloseResults();
}

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
  auto* sort = app::ui::MakeSortWindow(*window);
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
    auto* window = app::ui::MakeSortWindow(*program.Window());
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
    std::unique_ptr<MessageWindow> window(app::ui::MakeMessageWindow(*program.Window()));
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
    found = FindAll(program.Window(), kFindAllPattern,
                    [&](SearchWindow* search) { TimeRun(state, best, [&] { search->FindAll->click(); }); });
  }
  state.counters["found"] = found;
  bench_support::ReportAgainstPeer(
      state, best, BestPeerSeconds("rg", {"-c", kFindAllPattern, bench_support::MillionAddressFile()}),
      "rg_c");
}
BENCHMARK(BM_FindAllMillionRows)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The longest the event loop could not run while `run` ran: a zero timer times out once
// each time the loop runs.
qint64 LongestGapMs(const std::function<void()>& run) {
  QTimer everyRun;
  QElapsedTimer sinceRun;
  qint64 longest = 0;
  QObject::connect(&everyRun, &QTimer::timeout, [&] { longest = std::max(longest, sinceRun.restart()); });
  everyRun.start(0);
  sinceRun.start();
  run();
  return std::max(longest, sinceRun.elapsed());
}

// Find all of a pattern that backtracks: 20,000 short rows, then 600 rows of `as` times
// "a" on which each match takes milliseconds (28) or runs into the engine's match limit
// (60). Reports the longest the window went without its event loop running, and whether
// the search ended with the engine's words.
void BM_FindAllBacktracking(benchmark::State& state) {
  const auto as = static_cast<int>(state.range(0));
  std::vector<QStringList> rows;
  rows.reserve(20600);
  for (int i = 0; i < 20000; ++i) rows.push_back({QStringLiteral("a%1@example.org").arg(i), QString()});
  for (int i = 0; i < 600; ++i) rows.push_back({QString(as, QLatin1Char('a')) + "@example.org", QString()});
  MillionRowProgram program(std::move(rows));
  double best = -1;
  int found = 0;
  qint64 longestGap = 0;
  for (auto _ : state) {
    found = FindAll(program.Window(), "(a|aa)+$", [&](SearchWindow* search) {
      TimeRun(state, best, [&] { longestGap = LongestGapMs([&] { search->FindAll->click(); }); });
    });
  }
  state.counters["found"] = found;
  state.counters["longest_gap_ms"] = static_cast<double>(longestGap);
  state.counters["gave_up"] = program.Window()->Slug->text().startsWith("Search error = ") ? 1 : 0;
}
BENCHMARK(BM_FindAllBacktracking)
    ->Arg(28)
    ->Arg(60)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Resident memory in MiB: now, or the most since the peak was last reset.
double ResidentMiB(const char* field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith(field)) return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
  }
  return -1;
}

// An opt-out service on loopback in a thread of its own: each connection gets the reply
// whole once its request is in, then the close.
class ReplyService {
 public:
  explicit ReplyService(QByteArray reply) : m_reply(std::move(reply)) {
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool listening = ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                           ::listen(m_listener, 4) == 0 &&
                           ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    port = listening ? ntohs(address.sin_port) : 0;
    m_thread = std::thread([this] {
      for (int client; (client = ::accept(m_listener, nullptr, nullptr)) >= 0; ::close(client)) {
        QByteArray request;
        char buffer[4096];
        for (ssize_t n; !request.contains("\n\n") && !request.contains("\n\r\n") &&
                        (n = ::read(client, buffer, sizeof buffer)) > 0;)
          request.append(buffer, n);
        for (qsizetype at = 0, n = 0; at < m_reply.size() && n >= 0; at += n)
          n = ::write(client, m_reply.constData() + at, static_cast<size_t>(m_reply.size() - at));
      }
    });
  }
  ~ReplyService() {
    ::shutdown(m_listener, SHUT_RDWR);
    m_thread.join();
    ::close(m_listener);
  }
  quint16 port = 0;

 private:
  QByteArray m_reply;
  int m_listener = -1;
  std::thread m_thread;
};

// The opt-out check of a reply of 3.5 million "In" lines (63 MB, one chunk) on a list of
// a million rows that all appear in it: the whole check from the menu command to the row
// count on the status line, the longest the event loop could not run meanwhile, the peak
// memory it took and what it keeps once it has ended. With 1, the service's refusal takes
// the last chunk's place, which stops the check. Beside curl decoding the same reply from
// the same service and grep counting its "In" lines.
void BM_OptOutCheckOfA63MBReply(benchmark::State& state) {
  constexpr int kLines = 3500000;
  QByteArray body;
  body.reserve(qsizetype{kLines} * 18);
  for (int i = 0; i < kLines; ++i) {
    if (i > 0) body += '\n';
    body += QByteArray::number(i).rightJustified(7, '0').prepend('u') + "@ex.com~In";
  }
  const QByteArray reply =
      "HTTP/1.1 200 OK\r\nDate: x\r\nServer: y\r\nTransfer-Encoding: chunked\r\nContent-Type: "
      "text/plain\r\n\r\n" +
      QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n" +
      (state.range(0) == 1 ? "Request-URI Too Large" : "0\r\n\r\n");
  body = QByteArray();
  std::vector<QStringList> rows;
  rows.reserve(1000000);
  for (int i = 0; i < 1000000; ++i)
    rows.push_back({QStringLiteral("u%1@ex.com").arg(2 * i, 7, 10, QLatin1Char('0')), QString()});
  MillionRowProgram program(std::move(rows));
  MainWindow* window = program.Window();
  ReplyService service(reply);
  qputenv("VELMORA_OPTOUT_SERVICE", "127.0.0.1:" + QByteArray::number(service.port));

  qint64 longestGap = 0;
  double best = -1;
  double peak = 0;
  double kept = 0;
  int listed = 0;
  for (auto _ : state) {
    program.Restore();
    window->Slug->setText(QString());
    malloc_trim(0);
    const double before = ResidentMiB("VmRSS:");
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
    clear.close();
    TimeRun(state, best, [&] {
      longestGap = LongestGapMs([&] {
        window->_AddressesCheckOptOut_Action();
        while (!window->Slug->text().endsWith(" addresses"))
          QApplication::processEvents(QEventLoop::WaitForMoreEvents);
      });
    });
    peak = ResidentMiB("VmHWM:") - before;
    listed = CloseResults();
    QApplication::processEvents();
    malloc_trim(0);
    kept = ResidentMiB("VmRSS:") - before;
  }
  qunsetenv("VELMORA_OPTOUT_SERVICE");
  state.counters["listed"] = listed;
  state.counters["longest_gap_ms"] = static_cast<double>(longestGap);
  state.counters["peak_MiB"] = peak;
  state.counters["kept_MiB"] = kept;
  bench_support::ReportAgainstPeer(
      state, best,
      bench_support::BestPipelineSeconds(
          QStringLiteral("curl -s http://127.0.0.1:%1/ | grep -c '~In$'").arg(service.port)),
      "curl_grep");
}
BENCHMARK(BM_OptOutCheckOfA63MBReply)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
