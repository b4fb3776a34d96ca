// A whole detection and set-up (ICH enable, PM device, chip, configuration)
// on catalogue boards: time and port accesses per run.
#include <benchmark/benchmark.h>

#include <string>

#include "detect/detect.h"
#include "sim/board.h"

namespace {

void RunDetection(kev::PortIo& io, kev::MonitorSettings& s, kev::DetectState& st) {
  kev::EnableIchSmbus(io);
  kev::DetectPmDevice(io, s, 0, st);
  kev::DetectChip(io, s, st);
  kev::ConfigureChip(io, s, st);
}

// First run on a freshly loaded board each iteration (loading is not timed).
void BM_FirstRunDetection(benchmark::State& state, const std::string& board) {
  uint64_t accesses = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto loaded = kev::sim::LoadCatalogueBoard(board);
    if (!loaded.ok()) {
      state.SkipWithError(loaded.error().text().c_str());
      return;
    }
    kev::sim::SimMachine& m = loaded->machine();
    kev::MonitorSettings s;
    s.SettingsDefaulted = true;
    kev::DetectState st;
    m.resetAccessCount();
    state.ResumeTiming();
    RunDetection(m, s, st);
    benchmark::DoNotOptimize(st.FanDivisor);
    accesses = m.accessCount();
  }
  state.counters["port_accesses"] = static_cast<double>(accesses);
}

// A later run on a board whose chip is already set up (the settings dialog path).
void BM_LaterRunDetection(benchmark::State& state, const std::string& board) {
  auto loaded = kev::sim::LoadCatalogueBoard(board);
  if (!loaded.ok()) {
    state.SkipWithError(loaded.error().text().c_str());
    return;
  }
  kev::sim::SimMachine& m = loaded->machine();
  kev::MonitorSettings s;
  kev::DetectState st;
  RunDetection(m, s, st);
  uint64_t accesses = 0;
  for (auto _ : state) {
    m.resetAccessCount();
    RunDetection(m, s, st);
    accesses = m.accessCount();
  }
  state.counters["port_accesses"] = static_cast<double>(accesses);
}

// ISA chip, SMBus chip, ITE on both buses, and a board with nothing to find.
BENCHMARK_CAPTURE(BM_FirstRunDetection, isa_w83781d, std::string("p2b-piix4-w83781d"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FirstRunDetection, smbus_w83782d, std::string("amd761-amd766-w83782d"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FirstRunDetection, ite_isa_and_smbus, std::string("i850-ich2-it8712f-smbus"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FirstRunDetection, no_chip, std::string("440lx-no-chip"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LaterRunDetection, isa_w83781d, std::string("p2b-piix4-w83781d"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LaterRunDetection, smbus_w83782d, std::string("amd761-amd766-w83782d"))
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
