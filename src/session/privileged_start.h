// What a program does while it may still hold privilege, and nothing more:
// who else drives the hardware is read while /proc/ioports still shows its
// addresses, the port helper is started (it alone takes port access), then
// privilege is given up. Board, settings and log files are handled only
// after that.
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
  std::function<std::unique_ptr<PortIo>()> openRealPorts;  // the port helper when empty
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

// Gives up everything a run may have been started with: root becomes the
// user who asked for the run (root's settings file carried over to a user
// who has none yet), every capability goes and nothing started later gains
// privilege. The programs pass this as PrivilegeSeams::dropPrivileges, and
// call it first thing where no port is needed.
PrivilegeDrop GiveUpPrivilege();

// Gives the user what root made under the user's home ($HOME): the settings
// folder and file at path that an earlier run under "sudo -E" wrote as
// root, which the user could read but not replace. Every step is taken by
// descriptor, so a link the user planted leads nowhere; a file with other
// names (a hard link) is left alone.
void AdoptRootOwnedSettings(const std::string& path, uint32_t uid, uint32_t gid);

// Root's own settings file at path, read while the run is still root's. The
// path comes from the environment, which under "sudo -E" is the user's: it
// is walked from / by descriptor without following a link, and only a file
// of root's with no other name is taken, so no link leads root to copy
// another file into the user's settings.
std::optional<std::string> ReadRootOwnedSettings(const std::string& path);

// A run on a simulated board only gives up privilege.
PrivilegedStart StartPrivileged(bool realMachine, const PrivilegeSeams& seams);

// Why the ports refused access, as one line for the user.
std::string PortRefusalText(PortIo& ports);

}  // namespace kev::session
