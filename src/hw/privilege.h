// Giving up privilege once port access is granted: the I/O permission the
// kernel gave stays with the threads, every capability goes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kev {

struct PrivilegeDrop {
  // The process held privilege that a user who is not root was given: file
  // capabilities on the program, or a set-user-ID root program. Stored ports
  // from that user's files are then held to the monitoring chips' ranges.
  bool forNonRootUser = false;
  std::string problem;  // one line when something could not be given up
};

// Empties the effective, permitted, inheritable and ambient capability
// sets, and the bounding set where the process may; a set-user-ID root
// program also gives its user and group back to the real ones. Root stays
// user 0: files root owns stay writable. Call it while the program has one
// thread only, since every thread has its own sets; with more it gives up
// nothing and says so. A process holding nothing passes with any threads.
PrivilegeDrop DropPrivileges();

// Who asked root for this run: SUDO_UID and SUDO_GID, else PKEXEC_UID (no
// group said); none for a run root started itself without either.
struct InvokingIds {
  uint32_t uid = 0;
  std::optional<uint32_t> gid;
};
std::optional<InvokingIds> InvokingIdsFromEnvironment();

struct UserSwitch {
  bool switched = false;  // the process was root and now runs as uid
  uint32_t uid = 0;
  uint32_t gid = 0;
  std::string problem;  // one line when the switch failed; the run must stop
};

// Started as root: becomes the user who asked for the run (SUDO_UID and
// SUDO_GID, else PKEXEC_UID) with supplementary groups cleared, and points
// HOME, USER, LOGNAME, the XDG folders and the session bus at that user's
// own, as if the user had started the program. A run root itself asked for
// (a root login, or sudo by root) stays root's, with root's own folders.
// Not root: nothing changes. lastAsRoot runs once the environment is the
// user's, just before root is given up.
UserSwitch BecomeInvokingUser(
    const std::function<void(uint32_t uid, uint32_t gid)>& lastAsRoot = {});

// Nothing this process starts gains privilege through set-user-ID or file
// capabilities; one line when it cannot be set.
std::string ForbidNewPrivileges();

}  // namespace kev
