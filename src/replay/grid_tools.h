// The two tools that print register grids: i2cdump (an SMBus device, bytes
// or words) and isadump (an index/data pair on ISA).
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "replay/dumps.h"

namespace kev::replay {

std::optional<RegisterDump> ParseI2cdump(const std::vector<std::string_view>& lines,
                                         DumpError& error);
std::optional<RegisterDump> ParseIsadump(const std::vector<std::string_view>& lines,
                                         DumpError& error);

}  // namespace kev::replay
