// The helper as a real process, over a simulated board: the same readings
// as direct access, no privilege left, dies with its parent, refusals
// answered and logged; and a helper that cannot serve says what to do.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "board_runs.h"
#include "held_capabilities.h"
#include "hw/upcicfg.h"
#include "hw/usmbus.h"
#include "ports/helper_ports.h"
#include "ports/machine_lock.h"

namespace kev::ports {
namespace {

namespace fs = std::filesystem;

std::string Status(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Field(const std::string& status, const std::string& name) {
  const size_t at = status.find("\n" + name + ":");
  if (at == std::string::npos) return {};
  const size_t start = status.find_first_not_of(" \t", at + name.size() + 2);
  return status.substr(start, status.find('\n', start) - start);
}

// Gone, or a zombie nobody reaps.
bool Ended(pid_t pid) {
  const std::string status = Status(pid);
  return status.empty() || Field(status, "State").starts_with("Z");
}

TEST(HelperProcess, ReadingsOfEveryCatalogueBoardEqualDirectAccess) {
  for (const std::string& name : sim::CatalogueBoardNames()) {
    SCOPED_TRACE(name);
    HelperPorts helper(KEV_SIM_HELPER, {name});
    ASSERT_TRUE(helper.requestAccess()) << helper.refusalReason();
    const std::unique_ptr<sim::SimBoard> direct = sim::LoadCatalogueBoard(name).take();
    EXPECT_EQ(test::DetectAndTick(nullptr, helper, 0, false),
              test::DetectAndTick(nullptr, direct->machine(), 0, false));
    EXPECT_EQ(helper.refusals(), 0u);
  }
}

TEST(HelperProcess, HoldsNoPrivilegeAndEndsWhenItsParentIsKilled) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t parent = fork();
  ASSERT_GE(parent, 0);
  if (parent == 0) {
    (void)!open("/dev/null", O_RDONLY);  // inherited, not close-on-exec
    HelperPorts helper(KEV_SIM_HELPER, {"demo"});
    const pid_t pid = helper.requestAccess() ? helper.helperPid() : -1;
    (void)!write(pipeFds[1], &pid, sizeof pid);
    pause();
    _exit(0);
  }
  close(pipeFds[1]);
  pid_t helper = -1;
  ASSERT_EQ(read(pipeFds[0], &helper, sizeof helper), static_cast<ssize_t>(sizeof helper));
  close(pipeFds[0]);
  ASSERT_GT(helper, 0);

  const std::string status = Status(helper);
  for (const char* set : {"CapInh", "CapPrm", "CapEff", "CapAmb"}) {
    EXPECT_EQ(Field(status, set), "0000000000000000") << set;
  }
  EXPECT_EQ(Field(status, "NoNewPrivs"), "1");
  EXPECT_FALSE(Field(status, "Uid").starts_with("0\t")) << Field(status, "Uid");
  EXPECT_EQ(Field(status, "Groups"), "");
  // Not dumpable: its private /proc entries stay root's, so its user
  // cannot attach to it.
  struct stat proc {};
  ASSERT_EQ(stat(("/proc/" + std::to_string(helper) + "/fd").c_str(), &proc), 0);
  EXPECT_EQ(proc.st_uid, 0u);
  // Nothing but 0-3 survives from its starter (which left one open).
  std::error_code ec;
  std::vector<std::string> fds;
  for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(helper) + "/fd", ec)) {
    fds.push_back(e.path().filename().string());
  }
  if (!ec) {
    EXPECT_EQ(fds.size(), 4u);
  }

  kill(parent, SIGKILL);
  waitpid(parent, nullptr, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!Ended(helper) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(Ended(helper));
}

// The helper's stderr, caught from its start.
class CaughtStderr {
 public:
  explicit CaughtStderr(const fs::path& file) : saved_(dup(2)) {
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 2);
    close(fd);
  }
  ~CaughtStderr() {
    dup2(saved_, 2);
    close(saved_);
  }

 private:
  int saved_;
};

TEST(HelperProcess, RefusedRequestGetsAnErrorAndOneLogLineAndChangesNothing) {
  const fs::path log = fs::temp_directory_path() / ("kev_ports_log_" + std::to_string(getpid()));
  {
    auto helper = std::make_unique<HelperPorts>(KEV_SIM_HELPER, std::vector<std::string>{"demo"});
    {
      CaughtStderr caught(log);
      ASSERT_TRUE(helper->requestAccess()) << helper->refusalReason();
    }
    // The demo board's PIIX4E at 0:7.3; its SMBus base register moved would
    // move the host onto the disk controller.
    const uint32_t base = PCIcfg_rdd(*helper, 0, 7, 3, 0x90);
    helper->run(op::PciWrite(PciLane::Dword, PciConfigAddress(0, 7, 3, 0x90), 0x1F01));
    EXPECT_EQ(PCIcfg_rdd(*helper, 0, 7, 3, 0x90), base);
    EXPECT_EQ(helper->refusals(), 1u);
    EXPECT_EQ(SMBwtb(*helper, 0x71138086, 0x5000, 0x51, 0, 0), -1);
    EXPECT_EQ(helper->refusals(), 2u);
    helper.reset();  // the helper has written its log when it has ended
  }
  std::ifstream in(log);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  fs::remove(log);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "kevatra-ports: refused: PCI write of 0:7.3 register 90h: not a PCI "
                       "function the program writes",
                       "kevatra-ports: refused: SMBus write to 51h command 00h: a memory module's "
                       "SPD EEPROM is never written"}));
}

TEST(HelperProcess, AHelperThatCannotServeSaysWhatToDo) {
  const fs::path dir = fs::temp_directory_path() / ("kev_ports_" + std::to_string(getpid()));
  fs::create_directories(dir);
  HelperPorts missing((dir / "kevatra-ports").string());
  EXPECT_FALSE(missing.requestAccess());
  EXPECT_NE(missing.refusalReason().find("is missing: reinstall Kevatra."), std::string::npos);

  const fs::path notExecutable = dir / "kevatra-ports";
  std::ofstream(notExecutable) << "";
  fs::permissions(notExecutable, fs::perms::owner_read | fs::perms::owner_write);
  HelperPorts locked(notExecutable.string());
  EXPECT_FALSE(locked.requestAccess());
  EXPECT_NE(locked.refusalReason().find("join the group kevatra"), std::string::npos);
  fs::remove_all(dir);

  // The real helper here: the kernel gives it no port access (or, where it
  // does, nothing is asked of it).
  HelperPorts real(KEV_PORTS_HELPER);
  if (!real.requestAccess()) {
    EXPECT_TRUE(real.refusalReason().starts_with("Port access")) << real.refusalReason();
  }

  // A helper that dies later: the bus reads as absent.
  HelperPorts dying(KEV_SIM_HELPER, {"demo"});
  ASSERT_TRUE(dying.requestAccess());
  kill(dying.helperPid(), SIGKILL);
  EXPECT_EQ(PCIcfg_rdd(dying, 0, 0, 0, 0), 0xFFFFFFFFu);
  EXPECT_TRUE(dying.lost());
  EXPECT_FALSE(dying.requestAccess());

  // Started by anything but a program's SOCK_SEQPACKET pair: it refuses.
  int stream[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, stream), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(stream[1], 3);
    execl(KEV_SIM_HELPER, KEV_SIM_HELPER, "demo", nullptr);
    _exit(127);
  }
  close(stream[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  close(stream[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

// Another program holding the hardware past the wait: that tick reads N/A
// at once, the next reads right again.
TEST(HelperProcess, ATickTheHardwareIsHeldForReadsNotAvailable) {
  const std::string lockPath =
      (fs::temp_directory_path() / ("kev_lock_" + std::to_string(getpid()))).string();
  HelperPorts helper(KEV_SIM_HELPER, {"demo", lockPath});
  ASSERT_TRUE(helper.requestAccess());
  kev::test::MonitorRig rig(helper);
  for (int c = 1; c <= kChannelCount; ++c) ChannelChecked(rig.settings, c) = true;
  DetectPmDevice(helper, rig.settings, 0, rig.detect);
  DetectChip(helper, rig.settings, rig.detect);
  ConfigureChip(helper, rig.settings, rig.detect);
  SampleAllChannels(rig.ctx);
  const std::string fan1 = rig.host.panels[1];
  {
    MachineLock other(lockPath);
    ASSERT_TRUE(other.acquire(std::chrono::milliseconds(0)));
    SampleAllChannels(rig.ctx);
    EXPECT_EQ(rig.host.panels[1].substr(0, 3), "N/A");
    EXPECT_EQ(helper.busyReplies(), 1u);
  }
  SampleAllChannels(rig.ctx);
  EXPECT_EQ(rig.host.panels[1], fan1);
  fs::remove(lockPath);
}

}  // namespace
}  // namespace kev::ports
