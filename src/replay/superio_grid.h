// A Super-I/O configuration grid (isadump of the 2Eh/2Fh or 4Eh/4Fh pair):
// which monitoring chip it names and where it places the chip's registers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "replay/dumps.h"

namespace kev::replay {

// Taken at a configuration port, or (no port shown) holding a logical-device
// select and a known chip ID.
bool IsSuperIoConfigGrid(const RegisterGrid& g);

struct SuperIoFacts {
  std::string kind;              // the monitoring part, as board files spell it
  std::optional<uint16_t> base;  // its monitor's base, when the grid shows that device
  std::optional<bool> active;    // ITE: whether the environment controller decodes
  uint16_t port = 0;             // configuration index port
  uint8_t chipId = 0;            // register 20h
  bool winbond = false;          // a Winbond configuration space (board field "superio")
};

// What the grid tells; nullopt with error "line N: ..." for a chip ID no
// monitoring Super-I/O here has, or the PC87366 (its board comes from a profile).
std::optional<SuperIoFacts> ReadSuperIoGrid(const RegisterGrid& g, std::string& error);

}  // namespace kev::replay
