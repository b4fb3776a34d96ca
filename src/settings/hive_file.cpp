#include "settings/hive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kev {
namespace {

constexpr std::string_view kHiveRelativePath = "Kevatra/registry.reg";
constexpr std::string_view kDamagedSuffix = ".damaged";

}  // namespace

std::string ConfigHome(const EnvLookup& env) {
  // Relative values are ignored, as the XDG base directory rules say.
  const char* config = env("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return config;
  const char* home = env("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config";
  return {};
}

EnvLookup ProcessEnv() {
  return [](const char* name) -> const char* { return std::getenv(name); };
}

std::string DefaultHivePath(const EnvLookup& env) {
  std::string base = ConfigHome(env);
  return base.empty() ? base : base + '/' + std::string(kHiveRelativePath);
}

std::string DefaultHivePath() { return DefaultHivePath(ProcessEnv()); }

HiveFileRegistry::HiveFileRegistry(std::string path, WriteFn write)
    : path_(std::move(path)), write_(std::move(write)) {}

std::vector<std::string> HiveFileRegistry::load() {
  if (path_.empty()) return {};
  FileRead file = ReadFileCapped(path_, kMaxHiveBytes + 1);
  if (!file.error.empty()) {
    // Unreadable (permissions, too large, not a file): the save keeps it
    // aside like a damaged file instead of replacing it with defaults.
    damaged_ = true;
    return {file.error};
  }
  if (!file.exists) return {};
  loadedDevice_ = file.device;
  loadedInode_ = file.inode;
  if (file.truncated) file.bytes.resize(kMaxHiveBytes);
  HiveParseResult parsed = ParseHive(file.bytes);
  tree() = std::move(parsed.tree);
  if (file.truncated) {
    parsed.problems.push_back("the file is larger than " + std::to_string(kMaxHiveBytes >> 20) +
                              " MiB; only its beginning was read");
  }
  damaged_ = !parsed.problems.empty();
  return parsed.problems;
}

SaveResult HiveFileRegistry::flush() {
  if (path_.empty()) {
    return SaveResult::Failed(
        "Cannot save the settings: no configuration folder is known (set HOME or "
        "XDG_CONFIG_HOME).");
  }
  std::string text = FormatHive(tree());
  if (text.size() > kMaxHiveBytes) {
    return SaveResult::Failed("Cannot write \"" + path_ + "\": the settings would exceed " +
                              std::to_string(kMaxHiveBytes >> 20) + " MiB.");
  }
  std::string target;
  if (SaveResult safe = ResolveSaveTarget(path_, target); !safe) return safe;
  FolderLock lock(target);
  if (!lock.ok()) {
    return SaveResult::Failed("Cannot write \"" + path_ +
                              "\": another program has been saving it for too long.");
  }
  if (damaged_) {
    if (SaveResult kept = keepDamagedCopy(); !kept) return kept;
  }
  SaveResult saved = WriteFileAtomically(path_, text, write_);
  if (saved) damaged_ = false;
  return saved;
}

SaveResult HiveFileRegistry::keepDamagedCopy() const {
  // A file replaced since load() was saved by another process, which kept
  // the damaged one; copying it now would put that save in its place.
  struct stat now;
  if (loadedInode_ != 0 && (stat(path_.c_str(), &now) != 0 || now.st_dev != loadedDevice_ ||
                            now.st_ino != loadedInode_)) {
    return {};
  }
  // A second name for the old file, which the rename of the save then frees.
  std::string copy = path_ + std::string(kDamagedSuffix);
  (void)unlink(copy.c_str());
  if (linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, copy.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
      errno != ENOENT) {
    // Without the copy the save would destroy what could not be read.
    return SaveResult::Failed("Cannot keep a copy of the damaged settings file \"" + path_ +
                              "\" as \"" + copy + "\": " + std::strerror(errno) + ".");
  }
  return {};
}

}  // namespace kev
