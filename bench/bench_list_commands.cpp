// The list commands a person runs on a million selected addresses: each chosen by its menu
// item on the shown main window, timed until the window has drawn the result. Beside each,
// a peer program given the same job on the same rows as a text file, where one does it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstring>

#include "BenchSupport.h"
#include "app/CommandRouter.h"
#include "app/ui/MainWindow.h"
#include "platform/FolderItem.h"
#include "platform/Seams.h"
#include "platform/ui/App.h"
#include "platform/ui/Listbox.h"

namespace {

constexpr int kRows = 1000000;

QString Address(int i) {
  return QString("person%1@example%2.com").arg(i).arg(i % 97);
}

QString Mailings(int i) {
  if (i % 10 == 9) return QStringLiteral("Black Listed");
  return i % 2 ? QStringLiteral("News(1/2/26) ") : QString();
}

// The rows as a list file and as bare addresses, for the peers.
struct PeerFiles {
  QString list = bench_support::ScratchDir() + "/commands-list.txt";
  QString addresses = bench_support::ScratchDir() + "/commands-addresses.txt";
  PeerFiles() {
    QByteArray listBytes;
    QByteArray addressBytes;
    for (int i = 0; i < kRows; ++i) {
      const QByteArray address = Address(i).toUtf8();
      listBytes += address + ' ' + Mailings(i).toUtf8() + '\n';
      addressBytes += address + '\n';
    }
    QFile l(list);
    if (l.open(QIODevice::WriteOnly)) l.write(listBytes);
    QFile a(addresses);
    if (a.open(QIODevice::WriteOnly)) a.write(addressBytes);
  }
};

const PeerFiles& Files() {
  static const PeerFiles files;
  return files;
}

// The rows afresh, every one selected, or none for the command that selects them all.
void Refill(MainWindow* w, bool selected) {
  std::vector<QStringList> rows;
  rows.reserve(kRows);
  for (int i = 0; i < kRows; ++i) rows.push_back({Address(i), Mailings(i)});
  w->elist->DeleteAllRows();
  w->elist->Model()->AppendRows(std::move(rows));
  w->elist->Model()->SetAllSelected(selected);
}

struct Peer {
  const char* program;  // none where no program does the same job
  QStringList args;     // "%list" and "%addresses" stand for the peer files
};

void BM_ListCommand(benchmark::State& state, const char* item, const Peer& peer) {
  const PeerFiles& files = Files();
  QTemporaryDir dir;
  platform::FolderItem::SetAppFolderForTests(dir.path());
  platform::Seams seams;
  seams.setClipboardText = [](const QString& text) { QGuiApplication::clipboard()->setText(text); };
  platform::ScopedSeams scoped(seams);
  App::SetQuitForTests([] {});
  MainWindow* w = MainWindow::Instance();
  platform::ListModel* model = w->elist->Model();
  int modelSignals = 0;
  const auto count = [&modelSignals] { ++modelSignals; };
  QObject::connect(model, &platform::ListModel::dataChanged, count);
  QObject::connect(model, &platform::ListModel::layoutChanged, count);
  QObject::connect(model, &platform::ListModel::rowsInserted, count);
  QObject::connect(model, &platform::ListModel::modelReset, count);
  QObject::connect(model, &platform::ListModel::rowsRemoved, count);

  double best = -1;
  for (auto _ : state) {
    Refill(w, std::strcmp(item, "EditSelectAll") != 0);
    QFile::remove(dir.path() + "/Database/Trash");
    QApplication::processEvents();
    modelSignals = 0;
    QElapsedTimer t;
    t.start();
    app::CommandRouter::Instance().Dispatch(w, QString::fromLatin1(item));
    QApplication::processEvents();
    const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
    state.SetIterationTime(s);
    if (best < 0 || s < best) best = s;
  }
  state.counters["rows"] = kRows;
  state.counters["model_signals"] = modelSignals;
  w->Changed = false;  // nothing to save on close
  bench_support::CloseProgramWindows();
  App::SetQuitForTests({});
  platform::FolderItem::SetAppFolderForTests({});

  if (peer.program == nullptr) {
    state.counters["ours_s"] = best;
    return;
  }
  QStringList args = peer.args;
  args.replaceInStrings("%list", files.list);
  args.replaceInStrings("%addresses", files.addresses);
  double peerBest = -1;
  for (int i = 0; i < 3; ++i) {
    const double s = bench_support::RunPeerSeconds(QString::fromLatin1(peer.program), args);
    if (s > 0 && (peerBest < 0 || s < peerBest)) peerBest = s;
  }
  bench_support::ReportAgainstPeer(state, best, peerBest, peer.program);
}

struct Command {
  const char* name = nullptr;
  const char* item = nullptr;
  Peer peer;
};

const bool kRegistered = [] {
  const Command commands[] = {
      // Marking every row: no program does that job, so the time stands alone.
      {"SelectAll", "EditSelectAll", {nullptr, {}}},
      {"UnselectAll", "EditUnselectAll", {nullptr, {}}},
      // Testing the second field of every row.
      {"SelectUnsent", "EditSelectUnsent", {"awk", {"$2 == \"\" {n++} END {print n}", "%list"}}},
      // Joining the addresses with commas.
      {"Copy", "EditCopy", {"paste", {"-sd,", "%addresses"}}},
      // Rewriting the second field of every row.
      {"BlackList", "AddressesBlackList", {"sed", {"s/ .*/ Black Listed/", "%list"}}},
      {"ClearHistory", "AddressesClearHistory", {"sed", {"/Black Listed\\|Opted Out/!s/ .*/ /", "%list"}}},
      // The addresses again, last first.
      {"Duplicate", "EditDuplicate", {"tac", {"%addresses"}}},
      // The addresses cut from their rows, as Trash receives them.
      {"Remove", "AddressesRemove", {"cut", {"-d ", "-f1", "%list"}}},
  };
  for (const Command& c : commands) {
    benchmark::RegisterBenchmark((std::string("BM_ListCommand/") + c.name).c_str(), BM_ListCommand, c.item,
                                 c.peer)
        ->UseManualTime()
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
