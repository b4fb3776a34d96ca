// One sampling cycle per catalogue board: port accesses and CPU time, with
// all 15 channels checked, logging off and on; the longest time one tick
// holds the sampling thread while all 15 logs are at their size cap; and
// per board what the port helper adds to a tick, against the time the
// tick's accesses take on a real bus.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "detect/detect.h"
#include "monitor/monitor_context.h"
#include "monitor/sampling.h"
#include "ports/helper_ports.h"
#include "sim/board.h"

namespace kev {
namespace {

class QuietHost : public MonitorHost {
 public:
  void SetPanelText(int, const std::string&) override {}
  bool WindowVisible() const override { return true; }
  void OpenWindow(bool) override {}
  void SetTrayImage(bool) override {}
  bool ShowCountDown(const std::string&) override { return true; }
  void PlaySoundAsync(const std::string&) override {}
  bool SaveSettings() override { return true; }
  bool PowerPrivilege(PowerAction) override { return false; }
  bool RequestPower(PowerAction) override { return false; }
};

struct BoardUnderTest {
  std::unique_ptr<sim::SimBoard> board;
  MonitorSettings settings;
  DetectState detect;
  ChannelSet channels = MakeChannels();
  QuietHost host;
  PosixLogFileSystem files;
  std::unique_ptr<MonitorContext> ctx;
};

// through: the ports the program uses instead of the board's own machine.
std::unique_ptr<BoardUnderTest> Prepare(const std::string& name, bool logging,
                                        const std::filesystem::path& logDir,
                                        PortIo* through = nullptr) {
  sim::BoardResult r = sim::LoadCatalogueBoard(name);
  if (!r) return nullptr;
  auto b = std::make_unique<BoardUnderTest>();
  b->board = r.take();
  PortIo& io = through != nullptr ? *through : b->board->machine();
  EnableIchSmbus(io);
  DetectPmDevice(io, b->settings, 0, b->detect);
  DetectChip(io, b->settings, b->detect);
  ConfigureChip(io, b->settings, b->detect);
  for (int c = 1; c <= kChannelCount; ++c) {
    ChannelChecked(b->settings, c) = true;
    ChannelLogging(b->settings, c) = logging;
  }
  b->settings.LogFileDirectory = (logDir / name).string() + "/";
  std::filesystem::create_directories(logDir / name);
  b->ctx = std::make_unique<MonitorContext>(
      MonitorContext{io, b->settings, b->detect, b->channels, b->host, OsVersion{},
                     logDir.string() + "/", SystemLogSeams(b->files), NumberFormat{}});
  return b;
}

void SampleBoard(benchmark::State& state, const std::string& name, bool logging) {
  const auto logDir =
      std::filesystem::temp_directory_path() / ("kev_bench_sample_" + std::to_string(::getpid()));
  std::unique_ptr<BoardUnderTest> b = Prepare(name, logging, logDir);
  if (!b) {
    state.SkipWithError("board does not load");
    return;
  }
  sim::SimMachine& m = b->board->machine();
  uint64_t accesses = 0;
  for (auto _ : state) {
    m.resetAccessCount();
    SampleAllChannels(*b->ctx);
    accesses = m.accessCount();
    // Logging stays on for the whole run even if a write fails.
    for (int c = 1; c <= kChannelCount; ++c) ChannelLogging(b->settings, c) = logging;
  }
  state.counters["port_accesses"] = static_cast<double>(accesses);
  b.reset();  // the log writer finishes its queue before the folder goes
  std::filesystem::remove_all(logDir / name);
}

// Fills every channel's log to its size cap, so that each tick rolls all
// 15 files over.
void FillLogsToTheCap(const BoardUnderTest& b) {
  const std::string line = "2001/05/12 13:45:10 [Channel] : +1.65V\r\n";
  const uint64_t cap = static_cast<uint64_t>(b.settings.LogFileSizeLimit) * 1024;
  for (const SensorChannel& ch : b.channels) {
    std::ofstream out(b.settings.LogFileDirectory + LogFileName(ch), std::ios::binary);
    for (uint64_t size = 0; size < cap; size += line.size()) out << line;
  }
}

// Ticks paced as a short sampling interval would; the counter is the
// longest wall time one tick kept the sampling thread. Without logs it
// shows what the machine's own scheduling adds.
void LongestTickStall(benchmark::State& state, bool logging) {
  constexpr auto kPace = std::chrono::milliseconds(100);
  const auto logDir =
      std::filesystem::temp_directory_path() / ("kev_bench_stall_" + std::to_string(::getpid()));
  std::unique_ptr<BoardUnderTest> b = Prepare("demo", logging, logDir);
  if (!b) {
    state.SkipWithError("board does not load");
    return;
  }
  FillLogsToTheCap(*b);
  double longest = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    SampleAllChannels(*b->ctx);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count());
    longest = std::max(longest, took.count());
    for (int c = 1; c <= kChannelCount; ++c) ChannelLogging(b->settings, c) = logging;
    std::this_thread::sleep_for(kPace);
  }
  state.counters["longest_stall_ms"] = longest * 1000;
  // Lines the writer had to let go because the disk fell behind.
  state.counters["dropped_lines"] =
      static_cast<double>(b->ctx->logWriter ? b->ctx->logWriter->DroppedLines() : 0);
  b.reset();
  std::filesystem::remove_all(logDir);
}

// The yardstick: on these boards a port access takes about 1 us and an
// SMBus transaction about 0.5 ms.
constexpr double kBusUsPerAccess = 1.0;
constexpr double kBusUsPerTransaction = 500.0;
constexpr int kInProcessTicks = 50;

double MeanTickUs(MonitorContext& ctx, int ticks) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < ticks; ++i) SampleAllChannels(ctx);
  const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
  return took.count() / ticks;
}

// The tick in-process, through the helper (the simulated board behind a
// helper process), and the board's real bus time by the rule above; the
// ratio is the helper's added time over that bus time.
void TickThroughHelper(benchmark::State& state, const std::string& name) {
  const auto logDir =
      std::filesystem::temp_directory_path() / ("kev_bench_helper_" + std::to_string(::getpid()));
  std::unique_ptr<BoardUnderTest> direct = Prepare(name, false, logDir);
  ports::HelperPorts helper(KEV_SIM_HELPER, {name});
  if (!direct || !helper.requestAccess()) {
    state.SkipWithError("board does not load or helper does not start");
    return;
  }
  sim::SimBoard& board = *direct->board;
  board.machine().resetAccessCount();
  const uint64_t before = board.smbus().transactions();
  SampleAllChannels(*direct->ctx);
  const auto accesses = static_cast<double>(board.machine().accessCount());
  const auto transactions = static_cast<double>(board.smbus().transactions() - before);
  const double busUs = accesses * kBusUsPerAccess + transactions * kBusUsPerTransaction;
  const double inProcessUs = MeanTickUs(*direct->ctx, kInProcessTicks);

  std::unique_ptr<BoardUnderTest> remote = Prepare(name, false, logDir, &helper);
  SampleAllChannels(*remote->ctx);  // the first tick teaches the helper client the tick
  const uint64_t tripsBefore = helper.roundTrips();
  std::chrono::duration<double, std::micro> took{};
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    SampleAllChannels(*remote->ctx);
    took += std::chrono::steady_clock::now() - start;
  }
  const auto iterations = static_cast<double>(state.iterations());
  const double helperUs = took.count() / iterations;
  // Goal: at most 2 round trips per tick.
  state.counters["round_trips_per_tick"] =
      static_cast<double>(helper.roundTrips() - tripsBefore) / iterations;
  state.counters["port_accesses"] = accesses;
  state.counters["smbus_transactions"] = transactions;
  state.counters["in_process_us"] = inProcessUs;
  state.counters["helper_us"] = helperUs;
  state.counters["real_bus_us"] = busUs;
  // A board without a chip makes no access: nothing to compare with.
  if (busUs > 0) state.counters["added_vs_bus_pct"] = (helperUs - inProcessUs) / busUs * 100;
  remote.reset();
  direct.reset();
  std::filesystem::remove_all(logDir);
}

// The floor of any request through the helper: one read, one round trip
// between two processes, on this machine.
void HelperRoundTrip(benchmark::State& state) {
  ports::HelperPorts helper(KEV_SIM_HELPER, {"demo"});
  if (!helper.requestAccess()) {
    state.SkipWithError("helper does not start");
    return;
  }
  const HwOp id = op::PciRead(PciLane::Dword, 0x80000000u);
  for (auto _ : state) benchmark::DoNotOptimize(helper.run(id));
}

int RegisterAll() {
  benchmark::RegisterBenchmark("HelperRoundTrip", HelperRoundTrip)
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime();
  for (const std::string& name : sim::CatalogueBoardNames()) {
    for (bool logging : {false, true}) {
      benchmark::RegisterBenchmark(
          ("SampleAllChannels/" + name + (logging ? "/log" : "/nolog")).c_str(), SampleBoard, name,
          logging)
          ->Unit(benchmark::kMicrosecond)
          ->MeasureProcessCPUTime();
    }
  }
  for (const std::string& name : sim::CatalogueBoardNames()) {
    benchmark::RegisterBenchmark(("TickThroughHelper/" + name).c_str(), TickThroughHelper, name)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
  }
  for (bool logging : {false, true}) {
    benchmark::RegisterBenchmark(
        logging ? "SampleTickStall/demo/15_logs_at_cap" : "SampleTickStall/demo/no_logs",
        LongestTickStall, logging)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(40);
  }
  return 0;
}

const int kRegistered = RegisterAll();

}  // namespace
}  // namespace kev

BENCHMARK_MAIN();
