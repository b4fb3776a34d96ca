// Power requests against a mock login manager on a private bus.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "monitor/logind_power.h"

extern char** environ;

namespace kev {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDbusDaemon = "/usr/bin/dbus-daemon";
constexpr const char* kPython = "/usr/bin/python3";

bool HaveMockTools() {
  return fs::exists(kDbusDaemon) && fs::exists(kPython) &&
         std::system("/usr/bin/python3 -c 'import dbusmock' >/dev/null 2>&1") == 0;
}

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
}

// A bus daemon of its own, set as the system bus for this process and the
// mock it starts. Never the machine's real system bus.
class PrivateBus : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveMockTools()) GTEST_SKIP() << "dbus-daemon or python3-dbusmock not installed";
    const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (old != nullptr) savedAddress_ = old;
    FILE* p = ::popen("/usr/bin/dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
    ASSERT_NE(p, nullptr);
    char line[512];
    std::string address, pid;
    if (std::fgets(line, sizeof line, p) != nullptr) address = line;
    if (std::fgets(line, sizeof line, p) != nullptr) pid = line;
    ::pclose(p);
    ASSERT_FALSE(address.empty());
    address.erase(address.find_last_not_of("\n") + 1);
    daemonPid_ = static_cast<pid_t>(std::stol(pid));
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    logPath_ = fs::temp_directory_path() / ("kev_logind_" + std::to_string(::getpid()) + ".log");
    fs::remove(logPath_);
  }

  void TearDown() override {
    Stop(mockPid_);
    Stop(daemonPid_);
    if (savedAddress_) {
      ::setenv("DBUS_SYSTEM_BUS_ADDRESS", savedAddress_->c_str(), 1);
    } else {
      ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    fs::remove(logPath_);
  }

  // Starts the logind template and waits until it answers.
  void StartMock(const std::string& parameters = "{}") {
    mockPid_ = Spawn({kPython, "-m", "dbusmock", "--template", "logind", "-p", parameters, "-l",
                      logPath_.string()});
    ASSERT_GT(mockPid_, 0);
    LogindPower probe(500'000);
    for (int i = 0; i < 100; ++i) {
      if (fs::exists(logPath_) && probe.Request(PowerAction::Suspend)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }

  std::string CallLog() const {
    std::ifstream in(logPath_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  pid_t daemonPid_ = -1;
  pid_t mockPid_ = -1;
  fs::path logPath_;
  std::optional<std::string> savedAddress_;
};

#ifdef KEV_HAVE_SDBUS

TEST_F(PrivateBus, AskAndRequestBothActions) {
  StartMock();
  LogindPower power;
  EXPECT_TRUE(power.MayRequest(PowerAction::PowerOff));
  EXPECT_TRUE(power.MayRequest(PowerAction::Suspend));
  EXPECT_TRUE(power.Request(PowerAction::PowerOff));
  EXPECT_TRUE(power.Request(PowerAction::Suspend));
  const std::string log = CallLog();
  EXPECT_NE(log.find("CanPowerOff"), std::string::npos) << log;
  EXPECT_NE(log.find("PowerOff False"), std::string::npos) << log;
  EXPECT_NE(log.find("Suspend False"), std::string::npos) << log;
  EXPECT_EQ(log.find("True"), std::string::npos) << log;  // never interactive
}

TEST_F(PrivateBus, AnythingButYesIsRefused) {
  StartMock(R"({"CanPowerOff": "challenge", "CanSuspend": "no"})");
  LogindPower power;
  EXPECT_FALSE(power.MayRequest(PowerAction::PowerOff));
  EXPECT_FALSE(power.MayRequest(PowerAction::Suspend));
}

#endif

TEST_F(PrivateBus, NoLoginManagerRefusesAtOnce) {
  LogindPower power;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(power.MayRequest(PowerAction::PowerOff));
  EXPECT_FALSE(power.Request(PowerAction::PowerOff));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST_F(PrivateBus, UnreachableBusRefuses) {
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/kev-bus", 1);
  LogindPower power;
  EXPECT_FALSE(power.MayRequest(PowerAction::Suspend));
  EXPECT_FALSE(power.Request(PowerAction::Suspend));
}

}  // namespace
}  // namespace kev
