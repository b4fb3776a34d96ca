// kevatra-cli serve under load: 10,000 scrapes of /metrics from 8 clients at
// once on loopback, each scrape on a fresh connection.
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/export.h"

namespace {

using namespace kev::cli;
using Clock = std::chrono::steady_clock;

constexpr int kClients = 8;
constexpr int kScrapes = 10000;

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The texts of a demo board's first sample.
kev::metrics::Published DemoTexts() {
  CliOptions o;
  o.board = "demo";
  o.settingsFile = (std::filesystem::temp_directory_path() /
                    ("kev-bench-metrics-" + std::to_string(::getpid()) + ".reg"))
                       .string();
  CliEnv env;
  std::ostringstream err;
  std::string error;
  auto session = Session::Open(o, env, err, error);
  session->Start();
  return SampleExport(*session, o).Texts();
}

// Each client's scrape times in microseconds; false when one failed.
bool Scrape(int port, int count, std::vector<double>& micros) {
  httplib::Client client("127.0.0.1", port);
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    const auto r = client.Get("/metrics");
    if (!r || r->status != 200) return false;
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  return true;
}

// Scrapes from kClients threads at once; every scrape's time in
// microseconds, sorted, or empty when one failed. Seconds taken in seconds.
std::vector<double> Round(int port, int scrapes, double& seconds) {
  std::vector<std::vector<double>> micros(kClients);
  std::atomic<int> failed{0};
  const auto start = Clock::now();
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      if (!Scrape(port, scrapes / kClients, micros[static_cast<size_t>(c)])) ++failed;
    });
  }
  for (std::thread& t : clients) t.join();
  seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> all;
  for (const auto& m : micros) all.insert(all.end(), m.begin(), m.end());
  std::sort(all.begin(), all.end());
  return failed > 0 ? std::vector<double>() : all;
}

void BM_ConcurrentScrapes(benchmark::State& state) {
  kev::metrics::MetricsServer server;
  server.Publish(DemoTexts());
  std::string error;
  if (!server.Start({"127.0.0.1", 0}, error)) return state.SkipWithError(error.c_str());
  double seconds = 0;
  Round(server.port(), kScrapes, seconds);  // server, clients and allocator warmed up
  const long before = ResidentKb();
  for (auto _ : state) {
    const std::vector<double> all = Round(server.port(), kScrapes, seconds);
    if (all.empty()) return state.SkipWithError("a scrape failed");
    state.counters["requests_per_s"] = static_cast<double>(all.size()) / seconds;
    state.counters["p99_ms"] = all[all.size() * 99 / 100] / 1000.0;
  }
  state.counters["rss_before_kib"] = static_cast<double>(before);
  state.counters["rss_after_kib"] = static_cast<double>(ResidentKb());
}
BENCHMARK(BM_ConcurrentScrapes)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
