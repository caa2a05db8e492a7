#include "BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <iterator>
#include <random>

#include "app/ui/MainWindow.h"
#include "tools/ui/AboutWindow.h"

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

const QString& MillionAddressFile() {
  static const QString path = [] {
    constexpr int kRows = 1000000;
    std::mt19937 random(1106);
    const char* const domains[] = {"example.com", "Mail.Example.org", "uni-x.edu", "host.co.uk", "a.de"};
    QList<QByteArray> lines;
    lines.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
      if (i > 10 && random() % 10 == 0) {
        lines.append(lines[random() % lines.size()].toUpper());
      } else {
        lines.append("member." + QByteArray::number(static_cast<int>(random() % 100000000)) + '@' +
                     domains[random() % std::size(domains)]);
      }
    }
    QString p = ScratchDir() + QStringLiteral("/addresses-1M.txt");
    QFile f(p);
    if (f.open(QIODevice::WriteOnly)) f.write(lines.join('\n') + '\n');
    return p;
  }();
  return path;
}

double SortUniqueFoldSeconds(const QString& file) {
  double best = -1;
  for (int i = 0; i < 3; ++i) {
    const double s = RunPeerSeconds(QStringLiteral("sort"), {QStringLiteral("-uf"), file});
    if (s > 0 && (best < 0 || s < best)) best = s;
  }
  return best;
}

void CloseProgramWindows() {
  // Deleting one window may delete others it owns, so hold them weakly.
  QList<QPointer<QWidget>> windows;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<AboutWindow*>(w) || qobject_cast<MainWindow*>(w)) windows.append(w);
  }
  for (const QPointer<QWidget>& w : windows) delete w.data();
}

}  // namespace bench_support
