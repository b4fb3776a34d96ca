// The register image of one chip (board-file fields "image" and "banks")
// made from its i2cdump or isadump grids.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "replay/dumps.h"

namespace kev::replay {

// Chip kinds whose dumps can be replayed, as board files spell them.
std::vector<std::string> DumpableChipKinds();

// Adds "image" (and for the Winbond parts "banks") to the chip object,
// replacing registers it names. Fails when the grids hold nothing the kind
// can use (error says what to dump).
bool AddChipImage(nlohmann::json& chip, std::string_view kind,
                  const std::vector<RegisterGrid>& grids, std::string& error);

}  // namespace kev::replay
