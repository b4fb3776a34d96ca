// Becoming the user who started the run through sudo or pkexec.
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "hw/privilege.h"

namespace kev {
namespace {

constexpr std::array<const char*, 4> kUserFolders{"XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                                  "XDG_CACHE_HOME", "XDG_STATE_HOME"};

std::optional<uint32_t> EnvNumber(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return std::nullopt;
  uint32_t v = 0;
  const std::string_view s(text);
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

bool OwnedBy(const char* path, uint32_t uid) {
  struct stat st {};
  return path != nullptr && ::stat(path, &st) == 0 && st.st_uid == uid;
}

// What the user's own session would have set, and nothing of root's.
void PointEnvironmentAt(const passwd& pw) {
  setenv("HOME", pw.pw_dir, 1);
  setenv("USER", pw.pw_name, 1);
  setenv("LOGNAME", pw.pw_name, 1);
  for (const char* name : kUserFolders) {
    if (!OwnedBy(std::getenv(name), pw.pw_uid)) unsetenv(name);
  }
  if (!OwnedBy(std::getenv("XAUTHORITY"), pw.pw_uid)) unsetenv("XAUTHORITY");
  const std::string runtime = "/run/user/" + std::to_string(pw.pw_uid);
  const std::string bus = runtime + "/bus";
  if (OwnedBy(runtime.c_str(), pw.pw_uid)) {
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
  if (OwnedBy(bus.c_str(), pw.pw_uid)) {
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + bus).c_str(), 1);
  } else {
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }
}

std::string Failed(const char* what) {
  return std::string("cannot become the user who started the program: ") + what + ": " +
         std::strerror(errno);
}

}  // namespace

std::optional<InvokingIds> InvokingIdsFromEnvironment() {
  if (const std::optional<uint32_t> sudo = EnvNumber("SUDO_UID"))
    return InvokingIds{*sudo, EnvNumber("SUDO_GID")};
  if (const std::optional<uint32_t> pkexec = EnvNumber("PKEXEC_UID"))
    return InvokingIds{*pkexec, std::nullopt};
  return std::nullopt;
}

UserSwitch BecomeInvokingUser(const std::function<void(uint32_t, uint32_t)>& lastAsRoot) {
  UserSwitch r;
  if (geteuid() != 0 || getuid() != 0) return r;
  const std::optional<InvokingIds> who = InvokingIdsFromEnvironment();
  // A root login, or root through sudo: root asked for a run of its own.
  if (!who || who->uid == 0) return r;
  const passwd* pw = getpwuid(who->uid);
  if (pw == nullptr || pw->pw_uid == 0) {
    r.problem = "cannot become the user who started the program: no such account";
    return r;
  }
  r.uid = pw->pw_uid;
  r.gid = who && who->gid ? *who->gid : pw->pw_gid;
  PointEnvironmentAt(*pw);
  if (lastAsRoot) lastAsRoot(r.uid, r.gid);
  if (setgroups(0, nullptr) != 0) r.problem = Failed("supplementary groups");
  if (r.problem.empty() && setresgid(r.gid, r.gid, r.gid) != 0) r.problem = Failed("group");
  if (r.problem.empty() && setresuid(r.uid, r.uid, r.uid) != 0) r.problem = Failed("user");
  r.switched = r.problem.empty();
  return r;
}

std::string ForbidNewPrivileges() {
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0) return {};
  return std::string("cannot forbid new privileges: ") + std::strerror(errno);
}

}  // namespace kev
