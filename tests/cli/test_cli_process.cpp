// The tool as its own process: how it ends when its reader goes away or its
// terminal hangs up, and that it holds no capability once it samples.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <thread>

#include "cli_fixture.h"
#include "held_capabilities.h"

namespace kev::cli::testing {
namespace {

using CliProcess = CliTest;

struct Child {
  pid_t pid = -1;
  int out = -1;  // the read end of its standard output
};

Child Spawn(std::vector<std::string> args,
            const std::vector<std::pair<const char*, const char*>>& env = {}) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
    close(fds[0]);
    close(fds[1]);
    // The dispositions a shell gives a command.
    std::signal(SIGPIPE, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    for (const auto& [name, value] : env) {
      if (value == nullptr) {
        unsetenv(name);
      } else {
        setenv(name, value, 1);
      }
    }
    std::vector<char*> argv{const_cast<char*>(KEV_CLI_BINARY)};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  return {pid, fds[0]};
}

std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

// How the child ended: "exit N" or "signal N"; "running" after ten seconds.
std::string Ending(pid_t pid) {
  for (int waited = 0; waited < 1000; ++waited) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      return WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                               : "signal " + std::to_string(WTERMSIG(status));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return "running";
}

// watch --save | head -1: the closed pipe ends the run like a full disk
// does, with the settings saved; a hang-up ends it like SIGTERM.
TEST_F(CliProcess, ClosedPipeAndHangUpEndTheWatchCleanlyAndSave) {
  for (const bool hangUp : {false, true}) {
    const std::string settings = path(hangUp ? "hup.reg" : "pipe.reg");
    Child c =
        Spawn({"watch", "--board", "demo", "--interval", "0.01", "--save", "--settings", settings});
    ASSERT_GT(c.pid, 0);
    EXPECT_FALSE(ReadLine(c.out).empty());
    if (hangUp) {
      kill(c.pid, SIGHUP);
    } else {
      close(c.out);
    }
    EXPECT_EQ(Ending(c.pid), hangUp ? "exit 0" : "exit 1");
    if (hangUp) close(c.out);
    EXPECT_TRUE(std::filesystem::exists(settings)) << settings;
  }
}

// Started by root (CAP_SYS_RAWIO among the rest), no thread of the tool
// holds a capability once the first sample is out.
TEST_F(CliProcess, NoCapabilityIsLeftOnceSamplingBegins) {
  const uint64_t own = test::OwnCapabilities();
  if (own == 0) GTEST_SKIP() << "this process holds no capability to hand on";
  Child c =
      Spawn({"watch", "--board", "demo", "--interval", "0.05", "--settings", path("caps.reg")});
  ASSERT_GT(c.pid, 0);
  EXPECT_FALSE(ReadLine(c.out).empty());
  const std::string held = test::HeldCapabilities(c.pid, (own & test::kSetPcapBit) != 0);
  kill(c.pid, SIGTERM);
  EXPECT_EQ(Ending(c.pid), "exit 0");
  close(c.out);
  EXPECT_EQ(held, "");
}

// One field of /proc/PID/status, such as "Uid".
std::string StatusField(pid_t pid, const std::string& name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(name + ":", 0) != 0) continue;
    const size_t value = line.find_first_not_of(" \t", name.size() + 1);
    return value == std::string::npos ? std::string() : line.substr(value);
  }
  return {};
}

// Started by root through sudo, the tool runs as the user who asked, with
// no capability and no new privileges, once the first sample is out.
TEST_F(CliProcess, StartedThroughSudoTheToolRunsAsTheUserWithNothingHeld) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  Child c = Spawn({"watch", "--board", "demo", "--interval", "0.05"},
                  {{"SUDO_UID", "65534"}, {"SUDO_GID", "65534"}});
  ASSERT_GT(c.pid, 0);
  EXPECT_FALSE(ReadLine(c.out).empty());
  const std::string uid = StatusField(c.pid, "Uid");
  const std::string groups = StatusField(c.pid, "Groups");
  const std::string effective = StatusField(c.pid, "CapEff");
  const std::string noNew = StatusField(c.pid, "NoNewPrivs");
  kill(c.pid, SIGTERM);
  EXPECT_EQ(Ending(c.pid), "exit 0");
  close(c.out);
  EXPECT_EQ(uid, "65534\t65534\t65534\t65534");
  EXPECT_EQ(groups, "");
  EXPECT_EQ(effective, "0000000000000000");
  EXPECT_EQ(noNew, "1");
}

// A root login (no SUDO_UID, no PKEXEC_UID) is root asking for a run of its
// own: it stays root with root's own settings, holds no capability and sets
// no-new-privileges.
TEST_F(CliProcess, ARootLoginKeepsRootAndItsSettingsWithNothingHeld) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  const std::string settings = path("root.reg");
  Child c =
      Spawn({"watch", "--board", "demo", "--interval", "0.05", "--save", "--settings", settings},
            {{"SUDO_UID", nullptr}, {"SUDO_GID", nullptr}, {"PKEXEC_UID", nullptr}});
  ASSERT_GT(c.pid, 0);
  EXPECT_FALSE(ReadLine(c.out).empty());
  const std::string uid = StatusField(c.pid, "Uid");
  const std::string effective = StatusField(c.pid, "CapEff");
  const std::string permitted = StatusField(c.pid, "CapPrm");
  const std::string noNew = StatusField(c.pid, "NoNewPrivs");
  kill(c.pid, SIGTERM);
  EXPECT_EQ(Ending(c.pid), "exit 0");
  close(c.out);
  EXPECT_EQ(uid, "0\t0\t0\t0");
  EXPECT_EQ(effective, "0000000000000000");
  EXPECT_EQ(permitted, "0000000000000000");
  EXPECT_EQ(noNew, "1");
  EXPECT_TRUE(std::filesystem::exists(settings));
}

}  // namespace
}  // namespace kev::cli::testing
