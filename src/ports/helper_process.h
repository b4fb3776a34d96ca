// The port helper as a process: it serves its parent over fd 3 after
// giving up everything but the port access it took.
#pragma once

#include "hw/portio.h"
#include "hw/realports.h"

namespace kev::ports {

// The socket the helper serves; the client puts its end here.
inline constexpr int kServedFd = 3;
// The pid of the process that started the helper, set by the client.
inline constexpr const char* kParentVariable = "KEVATRA_PORTS_PARENT";

// After port access was asked for (access and accessErrno say how that
// went): sets no-new-privileges, leaves root for the invoking user
// (SUDO_UID/SUDO_GID, else nobody) with no supplementary groups, gives up
// every capability, dies with its parent, then serves fd 3 with every
// access through the policy until the client closes it. The exit status.
int RunHelper(PortIo& raw, PortAccessRefusal access, int accessErrno);

}  // namespace kev::ports
