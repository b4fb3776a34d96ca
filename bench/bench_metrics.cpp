// kevatra-cli serve on loopback: scrapes per second and p99 with and
// without keep-alive at 1 and 50 clients at once, and under each abuse case
// the growth of the peak resident size, the time a fresh scrape takes
// meanwhile, and the time the server takes to stop.
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/export.h"
#include "loopback.h"

namespace {

using namespace kev::cli;
using Clock = std::chrono::steady_clock;

constexpr int kScrapes = 5000;
constexpr size_t kChunk = 64 * 1024;
constexpr size_t kMiB = 1024 * 1024;
constexpr int kSilentClients = 200;
constexpr int kSlowClients = 8;
constexpr auto kSlowFor = std::chrono::seconds(3);

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
long StatusKib(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  }
  return 0;
}

// Lets the peak resident size start again from the current one.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

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

using kev::test::Connect;

// Sends head, then filler bytes until done or the server stops taking them.
void Flood(int port, const std::string& head, size_t filler) {
  const int fd = Connect(port);
  const std::string chunk(kChunk, 'a');
  bool open = send(fd, head.data(), head.size(), MSG_NOSIGNAL) >= 0;
  for (size_t sent = 0; open && sent < filler; sent += chunk.size())
    open = send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) >= 0;
  close(fd);
}

// Each client's scrape times in microseconds; false when one failed.
bool Scrape(int port, int count, bool keepAlive, std::vector<double>& micros) {
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(keepAlive);
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    const auto r = client.Get("/metrics");
    if (!r || r->status != 200) return false;
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  return true;
}

// Scrapes from `clients` threads at once; every scrape's time in
// microseconds, sorted, or empty when one failed.
std::vector<double> Round(int port, int clients, bool keepAlive, double& seconds) {
  std::vector<std::vector<double>> micros(static_cast<size_t>(clients));
  std::atomic<int> failed{0};
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      if (!Scrape(port, kScrapes / clients, keepAlive, micros[static_cast<size_t>(c)])) ++failed;
    });
  }
  for (std::thread& t : threads) t.join();
  seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> all;
  for (const auto& m : micros) all.insert(all.end(), m.begin(), m.end());
  std::sort(all.begin(), all.end());
  return failed > 0 ? std::vector<double>() : all;
}

struct Served {
  kev::metrics::MetricsServer server;
  bool Start() {
    server.Publish(DemoTexts());
    std::string error;
    return server.Start({"127.0.0.1", 0}, error);
  }
};

// Arguments: clients at once, keep-alive (1) or a fresh connection each (0).
void BM_Scrapes(benchmark::State& state) {
  Served s;
  if (!s.Start()) return state.SkipWithError("cannot listen");
  const int clients = static_cast<int>(state.range(0));
  const bool keepAlive = state.range(1) != 0;
  double seconds = 0;
  Round(s.server.port(), clients, keepAlive, seconds);  // warmed up
  for (auto _ : state) {
    const std::vector<double> all = Round(s.server.port(), clients, keepAlive, seconds);
    if (all.empty()) return state.SkipWithError("a scrape failed");
    state.counters["requests_per_s"] = static_cast<double>(all.size()) / seconds;
    state.counters["p99_ms"] = all[all.size() * 99 / 100] / 1000.0;
  }
}
BENCHMARK(BM_Scrapes)
    ->ArgNames({"clients", "keep_alive"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({50, 0})
    ->Args({50, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Silent clients and clients that drip a header byte every half second.
void SlowClients(int port) {
  std::vector<int> fds;
  for (int i = 0; i < kSilentClients; ++i) fds.push_back(Connect(port));
  std::vector<int> slow;
  for (int i = 0; i < kSlowClients; ++i) {
    slow.push_back(Connect(port));
    send(slow.back(), "GET /metrics HTTP/1.1\r\n", 23, MSG_NOSIGNAL);
  }
  for (const auto end = Clock::now() + kSlowFor; Clock::now() < end;) {
    for (int fd : slow) send(fd, "X", 1, MSG_NOSIGNAL);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  for (int fd : fds) close(fd);
  for (int fd : slow) close(fd);
}

struct Abuse {
  const char* name;
  std::function<void(int port)> run;
  int threads;
};
const std::vector<Abuse>& AbuseCases() {
  static const std::vector<Abuse> cases{
      {"get_body_100MiB_x8",
       [](int p) {
         Flood(p, "GET /metrics HTTP/1.1\r\nHost: b\r\nContent-Length: 104857600\r\n\r\n",
               100 * kMiB);
       },
       8},
      {"request_line_200MiB", [](int p) { Flood(p, "GET /", 200 * kMiB); }, 1},
      {"chunked_post_300MiB",
       [](int p) {
         Flood(p, "POST /metrics HTTP/1.1\r\nHost: b\r\nTransfer-Encoding: chunked\r\n\r\n",
               300 * kMiB);
       },
       1},
      {"endless_header_200MiB",
       [](int p) { Flood(p, "GET /metrics HTTP/1.1\r\nHost: b\r\nX: ", 200 * kMiB); }, 1},
      {"silent_200_and_slow_8", SlowClients, 1},
  };
  return cases;
}

// A fresh scrape's time in milliseconds, or -1 when it failed.
double FreshScrapeMs(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(5, 0);
  const auto start = Clock::now();
  const auto r = client.Get("/metrics");
  if (!r || r->status != 200) return -1;
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Argument: the abuse case. The server runs in this process, so the peak
// resident size is the server's plus the clients' few buffers.
void BM_Abuse(benchmark::State& state) {
  const Abuse& abuse = AbuseCases()[static_cast<size_t>(state.range(0))];
  state.SetLabel(abuse.name);
  for (auto _ : state) {
    Served s;
    if (!s.Start()) return state.SkipWithError("cannot listen");
    FreshScrapeMs(s.server.port());  // warmed up
    ResetPeak();
    const long before = StatusKib("VmRSS");
    std::vector<std::thread> clients;
    for (int i = 0; i < abuse.threads; ++i)
      clients.emplace_back([&] { abuse.run(s.server.port()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    double worst = 0;
    for (int i = 0; i < 5; ++i) {
      const double ms = FreshScrapeMs(s.server.port());
      worst = ms < 0 ? 1e9 : std::max(worst, ms);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::vector<int> held;  // clients that stay while the server stops
    for (int i = 0; i < kSilentClients; ++i) held.push_back(Connect(s.server.port()));
    const auto stopStart = Clock::now();
    s.server.Stop();
    const double stopMs =
        std::chrono::duration<double, std::milli>(Clock::now() - stopStart).count();
    for (std::thread& t : clients) t.join();
    for (int fd : held) close(fd);
    state.counters["peak_rss_growth_kib"] = static_cast<double>(StatusKib("VmHWM") - before);
    state.counters["fresh_scrape_worst_ms"] = worst;
    state.counters["stop_ms"] = stopMs;
  }
}
BENCHMARK(BM_Abuse)
    ->DenseRange(0, 4)
    ->ArgName("case")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
