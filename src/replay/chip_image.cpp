#include "replay/chip_image.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "replay/board_fields.h"
#include "replay/winbond_image.h"

namespace kev::replay {
namespace {

using nlohmann::json;

// How a kind's registers come out of the grids.
enum class Layout {
  Bytes,    // every dumped byte
  Winbond,  // 50h-5Fh by the bank 4Eh selects; 4Fh the 16-bit vendor ID
  Genesys,  // bytes, but 07h-0Ch are words
  Lm75,     // 00h, 02h, 03h are words, 01h a byte
};

struct KindRule {
  std::string_view kind;
  Layout layout;
  unsigned lastReg;
  uint16_t vendorId;  // Winbond layout: register 4Fh as the part reads it
};

constexpr uint16_t kWinbondVendor = 0x5CA3;
constexpr uint16_t kAsusVendor = 0x12C3;
constexpr unsigned kAll = 0xFF;
constexpr unsigned kIntegrated = 0x7F;  // ITE, SiS 5595, VIA: 128 registers

constexpr std::array<KindRule, 24> kRules{{
    {"LM78", Layout::Bytes, kAll, 0},
    {"LM78-J", Layout::Bytes, kAll, 0},
    {"LM79", Layout::Bytes, kAll, 0},
    {"LM80", Layout::Bytes, kAll, 0},
    {"LM81", Layout::Bytes, kAll, 0},
    {"LM87", Layout::Bytes, kAll, 0},
    {"W83781D", Layout::Winbond, kAll, kWinbondVendor},
    {"W83627HF", Layout::Winbond, kAll, kWinbondVendor},
    {"W83782D", Layout::Winbond, kAll, kWinbondVendor},
    {"W83783S", Layout::Winbond, kAll, kWinbondVendor},
    {"W83697HF", Layout::Winbond, kAll, kWinbondVendor},
    {"Winbond", Layout::Winbond, kAll, kWinbondVendor},
    {"AS99127F-WB", Layout::Winbond, kAll, kWinbondVendor},
    {"AS99127F-AS", Layout::Winbond, kAll, kAsusVendor},
    {"GL518SM", Layout::Genesys, kAll, 0},
    {"GL520SM", Layout::Genesys, kAll, 0},
    {"LM75", Layout::Lm75, 0x03, 0},
    {"MAX1617", Layout::Bytes, kAll, 0},
    {"IT8705F", Layout::Bytes, kIntegrated, 0},
    {"IT8712F", Layout::Bytes, kIntegrated, 0},
    {"SiS5595", Layout::Bytes, kIntegrated, 0},
    {"VT82C686A", Layout::Bytes, kIntegrated, 0},
    {"VT82C686B", Layout::Bytes, kIntegrated, 0},
    {"VT8231", Layout::Bytes, kIntegrated, 0},
}};

// Winbond bank select register 4Eh.
constexpr uint16_t kWbBankBits = 0x07;
constexpr uint16_t kWbHighByteSelect = 0x80;  // HBACS: 4Fh reads the high byte

constexpr std::array<uint8_t, 6> kGenesysWords{0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};
constexpr std::array<uint8_t, 3> kLm75Words{0x00, 0x02, 0x03};

const KindRule* RuleOf(std::string_view kind) {
  for (const KindRule& r : kRules) {
    if (r.kind == kind) return &r;
  }
  return nullptr;
}

std::string ByteText(const Cell& c) {
  if (c.state == Cell::State::Failed) return "XX";
  return HexText(c.value & 0xFFu, 2);
}

// i2cdump shows a word with the first byte on the bus low; board files
// write it high.
std::string WordText(const Cell& c) {
  if (c.state == Cell::State::Failed) return "XXXX";
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%02X%02X", c.value & 0xFFu, c.value >> 8);
  return buf;
}

template <class List>
bool Among(const List& list, unsigned reg) {
  return std::find(list.begin(), list.end(), reg) != list.end();
}

bool Dumped(const Cell& c) { return c.state != Cell::State::NotDumped; }

// The byte registers a word-mode grid holds: the low byte of each word is
// the register at its address, the high byte the next one (taken only
// where that one's own word is missing).
RegisterGrid BytesOf(const RegisterGrid& g) {
  RegisterGrid out = g;
  out.words = false;
  for (Cell& c : out.cells) c.value &= 0xFFu;
  for (size_t r = 1; r < out.cells.size(); ++r) {
    const Cell& before = g.cells[r - 1];
    if (!Dumped(g.cells[r]) && Dumped(before))
      out.cells[r] = {before.state, static_cast<uint16_t>(before.value >> 8)};
  }
  return out;
}

// Every grid as bytes, those read in byte mode last so that they win.
std::vector<RegisterGrid> ByteGrids(const std::vector<RegisterGrid>& grids) {
  std::vector<RegisterGrid> out;
  for (const RegisterGrid& g : grids) {
    if (g.words) out.push_back(BytesOf(g));
  }
  for (const RegisterGrid& g : grids) {
    if (!g.words) out.push_back(g);
  }
  return out;
}

// The registers of the chosen grids, later grids over earlier ones.
std::array<Cell, kGridRegisters> Merge(const std::vector<RegisterGrid>& grids, bool words) {
  std::array<Cell, kGridRegisters> cells{};
  for (const RegisterGrid& g : grids) {
    if (g.words != words) continue;
    for (size_t i = 0; i < cells.size(); ++i) {
      if (Dumped(g.cells[i])) cells[i] = g.cells[i];
    }
  }
  return cells;
}

void PutBytes(json& image, const std::array<Cell, kGridRegisters>& cells, const KindRule& rule,
              const auto& skip) {
  for (unsigned r = 0; r <= rule.lastReg; ++r) {
    if (Dumped(cells[r]) && !skip(r)) image[HexText(r, 2)] = ByteText(cells[r]);
  }
}

void PutWords(json& image, const std::array<Cell, kGridRegisters>& cells, const auto& regs) {
  for (uint8_t r : regs) {
    if (Dumped(cells[r])) image[HexText(r, 2)] = WordText(cells[r]);
  }
}

// The bank a Winbond grid shows in 50h-5Fh, and whether its 4Fh was the
// high byte; a grid without 4Eh was taken at power-on (bank 0, high byte).
struct WbGrid {
  const RegisterGrid* grid;
  int bank;
  bool high;
};

WbGrid WinbondGridOf(const RegisterGrid& g) {
  const Cell& sel = g.cells[kWbBankSelect];
  if (sel.state != Cell::State::Read) return {&g, 0, true};
  return {&g, sel.value & kWbBankBits, (sel.value & kWbHighByteSelect) != 0};
}

void PutWinbond(json& chip, const KindRule& rule, const std::vector<RegisterGrid>& grids) {
  std::vector<WbGrid> wb;
  for (const RegisterGrid& g : grids) {
    if (!g.words) wb.push_back(WinbondGridOf(g));
  }
  // The registers outside the banks from the first grid of bank 0.
  const auto main = std::find_if(wb.begin(), wb.end(), [](const WbGrid& w) { return w.bank == 0; });
  const WbGrid& first = main != wb.end() ? *main : wb.front();
  PutBytes(chip["image"], first.grid->cells, rule,
           [](unsigned r) { return r == kWbVendorId || IsBanked(r); });
  // 4Fh: each half from a grid that read it, else the part's own.
  std::array<std::optional<uint8_t>, 2> halves{static_cast<uint8_t>(rule.vendorId >> 8),
                                               static_cast<uint8_t>(rule.vendorId & 0xFFu)};
  for (const WbGrid& w : wb) {
    const Cell& c = w.grid->cells[kWbVendorId];
    if (Dumped(c))
      halves[w.high ? 0 : 1] = c.state == Cell::State::Read
                                   ? std::optional<uint8_t>(static_cast<uint8_t>(c.value))
                                   : std::nullopt;
    for (unsigned r = kWbBankedFirst; r <= kWbBankedLast; ++r) {
      if (Dumped(w.grid->cells[r])) PutBankRegister(chip, w.bank, r, ByteText(w.grid->cells[r]));
    }
  }
  PutVendorId(chip, halves[0], halves[1]);
}

std::string KnownKinds() {
  std::string list;
  for (const KindRule& r : kRules) list += (list.empty() ? "" : ", ") + std::string(r.kind);
  return list;
}

}  // namespace

std::vector<std::string> DumpableChipKinds() {
  std::vector<std::string> out;
  for (const KindRule& r : kRules) out.emplace_back(r.kind);
  return out;
}

bool AddChipImage(json& chip, std::string_view kind, const std::vector<RegisterGrid>& grids,
                  std::string& error) {
  const KindRule* rule = RuleOf(kind);
  if (rule == nullptr) {
    error = "a dump of a " + std::string(kind) + " cannot be replayed (dumps are read for " +
            KnownKinds() + "; the PC87366 replays from a profile)";
    return false;
  }
  json& image = chip["image"];
  const std::vector<RegisterGrid> byteGrids = ByteGrids(grids);
  const auto bytes = Merge(byteGrids, false);
  const auto words = Merge(grids, true);
  switch (rule->layout) {
    case Layout::Bytes:
      PutBytes(image, bytes, *rule, [](unsigned) { return false; });
      break;
    case Layout::Winbond:
      PutWinbond(chip, *rule, byteGrids);
      break;
    case Layout::Genesys:
      PutBytes(image, bytes, *rule, [](unsigned r) { return Among(kGenesysWords, r); });
      PutWords(image, words, kGenesysWords);
      break;
    case Layout::Lm75:
      PutBytes(image, bytes, *rule, [](unsigned r) { return Among(kLm75Words, r); });
      PutWords(image, words, kLm75Words);
      break;
  }
  // A register the image now gives may not be set twice.
  if (chip.contains("registers")) {
    for (auto it = image.begin(); it != image.end(); ++it) chip["registers"].erase(it.key());
  }
  return true;
}

}  // namespace kev::replay
