#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include "BenchSupport.h"
#include "platform/FolderItem.h"
#include "platform/Text.h"
#include "platform/TextStream.h"

// Reading and writing address-list sized files: a million lines, tens of megabytes.
namespace {

QByteArray ListBytes(int lines, bool withStrayBytes) {
  QByteArray bytes;
  bytes.reserve(qsizetype(lines) * 48);
  for (int i = 0; i < lines; ++i) {
    bytes += "person";
    bytes += QByteArray::number(i);
    bytes += "@example.com Launch(1/2/26) Caf\xc3\xa9(3/4/26) ";
    if (withStrayBytes && i % 10 == 0) bytes += "\xe9";
    bytes += '\n';
  }
  return bytes;
}

void BM_DecodeBytes(benchmark::State& state) {
  const QByteArray bytes = ListBytes(1000000, state.range(0) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(platform::DecodeBytes(bytes));
  state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_DecodeBytes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_QtFromUtf8ForComparison(benchmark::State& state) {
  const QByteArray bytes = ListBytes(1000000, false);
  for (auto _ : state) benchmark::DoNotOptimize(QString::fromUtf8(bytes));
  state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_QtFromUtf8ForComparison)->Unit(benchmark::kMillisecond);

void BM_EncodeText(benchmark::State& state) {
  const QString text = platform::DecodeBytes(ListBytes(1000000, state.range(0) != 0));
  for (auto _ : state) benchmark::DoNotOptimize(platform::EncodeText(text));
  state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_EncodeText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ReadMillionLines(benchmark::State& state) {
  const QString path = bench_support::ScratchDir() + QStringLiteral("/million-lines");
  {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(ListBytes(1000000, false));
  }
  for (auto _ : state) {
    auto in = platform::TextInputStream::Open(platform::FolderItem(path));
    qsizetype total = 0;
    while (!in->EOF_()) total += in->ReadLine().size();
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_ReadMillionLines)->Unit(benchmark::kMillisecond);

void BM_WriteMillionLines(benchmark::State& state) {
  const QString path = bench_support::ScratchDir() + QStringLiteral("/million-lines-out");
  const QString line = QStringLiteral("person123456@example.com Launch(1/2/26) Caf\u00e9(3/4/26) ");
  for (auto _ : state) {
    auto out = platform::TextOutputStream::Create(platform::FolderItem(path));
    for (int i = 0; i < 1000000; ++i) out->WriteLine(line);
    benchmark::DoNotOptimize(out->Close());
  }
}
BENCHMARK(BM_WriteMillionLines)->Unit(benchmark::kMillisecond);

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
