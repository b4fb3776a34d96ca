// kevatra-cli in-process: a whole `report` run, and the memory of a long `watch`.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>

#include "cli/cli.h"

namespace {

using kev::cli::CliEnv;
using kev::cli::RunCli;

// A settings file that does not exist: every run starts from the defaults.
std::string ScratchSettings() {
  return (std::filesystem::temp_directory_path() /
          ("kev-bench-cli-" + std::to_string(::getpid()) + ".reg"))
      .string();
}

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Discards the output; notes the resident size at one early line and at the last.
class RssProbe : public std::streambuf {
 public:
  explicit RssProbe(int earlyLine) : earlyLine_(earlyLine) {}
  long early = 0, last = 0;

 protected:
  int overflow(int c) override {
    if (c == '\n' && ++lines_ >= earlyLine_) (lines_ == earlyLine_ ? early : last) = ResidentKb();
    return c;
  }

 private:
  int earlyLine_;
  int lines_ = 0;
};

void BM_CliReportOnDemoBoard(benchmark::State& state) {
  const std::string settings = ScratchSettings();
  CliEnv env;
  for (auto _ : state) {
    std::ostringstream out, err;
    const int code = RunCli({"report", "--board", "demo", "--settings", settings}, out, err, env);
    if (code != 0) state.SkipWithError(err.str().c_str());
    benchmark::DoNotOptimize(out.str().size());
  }
}
BENCHMARK(BM_CliReportOnDemoBoard)->Unit(benchmark::kMillisecond);

// A minute of one-second samples (and ten minutes) on the demo board: the
// resident size at the end should match the one after the tenth sample.
void BM_CliWatchMemory(benchmark::State& state) {
  const std::string settings = ScratchSettings();
  const auto samples = std::to_string(state.range(0));
  CliEnv env;
  env.sleepMs = [](uint64_t) {};
  long early = 0, last = 0;
  for (auto _ : state) {
    RssProbe probe(10);
    std::ostream out(&probe);
    std::ostringstream err;
    RunCli({"watch", "--board", "demo", "--interval", "1", "--count", samples, "--settings",
            settings},
           out, err, env);
    early = probe.early;
    last = probe.last;
  }
  state.counters["rss_after_10_kb"] = static_cast<double>(early);
  state.counters["rss_at_end_kb"] = static_cast<double>(last);
  state.counters["rss_growth_kb"] = static_cast<double>(last - early);
}
BENCHMARK(BM_CliWatchMemory)->Arg(60)->Arg(600)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
