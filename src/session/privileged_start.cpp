#include "session/privileged_start.h"

#include <sys/stat.h>
#include <unistd.h>

#include "ports/helper_ports.h"
#include "settings/atomic_file.h"
#include "settings/hive_file.h"

namespace kev::session {
namespace {

// Settings files are a few KiB.
constexpr size_t kMaxCarriedSettingsBytes = size_t{1} << 20;

// Root's own settings file, read while the run is still root's.
std::optional<std::string> RootSettings() {
  if (geteuid() != 0) return std::nullopt;
  const std::string path = DefaultHivePath();
  if (path.empty()) return std::nullopt;
  FileRead file = ReadFileCapped(path, kMaxCarriedSettingsBytes);
  if (!file.exists || !file.error.empty() || file.truncated) return std::nullopt;
  return std::move(file.bytes);
}

// Runs started with sudo used to keep their settings in root's folder; the
// user who started them finds them in their own after the switch.
void CarryOver(const std::optional<std::string>& settings) {
  const std::string path = DefaultHivePath();
  struct stat st {};
  if (!settings || path.empty() || ::lstat(path.c_str(), &st) == 0) return;
  WriteFileAtomically(path, *settings);
}

}  // namespace

PrivilegeDrop GiveUpPrivilege() {
  const std::optional<std::string> rootSettings = RootSettings();
  const UserSwitch user = BecomeInvokingUser();
  if (!user.problem.empty()) return {false, user.problem};
  PrivilegeDrop drop = DropPrivileges();
  const std::string nnp = ForbidNewPrivileges();
  if (drop.problem.empty()) drop.problem = nnp;
  if (user.switched) CarryOver(rootSettings);
  return drop;
}

PrivilegedStart StartPrivileged(bool realMachine, const PrivilegeSeams& seams) {
  PrivilegedStart start;
  if (realMachine) {
    start.ownership = ReadOwnership(seams.roots);
    // Only the port helper ever holds port access; it is started while the
    // run may still hold what lets it start (root, or its own capability).
    start.ports =
        seams.openRealPorts ? seams.openRealPorts() : std::make_unique<ports::HelperPorts>();
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
