// Which south bridge an lspci dump shows, told by the simulated parts
// themselves: the kind whose functions carry the dumped identifiers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "replay/dumps.h"

namespace kev::replay {

struct SouthBridgeFit {
  std::string kind;
  std::optional<uint16_t> smbusBase;  // as the board file gives it, when the dump shows one
};

std::optional<SouthBridgeFit> SouthBridgeOf(const PciDump& dump);

}  // namespace kev::replay
