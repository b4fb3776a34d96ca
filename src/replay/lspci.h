// lspci -xxx / -xxxx: per function a heading "00:07.3 Bridge: ...", then
// rows "00: 86 80 13 71 ..." of its configuration space.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "replay/dumps.h"

namespace kev::replay {

std::optional<PciDump> ParseLspci(const std::vector<std::string_view>& lines, DumpError& error);

}  // namespace kev::replay
