#pragma once

#include <benchmark/benchmark.h>

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

class MainWindow;

namespace platform {
class ListModel;
}

namespace bench_support {

// Runs a peer program (ripgrep, GNU sort, grep) to completion with its output thrown
// away and returns its wall time in seconds; a negative value when it could not run.
double RunPeerSeconds(const QString& program, const QStringList& args, const QString& stdinFile = {});
// The best of three runs, since other programs on a shared machine only ever add time.
double BestPeerSeconds(const QString& program, const QStringList& args);
// A shell pipeline ("rg ... | awk ..."), the best of three runs.
double BestPipelineSeconds(const QString& command);

// Runs prepare() untimed and step() timed in each iteration, the event loop run after
// each so the windows catch up within the time; the iterations' times go to the
// benchmark, and the best is returned.
template <typename Prepare, typename Step>
double BestIteration(benchmark::State& state, Prepare prepare, Step step);

// Records the peer's time and the ratio ours/peer as counters of the running benchmark.
void ReportAgainstPeer(benchmark::State& state, double oursSeconds, double peerSeconds, const char* peerName);
// What a whole process cost: CPU (user and system) and wall seconds, peak resident MiB.
struct ProcessCost {
  double cpu = -1;
  double wall = -1;
  double peakMiB = -1;
};
// Runs a command to its end, output thrown away; the best of three by CPU.
ProcessCost BestProcessCost(const QString& program, const QStringList& args);
// CPU seconds this process has used so far, every thread.
double ProcessCpuSeconds();

// Velmora's own executable started as a person starts it, from a copy in a scratch folder
// with its Database; measured until its main thread goes quiet (the list read in
// and shown), then ended. The list (a list file) is opened at start-up when given. The best
// of three by wall time.
ProcessCost StartUntilQuiet(const QString& list);

// A file of addresses, one a line; one line in ten repeats an earlier address in other
// letter case. Made once per size per benchmark process.
const QString& AddressFile(int rows);
inline const QString& MillionAddressFile() {
  return AddressFile(1000000);
}

// A file of addresses, one a line, nearly each at a domain of its own (some behind a
// "mail." host). Made once per size per benchmark process.
const QString& DomainPerRowFile(int rows);

// The rows of a list file, as the program reads them, in place of the list's rows.
void RefillList(platform::ListModel& list, const QString& file);

// About `bytes` of mixed text in lines: words, accented ones among them, and now and then
// an address in one of the ways web pages and mails write them, or an "@" that is no
// address. MixedTextFile writes it once per size per process.
QByteArray MixedText(qsizetype bytes, bool lineEnds);
const QString& MixedTextFile(qsizetype bytes);
// What ripgrep takes for an address.
QString AddressPattern();
// The peer of an import with the duplicate test: the addresses of `file` in order, less
// repeats that differ in letter case only, and less those a list file holds already when
// `listFile` is given; one thread, as ours.
QString ExtractUniquePipeline(const QString& file, const QString& listFile = {});

// An address-list file of `rows` rows as the program writes them, a third with a mailing
// history. Made once per size per process.
const QString& ListFile(int rows);

// The program started as a person starts it, on a scratch application folder: the list
// `list` (a list file, copied in as "Members") opened at start-up when given, the
// duplicate test on or off, the clipboard holding `clipboard`, no person to answer.
class Program {
 public:
  struct Setup {
    QString list;
    bool duplicateTest = false;
    QString clipboard;
  };
  explicit Program(const Setup& setup);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  MainWindow* Window() const { return m_window; }
  QString Folder() const;

 private:
  struct Data;
  std::unique_ptr<Data> m_data;
  MainWindow* m_window = nullptr;
};
// Writes what Program needs into an application folder (it must exist).
void PrepareFolder(const QString& folder, const Program::Setup& setup);

// Deletes the main window and the about windows a benchmark opened.
void CloseProgramWindows();

// A scratch folder for generated inputs, kept for the life of the benchmark process.
QString ScratchDir();

// Drops the file on the window, as a person drops it from a file manager.
void DropFile(MainWindow* window, const QString& file);

// The highest resident memory of a fresh run of this program that starts on `setup` and
// pastes one address (so the duplicate test has its index), or drops the file `drop` when
// given, in MiB; negative on failure. Each measure runs in a process of its own (see
// RunPeakMemoryChild).
double PeakMemoryMiB(const Program::Setup& setup, const QString& drop = {});
// The child's side of PeakMemoryMiB and StepPeakBytes: when the arguments ask for it,
// does the run, prints the figure and returns true (or ends the process).
bool RunPeakMemoryChild(int argc, char** argv);

// A step of the program whose memory is measured apart: StepPeakBytes starts a fresh
// program on `list` (opened at start-up, its window shown) in a process of its own, runs the
// step named `step` there and returns the resident memory it added at its peak, in bytes,
// over what the program held before it; negative on failure. Steps register by name before
// main() runs (a static object).
bool RegisterMeasuredStep(const std::string& name, std::function<void(MainWindow*)> step);
double StepPeakBytes(const QString& list, const std::string& step);

// Records a run of `rows` rows taking `seconds` under `name`; when a smaller run of that
// name was recorded before in this process, reports the cost per row against it as the
// counter "growth_per_row" (1 is linear); from a third size on, also against the size
// before as "growth_from_<rows>k".
void ReportGrowth(benchmark::State& state, const std::string& name, int rows, double seconds);

void ProcessEvents();
double SecondsSince(qint64 startNanoseconds);
qint64 NowNanoseconds();

template <typename Prepare, typename Step>
double BestIteration(benchmark::State& state, Prepare prepare, Step step) {
  double best = -1;
  for (auto _ : state) {
    prepare();
    ProcessEvents();
    const qint64 start = NowNanoseconds();
    step();
    ProcessEvents();
    const double s = SecondsSince(start);
    state.SetIterationTime(s);
    if (best < 0 || s < best) best = s;
  }
  return best;
}

}  // namespace bench_support
