#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <random>

#include "BenchSupport.h"
#include "lists/AddressScanner.h"
#include "lists/DuplicateIndex.h"
#include "lists/ListFileFormat.h"
#include "platform/EventLoop.h"
#include "platform/FolderItem.h"
#include "platform/ListModel.h"
#include "platform/TextStream.h"

// A million addresses: imported from a file with the duplicate test on (against GNU
// sort -uf, which does the same job of dropping repeats that differ in letter case), and
// a million-row list saved and read back.
namespace {

constexpr int kRows = 1000000;

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double Seconds(const QElapsedTimer& t) {
  return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

// Read the file, pull out its addresses, leave out those the list (or the batch) holds
// already, letter case aside, and append the rest in one batch. Scanning the whole file
// at once finds what scanning it line by line finds: a line end is no address character.
void BM_ImportMillionWithDuplicateTest(benchmark::State& state) {
  const QString& file = bench_support::MillionAddressFile();
  double best = -1;
  int rows = 0;
  for (auto _ : state) {
    platform::ListModel list(2);
    lists::DuplicateIndex index(&list);
    QElapsedTimer t;
    t.start();
    const QByteArray bytes = ReadFile(file);
    std::vector<QStringList> batch;
    QSet<QString> batchKeys;
    lists::ForEachEmail(QByteArrayView(bytes), [&](qsizetype start, qsizetype length) {
      QString address = QString::fromLatin1(bytes.constData() + start, length);
      QString key = lists::DuplicateIndex::KeyOf(address);
      if (index.ContainsKey(key) || batchKeys.contains(key)) return;
      batchKeys.insert(std::move(key));
      batch.push_back({std::move(address)});
    });
    list.AppendRows(std::move(batch));
    const double s = Seconds(t);
    state.SetIterationTime(s);
    if (best < 0 || s < best) best = s;
    rows = list.ListCount();
  }
  state.counters["rows"] = rows;
  bench_support::ReportAgainstPeer(state, best, bench_support::SortUniqueFoldSeconds(file), "sort_uf");
}
BENCHMARK(BM_ImportMillionWithDuplicateTest)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void FillList(platform::ListModel& list) {
  std::vector<QStringList> rows;
  rows.reserve(kRows);
  for (int i = 0; i < kRows; ++i) {
    const QString address = QStringLiteral("member.%1@example.com").arg(i);
    rows.push_back({address, i % 3 == 0 ? QStringLiteral("Spring(1/2/26) Summer(6/7/26) ") : QString()});
  }
  list.AppendRows(std::move(rows));
}

// The saved list, written once here so that the read benchmarks can run on their own.
const QString& ListFile() {
  static const QString path = [] {
    QString p = bench_support::ScratchDir() + QStringLiteral("/Members");
    platform::ListModel list(2);
    FillList(list);
    QByteArray bytes;
    for (int row = 0; row < list.ListCount(); ++row) {
      bytes += lists::FormatListLine(list.Cell(row, 0), list.Cell(row, 1)).toUtf8() + '\n';
    }
    QFile f(p);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    return p;
  }();
  return path;
}

// Writing every row through the text stream, yielding once per row, as saving does.
void BM_SaveMillionRows(benchmark::State& state) {
  platform::ListModel list(2);
  FillList(list);
  const platform::FolderItem file(ListFile());
  for (auto _ : state) {
    auto out = platform::TextOutputStream::Create(file);
    for (int row = 0; row < list.ListCount(); ++row) {
      out->WriteLine(lists::FormatListLine(list.Cell(row, 0), list.Cell(row, 1)));
      platform::YieldToEventLoop();
    }
    if (!out->Close()) state.SkipWithError("save failed");
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SaveMillionRows)->Iterations(3)->Unit(benchmark::kMillisecond);

// Reading it back line by line through the text stream, as a list is opened.
void BM_ReadMillionRowsLineByLine(benchmark::State& state) {
  const platform::FolderItem file(ListFile());
  int rows = 0;
  for (auto _ : state) {
    platform::ListModel list(2);
    auto in = platform::TextInputStream::Open(file);
    std::vector<QStringList> batch;
    do {
      if (auto row = lists::ParseListLine(in->ReadLine())) batch.push_back(std::move(*row));
      platform::YieldToEventLoop();
    } while (!in->EOF_());
    list.AppendRows(std::move(batch));
    rows = list.ListCount();
  }
  state.counters["rows"] = rows;
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ReadMillionRowsLineByLine)->Iterations(3)->Unit(benchmark::kMillisecond);

// Reading it back in one go.
void BM_ReadMillionRowsInOneGo(benchmark::State& state) {
  int rows = 0;
  for (auto _ : state) {
    platform::ListModel list(2);
    list.AppendRows(lists::ParseListFile(ReadFile(ListFile())));
    rows = list.ListCount();
  }
  state.counters["rows"] = rows;
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ReadMillionRowsInOneGo)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// Removing every other row of a million in bulk, with and without the duplicate index
// following the list: what the index adds to a bulk removal.
void BulkRemoval(benchmark::State& state, bool indexed) {
  for (auto _ : state) {
    state.PauseTiming();
    platform::ListModel list(2);
    FillList(list);
    std::unique_ptr<lists::DuplicateIndex> index;
    if (indexed) index = std::make_unique<lists::DuplicateIndex>(&list);
    state.ResumeTiming();
    list.RemoveRowsIf([](int row) { return row % 2 == 0; });
    state.PauseTiming();
    index.reset();
    state.ResumeTiming();
  }
}
void BM_BulkRemovalOfHalfAMillionRows(benchmark::State& state) {
  BulkRemoval(state, false);
}
BENCHMARK(BM_BulkRemovalOfHalfAMillionRows)->Iterations(3)->Unit(benchmark::kMillisecond);
void BM_BulkRemovalOfHalfAMillionRowsIndexed(benchmark::State& state) {
  BulkRemoval(state, true);
}
BENCHMARK(BM_BulkRemovalOfHalfAMillionRowsIndexed)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
