#include "replay/winbond_image.h"

#include <cstdio>
#include <string>

#include "replay/board_fields.h"

namespace kev::replay {
namespace {

std::string Half(std::optional<uint8_t> byte) {
  if (!byte) return "XX";
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02X", unsigned{*byte});
  return buf;
}

}  // namespace

bool IsWinbondKind(std::string_view kind) {
  return kind.starts_with("W83") || kind == "Winbond" || kind.starts_with("AS99127F");
}

bool IsBanked(unsigned reg) { return reg >= kWbBankedFirst && reg <= kWbBankedLast; }

void PutBankRegister(nlohmann::json& chip, int bank, unsigned reg, const nlohmann::json& value) {
  nlohmann::json& target = bank > 0 ? chip["banks"][std::to_string(bank)] : chip["image"];
  target[HexText(reg, 2)] = value;
}

void PutVendorId(nlohmann::json& chip, std::optional<uint8_t> high, std::optional<uint8_t> low) {
  chip["image"][HexText(kWbVendorId, 2)] = "0x" + Half(high) + Half(low);
}

}  // namespace kev::replay
