#include "hw/uinit.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace kev {

namespace {

constexpr int kNt5Major = 5;
constexpr uint32_t kModeBits = 0x03;

// The switches and the board-switch position each selects.
struct AsmsSwitch {
  const char* text;
  uint32_t mode;
};
constexpr std::array<AsmsSwitch, 3> kSwitches{{{"/asms0", 0}, {"/asms1", 1}, {"/asms2", 2}}};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

}  // namespace

bool IsNtFamily(const OsVersion& v) { return v.platformId == kPlatformNt; }

bool IsNt5(const OsVersion& v) { return IsNtFamily(v) && v.majorVersion == kNt5Major; }

bool Is9xFamily(const OsVersion& v) { return v.platformId == kPlatform9x; }

// Linux stands in for the NT-5 generation: port access needs a grant.
OsVersion CurrentOsVersion() { return OsVersion{kPlatformNt, kNt5Major}; }

bool GiveioPresent(PortIo& io) { return io.requestAccess(); }

uint32_t ParseCommandLine(const std::vector<std::string>& args) {
  uint32_t mode = 0;
  for (const std::string& arg : args) {
    const std::string lower = Lower(arg);
    for (const AsmsSwitch& s : kSwitches)
      if (lower == s.text) mode = (mode & ~kModeBits) + s.mode;
  }
  return mode;
}

}  // namespace kev
