// Giving up privilege once port access is granted: the I/O permission the
// kernel gave stays with the threads, every capability goes.
#pragma once

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
// nothing and says so.
PrivilegeDrop DropPrivileges();

}  // namespace kev
