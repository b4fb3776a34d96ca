// Operating-system tests, the port-access probe and the command line.
#pragma once

#include <string>
#include <vector>

#include "hw/portio.h"

namespace kev {

// The version record the family tests look at; tests set it, Linux reports
// the NT-5 generation.
struct OsVersion {
  int platformId = 2;  // 1: 95/98/Me family, 2: NT family
  int majorVersion = 5;
};

inline constexpr int kPlatform9x = 1;
inline constexpr int kPlatformNt = 2;

bool IsNtFamily(const OsVersion& v);
bool IsNt5(const OsVersion& v);
bool Is9xFamily(const OsVersion& v);

// The version record of the running system.
OsVersion CurrentOsVersion();

// Stands where the driver check stands: may this process do port I/O?
bool GiveioPresent(PortIo& io);

// The board-switch override from "/asms0".."/asms2" (last one wins).
uint32_t ParseCommandLine(const std::vector<std::string>& args);

}  // namespace kev
