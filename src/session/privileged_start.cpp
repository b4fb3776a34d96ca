#include "session/privileged_start.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "ports/helper_ports.h"
#include "settings/atomic_file.h"
#include "settings/hive_file.h"

namespace kev::session {
namespace {

// Settings files are a few KiB.
constexpr size_t kMaxCarriedSettingsBytes = size_t{1} << 20;

// The entry at dir/name as an open descriptor, never through a symbolic link.
int OpenBeneath(int dir, const std::string& name, int flags) {
  return ::openat(dir, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
}

}  // namespace

std::optional<std::string> ReadRootOwnedSettings(const std::string& path) {
  if (path.empty() || path.front() != '/') return std::nullopt;
  int fd = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (size_t at = 1; fd >= 0 && at < path.size();) {
    const size_t slash = path.find('/', at);
    const bool last = slash == std::string::npos;
    const std::string part = path.substr(at, last ? std::string::npos : slash - at);
    const int next =
        part.empty() ? ::dup(fd)
                     : OpenBeneath(fd, part, last ? O_RDONLY | O_NONBLOCK : O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
    at = last ? path.size() : slash + 1;
  }
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::string bytes;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == 0 && st.st_nlink == 1 &&
      static_cast<uint64_t>(st.st_size) <= kMaxCarriedSettingsBytes) {
    bytes.resize(static_cast<size_t>(st.st_size));
    const ssize_t n = ::read(fd, bytes.data(), bytes.size());
    bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  }
  ::close(fd);
  if (bytes.empty()) return std::nullopt;
  return bytes;
}

namespace {

std::optional<std::string> RootSettings() {
  if (geteuid() != 0) return std::nullopt;
  return ReadRootOwnedSettings(DefaultHivePath());
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

void AdoptRootOwnedSettings(const std::string& path, uint32_t uid, uint32_t gid) {
  const char* home = std::getenv("HOME");
  if (home == nullptr || path.rfind(std::string(home) + "/", 0) != 0) return;
  std::vector<std::string> parts;
  for (size_t at = std::strlen(home) + 1; at < path.size();) {
    const size_t slash = path.find('/', at);
    parts.push_back(path.substr(at, slash == std::string::npos ? std::string::npos : slash - at));
    at = slash == std::string::npos ? path.size() : slash + 1;
  }
  int fd = ::open(home, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  for (size_t i = 0; fd >= 0 && i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    const int next =
        OpenBeneath(fd, parts[i], last ? O_RDONLY | O_NONBLOCK : O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_uid != 0) continue;
    // Only what the program made: its own folder and the settings file.
    const bool ours = last ? S_ISREG(st.st_mode) && st.st_nlink == 1 : i + 2 == parts.size();
    if (ours && ::fchown(fd, uid, gid) != 0) break;
  }
  if (fd >= 0) ::close(fd);
}

PrivilegeDrop GiveUpPrivilege() {
  const std::optional<std::string> rootSettings = RootSettings();
  const UserSwitch user = BecomeInvokingUser(
      [](uint32_t uid, uint32_t gid) { AdoptRootOwnedSettings(DefaultHivePath(), uid, gid); });
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
