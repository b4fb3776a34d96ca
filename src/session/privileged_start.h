// What a program does while it may still hold privilege, and nothing more:
// who else drives the hardware is read while /proc/ioports still shows its
// addresses, port access is asked for, then privilege is given up. Board,
// settings and log files are handled only after that.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "detect/ownership.h"
#include "hw/portio.h"
#include "hw/privilege.h"

namespace kev::session {

struct PrivilegeSeams {
  OwnershipRoots roots;                                    // where sysfs and proc are
  std::function<std::unique_ptr<PortIo>()> openRealPorts;  // RealPorts when empty
  // Gives up privilege; the programs pass DropPrivileges. Empty keeps it
  // (tests that run a program inside their own process).
  std::function<PrivilegeDrop()> dropPrivileges;
};

struct PrivilegedStart {
  std::optional<OwnershipFacts> ownership;  // the real machine only
  std::unique_ptr<PortIo> ports;            // the real machine only; access asked for
  bool accessGranted = false;
  PrivilegeDrop privileges;
};

// A run on a simulated board only gives up privilege.
PrivilegedStart StartPrivileged(bool realMachine, const PrivilegeSeams& seams);

// Why the ports refused access, as one line for the user.
std::string PortRefusalText(PortIo& ports);

}  // namespace kev::session
