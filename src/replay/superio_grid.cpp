#include "replay/superio_grid.h"

#include <array>
#include <string_view>

#include "hw/superio.h"
#include "replay/board_fields.h"

namespace kev::replay {
namespace {

constexpr uint16_t kDefaultPort = 0x2E;
constexpr uint8_t kAnyId2 = 0x00;

struct SuperIoChip {
  uint8_t id;
  uint8_t id2;  // register 21h; kAnyId2 for parts that do not tell by it
  std::string_view kind;
  uint8_t monitorLdn;
  bool winbond;
};

constexpr std::array<SuperIoChip, 5> kChips{{
    {0x87, 0x05, "IT8705F", 0x04, false},
    {0x87, 0x12, "IT8712F", 0x04, false},
    {0x52, kAnyId2, "W83627HF", 0x0B, true},
    {0x60, kAnyId2, "W83697HF", 0x0B, true},
    {0xE9, kAnyId2, "PC87366", 0x0D, false},
}};

std::optional<uint8_t> Byte(const RegisterGrid& g, uint8_t reg) {
  const Cell& c = g.cells[reg];
  if (c.state != Cell::State::Read) return std::nullopt;
  return static_cast<uint8_t>(c.value);
}

const SuperIoChip* ChipOf(const RegisterGrid& g) {
  const auto id = Byte(g, superio::kRegChipId);
  const auto id2 = Byte(g, superio::kRegChipId2);
  for (const SuperIoChip& c : kChips) {
    if (id == c.id && (c.id2 == kAnyId2 || id2 == c.id2)) return &c;
  }
  return nullptr;
}

}  // namespace

bool IsSuperIoConfigGrid(const RegisterGrid& g) {
  if (g.words) return false;
  if (g.indexPort) {
    for (uint16_t p : superio::kConfigPorts) {
      if (*g.indexPort == p) return true;
    }
    return false;
  }
  return !g.smbusAddress && !g.flatBase && Byte(g, superio::kRegLdn) && ChipOf(g) != nullptr;
}

std::optional<SuperIoFacts> ReadSuperIoGrid(const RegisterGrid& g, std::string& error) {
  const SuperIoChip* chip = ChipOf(g);
  const std::string where = "line " + std::to_string(g.line) + ": ";
  if (chip == nullptr) {
    const auto id = Byte(g, superio::kRegChipId);
    error = where + "the Super-I/O configuration grid shows chip ID " +
            (id ? HexText(*id, 2) : std::string("none")) +
            " at 20h, which no monitoring Super-I/O replayed from dumps has";
    return std::nullopt;
  }
  if (chip->kind == "PC87366") {
    error = where + "the PC87366 replays from its hardware monitoring profile, not from dumps";
    return std::nullopt;
  }
  SuperIoFacts f;
  f.kind = chip->kind;
  f.port = g.indexPort.value_or(kDefaultPort);
  f.chipId = chip->id;
  f.winbond = chip->winbond;
  // 30h and above belong to the logical device 07h selected.
  if (Byte(g, superio::kRegLdn) == chip->monitorLdn) {
    const auto high = Byte(g, superio::kRegBaseHigh), low = Byte(g, superio::kRegBaseLow);
    if (high && low) f.base = static_cast<uint16_t>(*high << 8 | *low);
    if (const auto act = Byte(g, superio::kRegActivate)) f.active = (*act & 1) != 0;
  }
  return f;
}

}  // namespace kev::replay
