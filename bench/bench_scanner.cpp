#include <benchmark/benchmark.h>

#include <QElapsedTimer>

#include "BenchSupport.h"
#include "lists/AddressScanner.h"
#include "tests/support/AddressScannerOracle.h"

// The address scanner as the typed and dropped text of the dialogs and the address-list
// window meets it, against the literal scanner on a single-line web page.
namespace {

// A web page of one 1 MB line: the literal scanner upper-cases the rest of the page again
// for every "@", so it is quadratic and takes seconds; it runs once, the fast one 20 times.
void BM_LiteralAgainstFastOn1MBOneLinePage(benchmark::State& state) {
  const QString page = QString::fromUtf8(bench_support::MixedText(1 << 20, false));
  double fast = -1;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    benchmark::DoNotOptimize(lists::FindEmails(page));
    const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
    state.SetIterationTime(s);
    if (fast < 0 || s < fast) fast = s;
  }
  QElapsedTimer t;
  t.start();
  benchmark::DoNotOptimize(oracle::FindEmailsLiterally(page));
  const double literal = static_cast<double>(t.nsecsElapsed()) / 1e9;
  state.SetBytesProcessed(state.iterations() * page.size() * 2);
  bench_support::ReportAgainstPeer(state, fast, literal, "literal");
}
BENCHMARK(BM_LiteralAgainstFastOn1MBOneLinePage)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
