#include "session/privileged_start.h"

#include "hw/realports.h"

namespace kev::session {

PrivilegedStart StartPrivileged(bool realMachine, const PrivilegeSeams& seams) {
  PrivilegedStart start;
  if (realMachine) {
    start.ownership = ReadOwnership(seams.roots);
    start.ports = seams.openRealPorts ? seams.openRealPorts() : std::make_unique<RealPorts>();
    start.accessGranted = start.ports->requestAccess();
  }
  if (seams.dropPrivileges) start.privileges = seams.dropPrivileges();
  return start;
}

std::string PortRefusalText(PortIo& ports) {
  const std::string why = ports.refusalReason();
  return why.empty() ? "Port access refused: run as root or with CAP_SYS_RAWIO." : why;
}

}  // namespace kev::session
