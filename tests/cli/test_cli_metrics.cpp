// The readings for Prometheus: the metrics file as promtool sees it, and
// serve as an HTTP client and a real Prometheus server see it.
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli_fixture.h"
#include "loopback.h"

namespace kev::cli::testing {
namespace {

using CliMetrics = CliTest;

bool Installed(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// A child process that is ended with SIGTERM when it goes out of scope.
struct Child {
  pid_t pid = -1;
  int err = -1;  // the read end of its standard error
  // How it ended: "exit N" or "signal N"; "running" after ten seconds.
  std::string End() {
    if (pid <= 0) return "never ran";
    kill(pid, SIGTERM);
    for (int waited = 0; waited < 1000; ++waited) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                                 : "signal " + std::to_string(WTERMSIG(status));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
    return "running";
  }
  ~Child() {
    if (pid > 0) End();
    if (err >= 0) close(err);
  }
};

std::unique_ptr<Child> Spawn(std::vector<std::string> argv, bool keepErr) {
  int fds[2];
  if (pipe(fds) != 0) return nullptr;
  auto child = std::make_unique<Child>();
  child->pid = fork();
  if (child->pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(keepErr ? fds[1] : null, STDERR_FILENO);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  child->err = fds[0];
  return child;
}

// serve --board demo on a loopback port of its own; the port, or 0.
int StartServe(Child& c, std::vector<std::string> args) {
  std::vector<std::string> argv{KEV_CLI_BINARY, "serve", "--listen", "127.0.0.1:0"};
  argv.insert(argv.end(), args.begin(), args.end());
  auto spawned = Spawn(argv, true);
  std::swap(c.pid, spawned->pid);
  std::swap(c.err, spawned->err);
  std::string line;
  for (char ch = 0; read(c.err, &ch, 1) == 1 && ch != '\n';) line += ch;
  const size_t colon = line.rfind(':');
  return colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
}

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), len);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

// promtool's verdict on the text: empty when it finds no problem.
std::string PromtoolProblems(const std::string& file) {
  std::string problems;
  FILE* p = popen(("promtool check metrics < '" + file + "' 2>&1").c_str(), "r");
  for (char buf[256]; fgets(buf, sizeof buf, p) != nullptr;) problems += buf;
  return pclose(p) == 0 ? problems : "failed: " + problems;
}

bool Has(const std::string& text, const std::string& line) {
  return text.find(line + "\n") != std::string::npos;
}

TEST_F(CliMetrics, MetricsFilePassesPromtoolOnDemoAndOnAnAlarmingBoard) {
  if (!Installed("promtool")) GTEST_SKIP() << "promtool is not installed";
  // Temp 2 from the demo's LM75; the second sample falls into the rear fan's stall.
  MonitorSettings s;
  for (int ch = 1; ch <= kChannelCount; ++ch) ChannelChecked(s, ch) = true;
  s.Temp2SMBUse = true;
  s.Temp2SMBAddress = 13;  // 4Fh
  storeSettings(s);
  const std::string demo = path("demo.prom");
  ASSERT_EQ(runWithSettings(
                {"watch", "--board", "demo", "--count", "2", "--interval", "50", "--metrics", demo})
                .code,
            kExitOk);
  EXPECT_EQ(PromtoolProblems(demo), "");
  std::string text = readFile(demo);
  EXPECT_TRUE(Has(text,
                  "kevatra_chip_info{chip=\"w83782d\",chip_name=\"Winbond W83782D\","
                  "pm_device=\"intel 82371EB (PIIX4E)\"} 1"))
      << text;
  EXPECT_TRUE(Has(text, "kevatra_fan_rpm{chip=\"w83782d\",sensor=\"fan2\"} 0"));
  EXPECT_TRUE(Has(text, "kevatra_fan_alarm{chip=\"w83782d\",sensor=\"fan2\"} 1"));
  EXPECT_TRUE(Has(text, "kevatra_in_volts{chip=\"w83782d\",sensor=\"in1\"} 2.496"));
  EXPECT_TRUE(Has(text, "kevatra_temp_max_celsius{chip=\"lm75-0x4f\",sensor=\"temp2\"} 125"));
  EXPECT_TRUE(
      Has(text, "kevatra_sensor_label{chip=\"w83782d\",sensor=\"in0\",label=\"Volt. 1\"} 1"));
  EXPECT_TRUE(Has(text, "kevatra_build_info{version=\"2.10\"} 1"));

  // Fan 1 in alarm, Fan 3 unchecked, and Temp. 3 without a sensor (N/A).
  s.Temp2SMBUse = false;
  s.Fan1Limit = 11;
  s.CheckBoxFan3 = false;
  storeSettings(s);
  const std::string odd = path("odd.prom");
  const CliRun r =
      runWithSettings({"watch", "--board", "440bx-w83783s", "--count", "1", "--metrics", odd});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(PromtoolProblems(odd), "");
  text = readFile(odd);
  EXPECT_TRUE(Has(text, "kevatra_fan_alarm{chip=\"w83783s\",sensor=\"fan1\"} 1")) << text;
  EXPECT_EQ(text.find("sensor=\"fan3\""), std::string::npos);
  EXPECT_EQ(text.find("sensor=\"temp3\""), std::string::npos);
}

using kev::test::Connect;

TEST_F(CliMetrics, ServeAnswersBothPathsAndEndsPromptlyOnSigtermWhateverClientsDo) {
  // A board file: the served document names the board, not the file's path.
  const std::string board = path("tower.json");
  std::filesystem::copy_file(std::string(KEV_SOURCE_DIR) + "/boards/demo.json", board);
  Child serve;
  const int port = StartServe(
      serve, {"--board", board, "--interval", "0.1", "--save", "--settings", settingsPath()});
  ASSERT_GT(port, 0);
  httplib::Client client("127.0.0.1", port);
  const auto metrics = client.Get("/metrics");
  ASSERT_TRUE(metrics);
  EXPECT_EQ(metrics->status, 200);
  EXPECT_NE(metrics->body.find("kevatra_fan_rpm{chip=\"w83782d\",sensor=\"fan1\"}"),
            std::string::npos);
  const auto json = client.Get("/readings.json");
  ASSERT_TRUE(json);
  const auto doc = nlohmann::json::parse(json->body);
  EXPECT_EQ(doc["rows"].size(), 15u);
  EXPECT_EQ(doc["board"], "tower");
  EXPECT_EQ(client.Get("/other")->status, 404);
  EXPECT_EQ(client.Delete("/metrics")->status, 405);

  // Silent clients and clients stuck in their headers hold no one up.
  std::vector<int> clients;
  for (int i = 0; i < 40; ++i) clients.push_back(Connect(port));
  for (int i = 0; i < 8; ++i) {
    clients.push_back(Connect(port));
    ASSERT_GT(write(clients.back(), "GET /metrics HTTP/1.1\r\nX: ", 26), 0);
  }
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(serve.End(), "exit 0");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(std::filesystem::exists(settingsPath()));
  for (int fd : clients) close(fd);
}

TEST_F(CliMetrics, PrometheusScrapesServeAndSeesTheDemoFans) {
  if (!Installed("prometheus")) GTEST_SKIP() << "prometheus is not installed";
  Child serve;
  const int port = StartServe(serve, {"--board", "demo", "--interval", "0.5"});
  ASSERT_GT(port, 0);
  const std::string config = path("prometheus.yml");
  writeFile(config,
            "global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: kevatra\n"
            "    static_configs:\n      - targets: ['127.0.0.1:" +
                std::to_string(port) + "']\n");
  const int webPort = FreePort();
  auto prometheus =
      Spawn({"prometheus", "--config.file=" + config, "--storage.tsdb.path=" + path("tsdb"),
             "--web.listen-address=127.0.0.1:" + std::to_string(webPort)},
            false);
  httplib::Client api("127.0.0.1", webPort);
  nlohmann::json result;
  for (int tries = 0; tries < 100 && result.size() < 3; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto r = api.Get("/api/v1/query?query=kevatra_fan_rpm");
    if (r && r->status == 200) result = nlohmann::json::parse(r->body)["data"]["result"];
  }
  ASSERT_EQ(result.size(), 3u);
  for (const auto& series : result) {
    if (series["metric"]["sensor"] != "fan1") continue;
    EXPECT_NEAR(std::stod(series["value"][1].get<std::string>()), 4350, 400);
  }
}

}  // namespace
}  // namespace kev::cli::testing
