// A Winbond part's registers in a board file's chip entry: "image" holds what
// reads with bank 0 selected, "banks" the 50h-5Fh window of the other banks,
// and 4Fh, the vendor ID read a byte at a time, is one word.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

namespace kev::replay {

inline constexpr uint8_t kWbBankSelect = 0x4E;
inline constexpr uint8_t kWbVendorId = 0x4F;
inline constexpr uint8_t kWbBankedFirst = 0x50;
inline constexpr uint8_t kWbBankedLast = 0x5F;

// The W83781D and its kin, the AS99127F, and a part known only as Winbond's.
bool IsWinbondKind(std::string_view kind);
bool IsBanked(unsigned reg);

// Puts the value (as board files write it) where the register reads in that
// bank; bank 0 or none: the image.
void PutBankRegister(nlohmann::json& chip, int bank, unsigned reg, const nlohmann::json& value);
// Register 4Fh from its high and low byte; nullopt for a failed read.
void PutVendorId(nlohmann::json& chip, std::optional<uint8_t> high, std::optional<uint8_t> low);

}  // namespace kev::replay
