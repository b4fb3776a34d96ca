#include "hw/privilege.h"

#include <sys/capability.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kev {
namespace {

constexpr const char* kTaskDir = "/proc/self/task";

cap_value_t CapCount() { return cap_max_bits(); }

bool AnySet(cap_t caps, cap_flag_t flag) {
  for (cap_value_t c = 0; c < CapCount(); ++c) {
    cap_flag_value_t v = CAP_CLEAR;
    if (cap_get_flag(caps, c, flag, &v) == 0 && v == CAP_SET) return true;
  }
  return false;
}

bool HasEffective(cap_t caps, cap_value_t cap) {
  cap_flag_value_t v = CAP_CLEAR;
  return cap_get_flag(caps, cap, CAP_EFFECTIVE, &v) == 0 && v == CAP_SET;
}

// Threads of this process; without /proc the count is unknown and taken as 1.
size_t ThreadCount() {
  std::error_code ec;
  size_t n = 0;
  for (std::filesystem::directory_iterator it(kTaskDir, ec), end; !ec && it != end;
       it.increment(ec)) {
    ++n;
  }
  return n == 0 ? 1 : n;
}

std::string Failed(const char* what) {
  return std::string("cannot give up privileges: ") + what + ": " + std::strerror(errno);
}

// Without its bounding set a child run by root gets no capability back.
std::string EmptyBoundingSet() {
  for (cap_value_t c = 0; c < CapCount(); ++c) {
    if (cap_get_bound(c) == 1 && cap_drop_bound(c) != 0) return Failed("bounding set");
  }
  return {};
}

// A set-user-ID root program goes back to the user who started it.
std::string LeaveSetUserId() {
  const gid_t gid = getgid();
  const uid_t uid = getuid();
  if (setresgid(gid, gid, gid) != 0) return Failed("group");
  if (setresuid(uid, uid, uid) != 0) return Failed("user");
  return {};
}

std::string ClearSets() {
  cap_t none = cap_init();
  const int rc = none != nullptr ? cap_set_proc(none) : -1;
  if (none != nullptr) cap_free(none);
  if (rc != 0) return Failed("capabilities");
  if (CAP_AMBIENT_SUPPORTED() && cap_reset_ambient() != 0) return Failed("ambient capabilities");
  cap_t left = cap_get_proc();
  const bool held = left == nullptr || AnySet(left, CAP_PERMITTED) || AnySet(left, CAP_EFFECTIVE) ||
                    AnySet(left, CAP_INHERITABLE);
  if (left != nullptr) cap_free(left);
  return held ? "cannot give up privileges: capabilities remain after the drop" : "";
}

}  // namespace

PrivilegeDrop DropPrivileges() {
  PrivilegeDrop r;
  cap_t held = cap_get_proc();
  if (held == nullptr) {
    r.problem = Failed("reading capabilities");
    return r;
  }
  const bool capable = AnySet(held, CAP_PERMITTED);
  const bool inheritable = AnySet(held, CAP_INHERITABLE);
  const bool mayBound = HasEffective(held, CAP_SETPCAP);
  cap_free(held);
  const bool setUserId = getuid() != 0 && geteuid() == 0;
  r.forNonRootUser = getuid() != 0 && (capable || setUserId);
  // An ordinary user's run has nothing to give up, however many threads an
  // emulator, profiler or preloaded library started.
  if (!capable && !inheritable && !setUserId) return r;

  if (ThreadCount() > 1) {
    r.problem = "cannot give up privileges: the program already runs more than one thread";
    return r;
  }
  if (mayBound) r.problem = EmptyBoundingSet();
  if (r.problem.empty() && setUserId) r.problem = LeaveSetUserId();
  if (r.problem.empty()) r.problem = ClearSets();
  return r;
}

}  // namespace kev
