#include "ports/helper_process.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "detect/ownership.h"
#include "hw/privilege.h"
#include "ports/kernel_smbus.h"
#include "ports/machine_map.h"
#include "ports/policy.h"
#include "ports/server.h"

namespace kev::ports {
namespace {

constexpr int kExitStopped = 1;
constexpr uid_t kNobodyFallback = 65534;

// A positive id from an environment variable, or 0.
unsigned long IdFrom(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr) return 0;
  const std::string_view s(text);
  unsigned long id = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), id);
  return ec == std::errc() && end == s.data() + s.size() ? id : 0;
}

std::string Failed(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Root keeps nothing of its identity: the user sudo or pkexec names, else
// nobody (also when root itself asked: the helper never stays root).
std::string LeaveRoot() {
  if (getuid() != 0) return {};
  const passwd* nobody = getpwnam("nobody");
  uid_t uid = nobody != nullptr ? nobody->pw_uid : kNobodyFallback;
  gid_t gid = nobody != nullptr ? nobody->pw_gid : kNobodyFallback;
  if (const std::optional<InvokingIds> who = InvokingIdsFromEnvironment(); who && who->uid != 0) {
    // pkexec names no group: the account's own.
    const passwd* pw = who->gid ? nullptr : getpwuid(who->uid);
    const std::optional<uint32_t> group = who->gid        ? who->gid
                                          : pw != nullptr ? std::optional<uint32_t>(pw->pw_gid)
                                                          : std::nullopt;
    if (group && *group != 0) {
      uid = who->uid;
      gid = *group;
    }
  }
  if (setgroups(0, nullptr) != 0) return Failed("clearing the groups");
  if (setresgid(gid, gid, gid) != 0) return Failed("leaving group root");
  if (setresuid(uid, uid, uid) != 0) return Failed("leaving user root");
  return {};
}

// The parent-death signal goes after every change of identity, which
// clears it; a parent that died before is caught by the pid check.
std::string TieToParent() {
  const auto parent = static_cast<pid_t>(IdFrom(kParentVariable));
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return Failed("parent-death signal");
  if (parent == 0 || getppid() != parent) return "the process that started the helper is gone";
  return {};
}

// The group a set-group-ID helper file gave, once the node it opens is open.
std::string DropFileGroup() {
  const gid_t gid = getgid();
  if (getegid() == gid) return {};
  return setresgid(gid, gid, gid) == 0 ? "" : Failed("giving up the helper's group");
}

std::string Confine() {
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return Failed("no-new-privileges");
  std::string problem = DropFileGroup();
  if (problem.empty()) problem = LeaveRoot();
  if (problem.empty()) problem = DropPrivileges().problem;
  if (problem.empty()) problem = TieToParent();
  return problem;
}

bool ServedFdIsSeqpacket() {
  int type = 0;
  socklen_t size = sizeof type;
  return getsockopt(kServedFd, SOL_SOCKET, SO_TYPE, &type, &size) == 0 && type == SOCK_SEQPACKET;
}

// Nothing the starter left open reaches the helper's work.
void CloseInherited() { close_range(kServedFd + 1, ~0U, 0); }

// Where a kernel driver drives the SMBus host, its adapter node, opened
// now while the helper may still hold the node's group.
std::unique_ptr<KernelSmbus> OpenKernelAdapter(const std::string& sysRoot, MachineMap& map) {
  if (sysRoot.empty() || !map.smbus) return nullptr;
  const std::optional<KernelAdapter> found = FindKernelAdapter(sysRoot, map.pm);
  if (!found) return nullptr;
  const int fd = open(found->node().c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
  if (fd < 0) {
    std::fprintf(stderr,
                 "kevatra-ports: cannot open %s (%s): the SMBus host stays the kernel's %s\n",
                 found->node().c_str(), std::strerror(errno), found->driver.c_str());
    return nullptr;
  }
  map.smbusThroughKernel = true;
  return std::make_unique<KernelSmbus>(OpenI2cNode(fd));
}

// The fixed ports first, to learn the machine with; then its blocks.
bool LearnAndGrant(PortIo& raw, const HelperSetup& setup, MachineMap& map,
                   std::unique_ptr<KernelSmbus>& adapter) {
  const auto grant = [&setup](const MachineMap& m) {
    return !setup.grant || setup.grant(PortsToGrant(m));
  };
  if (!grant(MachineMap{})) return false;
  map = EstablishMachine(raw);
  adapter = OpenKernelAdapter(setup.sysRoot, map);
  return grant(map);
}

}  // namespace

int RunHelper(PortIo& raw, PortAccessRefusal access, int accessErrno, const HelperSetup& setup) {
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  CloseInherited();
  if (!ServedFdIsSeqpacket()) {
    std::fprintf(stderr, "kevatra-ports: only Kevatra's programs start the port helper\n");
    return kExitStopped;
  }
  MachineMap map;
  std::unique_ptr<KernelSmbus> adapter;
  if (access == PortAccessRefusal::None) {
    if (!LearnAndGrant(raw, setup, map, adapter)) {
      std::fprintf(stderr, "kevatra-ports: the kernel refused the monitor's ports\n");
      return kExitStopped;
    }
  }
  // Without port access nothing is served, so there is nothing to lock.
  MachineLock lock(access == PortAccessRefusal::None ? setup.lockPath : std::string());
  std::string problem = Confine();
  // Changing identity resets it: once more now that the helper is who it stays.
  if (problem.empty() && prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) problem = Failed("not dumpable");
  if (!problem.empty()) {
    std::fprintf(stderr, "kevatra-ports: %s\n", problem.c_str());
    return kExitStopped;
  }
  if (!lock.problem().empty()) std::fprintf(stderr, "kevatra-ports: %s\n", lock.problem().c_str());
  // Ctrl+C in the program's terminal reaches the helper too; it ends when
  // the program closes the socket or dies.
  for (int sig : {SIGINT, SIGQUIT, SIGHUP}) signal(sig, SIG_IGN);
  OpPolicy policy(raw, std::move(map), adapter.get());
  PortServer server(policy, &lock, access, accessErrno,
                    [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  if (adapter) server.announceKernelSmbus();
  Serve(kServedFd, server);
  return 0;
}

}  // namespace kev::ports
