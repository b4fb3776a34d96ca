// The desktop program on the demo board: resident memory after start-up,
// CPU while idle in the tray, time from start to the first painted readings,
// and the longest stall of the GUI thread per tick with all 15 logs at their
// size cap. Run on the offscreen platform unless a display is set.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <sstream>

#include "app/desktop_fixture.h"
#include "monitor/sampling.h"
#include "qt_bench_main.h"

namespace {

// A field of /proc/PID/status in kB, or -1.
long StatusKb(qint64 pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  }
  return -1;
}

// User plus system CPU time of a process in clock ticks.
long CpuTicks(qint64 pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(in)), {});
  std::istringstream rest(all.substr(all.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

// The real program on the demo board, started the way a user starts it.
struct RunningProgram {
  QTemporaryDir dir;
  QProcess process;
  RunningProgram() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("DISPLAY"))) {
      env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(KEV_KEVATRA_BIN),
                  {QStringLiteral("--board"), QStringLiteral("demo")});
    process.waitForStarted();
    process.waitForFinished(2000);  // start-up done well within this
  }
  ~RunningProgram() {
    process.kill();
    process.waitForFinished();
  }
};

void BM_ResidentMemoryAfterStart(benchmark::State& state) {
  for (auto _ : state) {
    RunningProgram p;
    state.counters["rss_MB"] = static_cast<double>(StatusKb(p.process.processId(), "VmRSS")) / 1024;
  }
}
BENCHMARK(BM_ResidentMemoryAfterStart)->Iterations(1)->Unit(benchmark::kMillisecond);

// KEV_BENCH_IDLE_SECONDS shortens the minute for a quick look.
void BM_IdleCpuInTheTray(benchmark::State& state) {
  const int seconds = qEnvironmentVariableIsSet("KEV_BENCH_IDLE_SECONDS")
                          ? qEnvironmentVariableIntValue("KEV_BENCH_IDLE_SECONDS")
                          : 60;
  for (auto _ : state) {
    RunningProgram p;
    const long before = CpuTicks(p.process.processId());
    p.process.waitForFinished(seconds * 1000);
    const long used = CpuTicks(p.process.processId()) - before;
    state.counters["cpu_percent"] =
        100.0 * static_cast<double>(used) / static_cast<double>(sysconf(_SC_CLK_TCK) * seconds);
  }
}
BENCHMARK(BM_IdleCpuInTheTray)->Iterations(1)->Unit(benchmark::kSecond);

// Watches for the first paint of a value panel that shows a reading.
class FirstReadingPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* panel = qobject_cast<QLabel*>(watched);
    if (event->type() == QEvent::Paint && panel != nullptr && panel->text().endsWith("RPM")) {
      painted = true;
    }
    return false;
  }
  bool painted = false;
};

void BM_StartToFirstPaintedReadings(benchmark::State& state) {
  kev::MonitorSettings s = kev::test::CheckedSettings();
  s.MonitorWindowMode = true;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    kev::test::Desktop d(s);
    FirstReadingPaint watch;
    d.find<QLabel>("Panel1")->installEventFilter(&watch);
    QTimer::singleShot(0, &d.display(), &kev::ui::TDisplay::RunStartup);
    while (!watch.painted) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
  }
}
BENCHMARK(BM_StartToFirstPaintedReadings)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// Each tick with all 15 logs on and at their 1 KB cap: every line rolls a file over.
void BM_LongestTickWithLogsAtCap(benchmark::State& state) {
  QTemporaryDir logs;
  kev::MonitorSettings s = kev::test::CheckedSettings();
  s.IntervalTime = 0;
  s.LogFileSizeLimit = 1;
  s.LogFileDirectory = logs.path().toStdString() + "/";
  for (int ch = 1; ch <= kev::kChannelCount; ++ch) kev::ChannelLogging(s, ch) = true;
  kev::test::Desktop d(s);
  d.display().RunStartup();
  for (int i = 0; i < 40; ++i) d.display().RefreshNow();  // fill every log to its cap
  kev::FlushLogs(d.display().context());
  double longest = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    d.display().RefreshNow();
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    longest = std::max(longest, ms);
    state.SetIterationTime(ms / 1000);
    QCoreApplication::processEvents();
  }
  state.counters["longest_ms"] = longest;
}
BENCHMARK(BM_LongestTickWithLogsAtCap)
    ->UseManualTime()
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

KEV_QT_BENCHMARK_MAIN()
