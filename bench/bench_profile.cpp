// The hardware monitoring profile on a catalogue board: the PCI section
// probes all 65,536 bus/device/function locations every time.
#include <benchmark/benchmark.h>

#include <string>

#include "detect/detect.h"
#include "report/profile.h"
#include "report/summary.h"
#include "sim/board.h"

namespace {

// A board with a PIIX4, a Winbond chip and several PCI functions, so every
// part of the profile has work to do.
constexpr const char* kPreferredBoard = "demo";

std::unique_ptr<kev::sim::SimBoard> LoadBenchBoard() {
  auto r = kev::sim::LoadCatalogueBoard(kPreferredBoard);
  if (!r.ok()) {
    const auto names = kev::sim::CatalogueBoardNames();
    if (names.empty()) return nullptr;
    r = kev::sim::LoadCatalogueBoard(names.front());
    if (!r.ok()) return nullptr;
  }
  return r.take();
}

void BM_ProfileText(benchmark::State& state) {
  auto board = LoadBenchBoard();
  if (!board) {
    state.SkipWithError("no catalogue board");
    return;
  }
  kev::sim::SimMachine& m = board->machine();
  kev::MonitorSettings settings;
  kev::DetectState detected;
  kev::DetectPmDevice(m, settings, 0, detected);
  kev::DetectChip(m, settings, detected);
  const kev::report::InfoSummary summary = kev::report::GatherSummary(m);
  kev::report::MonitorWindowText rows;
  m.resetAccessCount();
  size_t bytes = 0;
  for (auto _ : state) {
    std::string text = kev::report::BuildProfileText(m, summary, settings, detected, rows);
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.counters["port_accesses"] =
      benchmark::Counter(static_cast<double>(m.accessCount()), benchmark::Counter::kAvgIterations);
  state.counters["text_bytes"] = static_cast<double>(bytes);
  state.SetLabel(board->name());
}
BENCHMARK(BM_ProfileText)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
