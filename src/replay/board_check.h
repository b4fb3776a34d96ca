// What the program's own detection makes of a board made from dumps, and
// what of the chip's registers the dumps did not hold.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace kev::replay {

struct Identified {
  std::string kind;            // as board files spell it; empty when detection names none
  std::string name;            // as the summary shows it ("Winbond W83782D")
  std::vector<uint8_t> smbus;  // the SMBus addresses the summary lists
  std::string loadError;       // the board does not load
};

// Loads the board and runs the information summary's probe on it.
Identified IdentifyBoard(const nlohmann::json& board);

// Failed reads in place of the readings of the Winbond banks no grid
// showed, so that none reads a value the chip never measured; the banks.
std::vector<int> FailUndumpedBankReadings(nlohmann::json& chip);

// "W83782D at 2Dh: 75 registers from the dump; power-on values: ..." for a
// chip whose image the dumps made.
std::string DumpCoverageNote(const nlohmann::json& chip, const std::vector<int>& failedBanks);

}  // namespace kev::replay
