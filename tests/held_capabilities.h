// What /proc shows of a process's capabilities, for tests that check a
// running program has given them up.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace kev::test {

// CAP_SETPCAP: without it a process cannot empty its bounding set.
inline constexpr uint64_t kSetPcapBit = uint64_t{1} << 8;

// The set named (e.g. "CapEff") from a /proc status file; 0 when absent.
inline uint64_t CapabilitySet(const std::filesystem::path& status, const std::string& set) {
  std::ifstream in(status);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(set + ":")) return std::stoull(line.substr(set.size() + 1), nullptr, 16);
  }
  return 0;
}

inline uint64_t OwnCapabilities() { return CapabilitySet("/proc/self/status", "CapEff"); }

// "TID SET" for each set of each thread of pid that still holds something;
// empty when all are clear. The bounding set counts when withBounding.
inline std::string HeldCapabilities(pid_t pid, bool withBounding) {
  std::string held;
  std::error_code ec;
  const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
    for (const char* set : {"CapInh", "CapPrm", "CapEff", "CapBnd", "CapAmb"}) {
      if (!withBounding && std::string(set) == "CapBnd") continue;
      if (CapabilitySet(task.path() / "status", set) != 0) {
        held += task.path().filename().string() + " " + set + "\n";
      }
    }
  }
  return ec ? "no /proc entry for " + std::to_string(pid) : held;
}

}  // namespace kev::test
