// The port helper as a process: it serves its parent over fd 3 after
// giving up everything but the port access it took.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "hw/portio.h"
#include "hw/realports.h"
#include "ports/machine_lock.h"
#include "ports/machine_map.h"

namespace kev::ports {

// The socket the helper serves; the client puts its end here.
inline constexpr int kServedFd = 3;
// The pid of the process that started the helper, set by the client.
inline constexpr const char* kParentVariable = "KEVATRA_PORTS_PARENT";

// What differs between the installed helper and a test's.
struct HelperSetup {
  std::string lockPath = kMachineLockPath;
  // Where sysfs is, to find the kernel's SMBus adapter; empty: never use one.
  std::string sysRoot = "/sys";
  // Asks the kernel for these ports (the real helper's ioperm); false
  // when it refuses.
  std::function<bool(const std::vector<PortRange>&)> grant;
};

// Closes inherited descriptors and insists that fd 3 is a SOCK_SEQPACKET
// socket; then, with port access asked for (access and accessErrno say how
// that went), learns the machine, opens the kernel's SMBus adapter node
// where a driver drives the host, and asks for exactly its ports; sets
// no-new-privileges, leaves root for the invoking user (SUDO_UID/SUDO_GID,
// else nobody) with no supplementary groups, gives up the group its file
// may set (the adapter nodes' group) and every capability,
// makes itself non-dumpable, dies with its parent, then serves fd 3 with
// every op through the policy and under the machine lock until the client
// closes it. The exit status.
int RunHelper(PortIo& raw, PortAccessRefusal access, int accessErrno, const HelperSetup& setup);

}  // namespace kev::ports
