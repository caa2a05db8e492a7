#include "BenchSupport.h"

#include <malloc.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>
#include <iterator>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "app/ui/MainWindow.h"
#include "lists/ListFileFormat.h"
#include "platform/FolderItem.h"
#include "platform/ListModel.h"
#include "platform/Seams.h"
#include "platform/ui/App.h"
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

double BestPeerSeconds(const QString& program, const QStringList& args) {
  double best = -1;
  for (int i = 0; i < 3; ++i) {
    const double s = RunPeerSeconds(program, args);
    if (s > 0 && (best < 0 || s < best)) best = s;
  }
  return best;
}

double BestPipelineSeconds(const QString& command) {
  return BestPeerSeconds(QStringLiteral("sh"), {QStringLiteral("-c"), command});
}

void ProcessEvents() {
  QApplication::processEvents();
}

qint64 NowNanoseconds() {
  static QElapsedTimer clock;
  if (!clock.isValid()) clock.start();
  return clock.nsecsElapsed();
}

double SecondsSince(qint64 startNanoseconds) {
  return static_cast<double>(NowNanoseconds() - startNanoseconds) / 1e9;
}

void ReportAgainstPeer(benchmark::State& state, double oursSeconds, double peerSeconds,
                       const char* peerName) {
  state.counters[std::string(peerName) + "_s"] = peerSeconds;
  state.counters["ours_s"] = oursSeconds;
  if (peerSeconds > 0) state.counters["ratio_vs_" + std::string(peerName)] = oursSeconds / peerSeconds;
}

double ProcessCpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

namespace {

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double MonotonicSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Starts a command with its output thrown away (and its working folder `folder` when
// given); the process id, or -1.
pid_t Spawn(const QString& program, const QStringList& args, const QString& folder = {}) {
  std::vector<QByteArray> argv{program.toLocal8Bit()};
  for (const QString& a : args) argv.push_back(a.toLocal8Bit());
  std::vector<char*> pointers;
  pointers.reserve(argv.size() + 1);
  for (QByteArray& a : argv) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  const QByteArray where = folder.toLocal8Bit();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  if (!where.isEmpty() && ::chdir(where.constData()) != 0) ::_exit(127);
  ::freopen("/dev/null", "w", stdout);
  ::freopen("/dev/null", "w", stderr);
  ::execvp(pointers[0], pointers.data());
  ::_exit(127);
}

ProcessCost Reap(pid_t pid, double started) {
  int status = 0;
  rusage usage{};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return {};
  ProcessCost cost;
  cost.wall = MonotonicSeconds() - started;
  cost.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  cost.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024;
  return cost;
}

// Nanoseconds every thread of the process has run so far, from the scheduler's count.
qint64 RunNanoseconds(pid_t pid) {
  qint64 total = 0;
  const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
  for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile stat(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"));
    if (stat.open(QIODevice::ReadOnly)) total += stat.readAll().split(' ').first().toLongLong();
  }
  return total;
}

}  // namespace

ProcessCost BestProcessCost(const QString& program, const QStringList& args) {
  ProcessCost best;
  for (int i = 0; i < 3; ++i) {
    const double started = MonotonicSeconds();
    const ProcessCost cost = Reap(Spawn(program, args), started);
    if (cost.cpu >= 0 && (best.cpu < 0 || cost.cpu < best.cpu)) best = cost;
  }
  return best;
}

ProcessCost StartUntilQuiet(const QString& list) {
  static int runs = 0;
  const QString folder = ScratchDir() + QStringLiteral("/startup-%1").arg(++runs);
  PrepareFolder(folder, {list, false, {}});
  const QString binary = folder + QStringLiteral("/velmora");
  QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/../velmora"), binary);
  ProcessCost best;
  for (int i = 0; i < 3; ++i) {
    const double started = MonotonicSeconds();
    const pid_t pid = Spawn(binary, {}, folder);
    if (pid < 0) break;
    // Quiet: under a millisecond of work in a quarter of a second (timers that tick now
    // and then stay below that).
    constexpr double kQuietSeconds = 0.25;
    constexpr qint64 kQuietWork = 1000000;
    qint64 ran = 0;
    double lastWork = started;
    qint64 workAtQuietStart = 0;
    for (;;) {
      ::usleep(2000);
      const double now = MonotonicSeconds();
      const qint64 n = RunNanoseconds(pid);
      if (n - workAtQuietStart > kQuietWork) {
        workAtQuietStart = n;
        lastWork = now;
        ran = n;
      } else if (now - lastWork > kQuietSeconds || now - started > 600) {
        break;
      }
    }
    long peakKiB = -1;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
      for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) peakKiB = line.mid(6).trimmed().split(' ').first().toLong();
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ProcessCost cost{static_cast<double>(ran) / 1e9, lastWork - started, static_cast<double>(peakKiB) / 1024};
    if (best.wall < 0 || cost.wall < best.wall) best = cost;
  }
  QDir(folder).removeRecursively();
  return best;
}

QString ScratchDir() {
  static QTemporaryDir dir;
  return dir.path();
}

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

// Files made once per process, by name.
template <typename Make>
const QString& MadeOnce(const QString& name, Make make) {
  static std::map<QString, QString> made;
  auto it = made.find(name);
  if (it == made.end()) {
    const QString path = ScratchDir() + QLatin1Char('/') + name;
    WriteFile(path, make());
    it = made.emplace(name, path).first;
  }
  return it->second;
}

}  // namespace

const QString& AddressFile(int rows) {
  return MadeOnce(QStringLiteral("addresses-%1.txt").arg(rows), [rows] {
    std::mt19937 random(1106);
    const char* const domains[] = {"example.com", "Mail.Example.org", "uni-x.edu", "host.co.uk", "a.de"};
    QByteArray bytes;
    bytes.reserve(qsizetype(rows) * 30);
    std::vector<std::pair<qsizetype, qsizetype>> lines;
    lines.reserve(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i) {
      const qsizetype start = bytes.size();
      if (i > 10 && random() % 10 == 0) {
        const auto [from, length] = lines[random() % lines.size()];
        bytes += bytes.mid(from, length).toUpper();
      } else {
        bytes += "member." + QByteArray::number(static_cast<int>(random() % 100000000)) + '@' +
                 domains[random() % std::size(domains)];
      }
      lines.emplace_back(start, bytes.size() - start);
      bytes += '\n';
    }
    return bytes;
  });
}

const QString& DomainPerRowFile(int rows) {
  return MadeOnce(QStringLiteral("domain-per-row-%1.txt").arg(rows), [rows] {
    std::mt19937 random(3103);
    const char* const tlds[] = {"com", "org", "net", "de", "io"};
    const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray bytes;
    bytes.reserve(qsizetype(rows) * 32);
    for (int i = 0; i < rows; ++i) {
      bytes += "member." + QByteArray::number(static_cast<int>(random() % 100000000)) + '@';
      if (random() % 4 == 0) bytes += "mail.";
      for (int c = 6 + static_cast<int>(random() % 5); c > 0; --c) bytes += letters[random() % 36];
      bytes += '.';
      bytes += tlds[random() % std::size(tlds)];
      bytes += '\n';
    }
    return bytes;
  });
}

void RefillList(platform::ListModel& list, const QString& file) {
  QFile in(file);
  const QByteArray bytes = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
  list.DeleteAllRows();
  list.ReserveText(bytes.size());
  std::vector<QByteArrayView> cells;
  const auto flush = [&] {
    list.AppendRowsFromBytes(cells);
    cells.clear();
  };
  lists::SplitListLines(bytes, true, [&](QByteArrayView address, QByteArrayView mailings) {
    cells.push_back(address);
    cells.push_back(mailings);
    if (cells.size() >= (1 << 17)) flush();
  });
  flush();
  QApplication::processEvents();
}

namespace {

const char* const kWords[] = {"the",     "mailing", "list",  "of",     "our",     "members", "and",
                              "friends", "please",  "reply", "to",     "contact", "us",      "at",
                              "for",     "more",    "news",  "about",  "spring",  "meeting", "in",
                              "room",    "12",      "see",   "you",    "there",   "thanks",  "regards",
                              "—",       "café",    "naïve", "résumé", "2026",    "e-mail",  "v1.2"};
const char* const kDomains[] = {"example.com", "mail.example.org", "uni-x.edu", "host.co.uk", "a.de"};

void AppendLine(QByteArray& out, std::mt19937& random) {
  const int words = 6 + static_cast<int>(random() % 10);
  for (int w = 0; w < words; ++w) {
    if (w > 0) out += ' ';
    const unsigned pick = random() % 100;
    if (pick < 3) {
      const QByteArray user = QByteArray(kWords[random() % std::size(kWords)]) + '.' +
                              QByteArray::number(static_cast<int>(random() % 100000));
      const QByteArray domain = kDomains[random() % std::size(kDomains)];
      switch (random() % 4) {
        case 0:
          out += user + '@' + domain;
          break;
        case 1:
          out += "<a href=\"mailto:" + user + '@' + domain + "\">" + user + "</a>";
          break;
        case 2:
          out += '<' + user + '@' + domain + ">,";
          break;
        default:
          out += user + '@' + domain + '.';
          break;
      }
    } else if (pick < 4) {
      out += "@handle";
    } else {
      out += kWords[random() % std::size(kWords)];
    }
  }
  out += '\n';
}

}  // namespace

QByteArray MixedText(qsizetype bytes, bool lineEnds) {
  std::mt19937 random(2026);
  QByteArray text;
  text.reserve(bytes + 200);
  while (text.size() < bytes) AppendLine(text, random);
  if (!lineEnds) text.replace('\n', ' ');
  return text;
}

const QString& MixedTextFile(qsizetype bytes) {
  return MadeOnce(QStringLiteral("mixed-%1.txt").arg(bytes), [bytes] { return MixedText(bytes, true); });
}

QString AddressPattern() {
  return QStringLiteral("[A-Za-z0-9._-]+@[A-Za-z0-9._-]+");
}

QString ExtractUniquePipeline(const QString& file, const QString& listFile) {
  const QString extract = QStringLiteral("rg -j1 -o '%1' '%2' | ").arg(AddressPattern(), file);
  if (listFile.isEmpty()) return extract + QStringLiteral("awk '!seen[toupper($0)]++'");
  return extract +
         QStringLiteral("awk 'NR == FNR { seen[toupper($1)] = 1; next } !seen[toupper($0)]++' '%1' -")
             .arg(listFile);
}

const QString& ListFile(int rows) {
  return MadeOnce(QStringLiteral("list-%1").arg(rows), [rows] {
    QByteArray bytes;
    bytes.reserve(qsizetype(rows) * 40);
    for (int i = 0; i < rows; ++i) {
      bytes += "person" + QByteArray::number(i) + "@example" + QByteArray::number(i % 97) + ".com ";
      if (i % 3 == 0) bytes += "News(1/2/26) Launch(3/4/26) ";
      bytes += '\n';
    }
    return bytes;
  });
}

void PrepareFolder(const QString& folder, const Program::Setup& setup) {
  QDir(folder).mkpath(QStringLiteral("Database"));
  const QString database = folder + QStringLiteral("/Database/");
  WriteFile(database + QStringLiteral("Preferences"),
            setup.duplicateTest ? QByteArray("\n\n\nTrue\n\n\n\n") : QByteArray("\n\n\nFalse\n\n\n\n"));
  if (!setup.list.isEmpty()) {
    QFile::remove(database + QStringLiteral("Members"));
    QFile::copy(setup.list, database + QStringLiteral("Members"));
    WriteFile(database + QStringLiteral("LastDatabase"), "Members");
  }
}

struct Program::Data {
  QTemporaryDir dir;
  std::unique_ptr<platform::ScopedSeams> seams;
};

Program::Program(const Setup& setup) : m_data(std::make_unique<Data>()) {
  PrepareFolder(m_data->dir.path(), setup);
  platform::FolderItem::SetAppFolderForTests(m_data->dir.path());
  platform::Seams seams;
  seams.clipboardText = [clipboard = setup.clipboard] { return QString(clipboard); };
  m_data->seams = std::make_unique<platform::ScopedSeams>(seams);
  App::SetQuitForTests([] {});
  m_window = MainWindow::Instance();
  QApplication::processEvents();
}

Program::~Program() {
  if (m_window) m_window->Changed = false;  // nothing to save on close
  CloseProgramWindows();
  App::SetQuitForTests({});
  m_data->seams.reset();
  platform::FolderItem::SetAppFolderForTests({});
}

QString Program::Folder() const {
  return m_data->dir.path();
}

void CloseProgramWindows() {
  // Deleting one window may delete others it owns, so hold them weakly.
  QList<QPointer<QWidget>> windows;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<AboutWindow*>(w) || qobject_cast<MainWindow*>(w)) windows.append(w);
  }
  for (const QPointer<QWidget>& w : windows) delete w.data();
}

namespace {

constexpr const char* kPeakMemoryChild = "--peak-memory-child";
constexpr const char* kStepMemoryChild = "--step-memory-child";

long StatusKiB(const char* field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith(field)) return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
  }
  return -1;
}

long PeakResidentKiB() {
  return StatusKiB("VmHWM:");
}

std::map<std::string, std::function<void(MainWindow*)>>& MeasuredSteps() {
  static std::map<std::string, std::function<void(MainWindow*)>> steps;
  return steps;
}

// The child's side of StepPeakBytes.
[[noreturn]] void RunStepMemoryChild(const QString& folder, const std::string& step) {
  platform::FolderItem::SetAppFolderForTests(folder);
  platform::ScopedSeams scoped(platform::Seams{});
  App::SetQuitForTests([] {});
  MainWindow* window = MainWindow::Instance();
  window->show();
  QApplication::processEvents();
  const auto found = MeasuredSteps().find(step);
  if (found == MeasuredSteps().end()) ::_exit(1);
  // Freed memory handed back, and the peak so far (the list's open) forgotten, so that the
  // peak read after the step is the step's own.
  ::malloc_trim(0);
  QFile clear(QStringLiteral("/proc/self/clear_refs"));
  if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1) ::_exit(1);
  clear.close();
  const long before = StatusKiB("VmRSS:");
  found->second(window);
  std::printf("%ld\n", PeakResidentKiB() - before);
  std::fflush(stdout);
  ::_exit(0);
}

}  // namespace

void DropFile(MainWindow* window, const QString& file) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(file)});
  // Straight to the window: the application's event delivery drops a drop event that no
  // real drag started.
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  static_cast<QObject*>(window)->event(&drop);
}

double PeakMemoryMiB(const Program::Setup& setup, const QString& drop) {
  static int runs = 0;
  const QString folder = ScratchDir() + QStringLiteral("/peak-%1").arg(++runs);
  PrepareFolder(folder, setup);
  QProcess child;
  child.setProcessChannelMode(QProcess::SeparateChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {QString::fromLatin1(kPeakMemoryChild), folder, setup.clipboard, drop});
  if (!child.waitForFinished(-1) || child.exitCode() != 0) return -1;
  const long kib = child.readAllStandardOutput().trimmed().toLong();
  QDir(folder).removeRecursively();
  return kib > 0 ? static_cast<double>(kib) / 1024 : -1;
}

bool RegisterMeasuredStep(const std::string& name, std::function<void(MainWindow*)> step) {
  MeasuredSteps()[name] = std::move(step);
  return true;
}

double StepPeakBytes(const QString& list, const std::string& step) {
  static int runs = 0;
  const QString folder = ScratchDir() + QStringLiteral("/step-%1").arg(++runs);
  PrepareFolder(folder, {list, false, {}});
  QProcess child;
  child.setProcessChannelMode(QProcess::SeparateChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {QString::fromLatin1(kStepMemoryChild), folder, QString::fromStdString(step)});
  const bool ran =
      child.waitForFinished(-1) && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
  QDir(folder).removeRecursively();
  bool ok = false;
  const long kib = child.readAllStandardOutput().trimmed().toLong(&ok);
  return ran && ok ? static_cast<double>(kib) * 1024 : -1;
}

void ReportGrowth(benchmark::State& state, const std::string& name, int rows, double seconds) {
  static std::map<std::string, std::pair<int, double>> first;
  static std::map<std::string, std::pair<int, double>> last;
  const auto [it, added] = first.emplace(name, std::make_pair(rows, seconds));
  const auto [firstRows, firstSeconds] = it->second;
  if (!added && firstRows < rows && firstSeconds > 0 && seconds > 0) {
    state.counters["growth_per_row"] = (seconds / rows) / (firstSeconds / firstRows);
  }
  const auto [lastRows, lastSeconds] = last[name];
  if (lastRows > firstRows && lastRows < rows && lastSeconds > 0 && seconds > 0) {
    state.counters["growth_from_" + std::to_string(lastRows / 1000) + "k"] =
        (seconds / rows) / (lastSeconds / lastRows);
  }
  last[name] = {rows, seconds};
}

bool RunPeakMemoryChild(int argc, char** argv) {
  if (argc >= 4 && qstrcmp(argv[1], kStepMemoryChild) == 0) {
    RunStepMemoryChild(QString::fromLocal8Bit(argv[2]), argv[3]);
  }
  if (argc < 5 || qstrcmp(argv[1], kPeakMemoryChild) != 0) return false;
  platform::FolderItem::SetAppFolderForTests(QString::fromLocal8Bit(argv[2]));
  platform::Seams seams;
  seams.clipboardText = [clipboard = QString::fromLocal8Bit(argv[3])] { return QString(clipboard); };
  platform::ScopedSeams scoped(seams);
  App::SetQuitForTests([] {});
  MainWindow* window = MainWindow::Instance();
  QApplication::processEvents();
  const QString drop = QString::fromLocal8Bit(argv[4]);
  if (drop.isEmpty()) {
    window->_EditPaste_Action();
  } else {
    window->show();
    DropFile(window, drop);
  }
  QApplication::processEvents();
  std::printf("%ld\n", PeakResidentKiB());
  std::fflush(stdout);
  // The figure is taken: no need to tear a million rows down.
  ::_exit(0);
}

}  // namespace bench_support
