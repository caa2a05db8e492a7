#include "BenchSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

namespace bench_support {

double RunPeerSeconds(const QString& program, const QStringList& args, const QString& stdinFile) {
  QProcess p;
  p.setStandardOutputFile(QProcess::nullDevice());
  p.setStandardErrorFile(QProcess::nullDevice());
  if (!stdinFile.isEmpty()) p.setStandardInputFile(stdinFile);
  QElapsedTimer t;
  t.start();
  p.start(program, args);
  if (!p.waitForStarted(10000)) return -1;
  p.waitForFinished(-1);
  return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

void ReportAgainstPeer(benchmark::State& state, double oursSeconds, double peerSeconds,
                       const char* peerName) {
  state.counters[std::string(peerName) + "_s"] = peerSeconds;
  state.counters["ours_s"] = oursSeconds;
  if (peerSeconds > 0) state.counters["ratio_vs_" + std::string(peerName)] = oursSeconds / peerSeconds;
}

QString ScratchDir() {
  static QTemporaryDir dir;
  return dir.path();
}

}  // namespace bench_support
