#include "session/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "session/board_opener.h"
#include "settings/settings_io.h"

namespace kev::session {

std::string SettingsPath(const std::optional<std::string>& given, const EnvLookup& env) {
  if (given) return *given;
  return DefaultHivePath(env ? env : ProcessEnv());
}

std::string SettingsFileProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return {};
  std::string problem = PlainFileProblem(path);
  if (problem.empty()) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) problem = std::strerror(errno);
    if (fd >= 0) ::close(fd);
  }
  return problem.empty() ? problem : "cannot read the settings file " + path + ": " + problem;
}

int32_t ChipPortSetting(const Registry& reg) {
  MonitorSettings s;
  LoadSettings(reg, s);
  return s.MainChipPortAddress;
}

}  // namespace kev::session
