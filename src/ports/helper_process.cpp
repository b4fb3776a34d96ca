#include "ports/helper_process.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "hw/privilege.h"
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

std::string Confine() {
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return Failed("no-new-privileges");
  std::string problem = LeaveRoot();
  if (problem.empty()) problem = DropPrivileges().problem;
  if (problem.empty()) problem = TieToParent();
  return problem;
}

bool ServedFdIsSocket() {
  struct stat st {};
  return fstat(kServedFd, &st) == 0 && S_ISSOCK(st.st_mode);
}

}  // namespace

int RunHelper(PortIo& raw, PortAccessRefusal access, int accessErrno) {
  if (!ServedFdIsSocket()) {
    std::fprintf(stderr, "kevatra-ports: only Kevatra's programs start the port helper\n");
    return kExitStopped;
  }
  const std::string problem = Confine();
  if (!problem.empty()) {
    std::fprintf(stderr, "kevatra-ports: %s\n", problem.c_str());
    return kExitStopped;
  }
  // Ctrl+C in the program's terminal reaches the helper too; it ends when
  // the program closes the socket or dies.
  for (int sig : {SIGINT, SIGQUIT, SIGHUP}) signal(sig, SIG_IGN);
  PolicedPorts policed(raw);
  PortServer server(policed, access, accessErrno,
                    [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  Serve(kServedFd, server);
  return 0;
}

}  // namespace kev::ports
