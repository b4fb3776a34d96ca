// The current user's registry kept as one text file in the registry export
// format, so value types survive and the file can be read, edited by hand and
// exchanged with the original platform's registry editor:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Tolvenor\Kevatra\General]
//   "IntervalTime"=dword:000003e8
//   "SoundFile1"="C:\\Sounds\\fan.wav"
//   "Odd"=hex(2):25,00,54,00,00,00
//
// Location: $XDG_CONFIG_HOME/Kevatra/registry.reg ($XDG_CONFIG_HOME defaults
// to ~/.config). Written as UTF-8 with LF line ends; read also as UTF-16LE
// with a byte-order mark and CR LF, with "REGEDIT4" as the header, and with
// long hex lines continued by a trailing backslash.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/atomic_file.h"
#include "settings/registry.h"

namespace kev {

// A file bigger than this is read only up to here, and never written.
inline constexpr size_t kMaxHiveBytes = 32u << 20;
// At most this many problems are listed one by one; the rest are counted.
inline constexpr size_t kMaxHiveProblems = 20;

struct HiveParseResult {
  HiveTree tree;
  std::vector<std::string> problems;  // "line 12: ..." - empty for a sound file
};

// Reads hive text in any of the accepted encodings. Never fails: whatever
// can be read is kept and every damaged spot is listed in problems.
HiveParseResult ParseHive(std::string_view bytes, size_t max_bytes = kMaxHiveBytes);
// Writes the hive text (UTF-8, version 5.00 header).
std::string FormatHive(const HiveTree& tree);

// Where the hive file lives, from the environment (XDG_CONFIG_HOME, HOME).
// Empty when neither gives an absolute directory.
using EnvLookup = std::function<const char*(const char*)>;
// $XDG_CONFIG_HOME, else ~/.config; empty when neither is an absolute path.
std::string ConfigHome(const EnvLookup& env);
// The process environment as an EnvLookup.
EnvLookup ProcessEnv();
std::string DefaultHivePath(const EnvLookup& env);
std::string DefaultHivePath();  // from the process environment

// The registry backed by the hive file. load() reads it once; flush() saves
// it atomically: a new file beside it, flushed to disk, then renamed over
// the old one. A failed save leaves the old file as it was. The first save
// after loading a damaged file keeps the old one as "registry.reg.damaged",
// unless another save has replaced it since (and so kept it). Saves from
// several processes take turns under a lock of the file's folder.
class HiveFileRegistry : public MemoryRegistry {
 public:
  explicit HiveFileRegistry(std::string path, WriteFn write = {});

  // Reads the file. A missing file is an empty hive, not a problem; a
  // damaged one yields what could be read and the list of problems ("line
  // 12: ..."; the caller names the file), to be shown to the user once.
  std::vector<std::string> load();
  SaveResult flush() override;

  const std::string& path() const { return path_; }

 private:
  SaveResult keepDamagedCopy() const;

  std::string path_;
  WriteFn write_;
  bool damaged_ = false;    // keep a copy of the damaged file at the first save
  dev_t loadedDevice_ = 0;  // the file load() read; 0/0 when none or unknown
  ino_t loadedInode_ = 0;
};

}  // namespace kev
