#pragma once

#include <benchmark/benchmark.h>

#include <QString>
#include <QStringList>

namespace bench_support {

// Runs a peer program (ripgrep, GNU sort, grep) to completion with its output thrown
// away and returns its wall time in seconds; a negative value when it could not run.
double RunPeerSeconds(const QString& program, const QStringList& args, const QString& stdinFile = {});

// Records the peer's time and the ratio ours/peer as counters of the running benchmark.
void ReportAgainstPeer(benchmark::State& state, double oursSeconds, double peerSeconds, const char* peerName);

// A file of a million addresses, one a line; one line in ten repeats an earlier address in
// other letter case. Made once per benchmark process.
const QString& MillionAddressFile();

// The best of three runs of GNU `sort -uf` on a file: the peer of an import that drops
// repeats differing only in letter case.
double SortUniqueFoldSeconds(const QString& file);

// Deletes the main window and the about windows a benchmark opened.
void CloseProgramWindows();

// A scratch folder for generated inputs, kept for the life of the benchmark process.
QString ScratchDir();

}  // namespace bench_support
