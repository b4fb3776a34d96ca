#include "replay/dump_chips.h"

#include <algorithm>

#include "replay/board_check.h"
#include "replay/board_fields.h"
#include "replay/chip_image.h"
#include "replay/superio_grid.h"
#include "replay/winbond_image.h"

namespace kev::replay {
namespace {

using nlohmann::json;

constexpr uint16_t kIsaIndexOffset = 5;  // index port = base + 5
// The way out when --chip names the chip otherwise than detection does (a
// W83781D that detection calls 'Winbond Chip').
constexpr const char* kWithoutChipOption =
    "; without --chip the chip is replayed as detection names it";
constexpr uint16_t kIsaBaseMask = 0xFFF8;
constexpr uint8_t kFirstMainAddress = 0x28;  // where detection looks for the main chip
constexpr uint8_t kLastMainAddress = 0x2F;
constexpr uint8_t kFirstLm75 = 0x48;
constexpr uint8_t kLastLm75 = 0x4F;
constexpr uint8_t kMaxim = 0x4D;  // MAX1617 register FEh, its maker
constexpr uint8_t kRegMaker = 0xFE;

// Where a grid was taken: an SMBus address, an ISA base (index/data pair or
// I/O block), or the south bridge's own monitor.
enum class Bus { Smbus, Isa, SouthBridge };

struct Place {
  Bus bus = Bus::Smbus;
  unsigned where = 0;
  bool operator==(const Place&) const = default;
};

struct Group {
  Place place;
  std::vector<RegisterGrid> grids;
  std::string at;  // "file: line N", the first grid's header
  std::string kind;
};

bool IsSensorKind(const std::string& kind) { return kind == "LM75" || kind == "MAX1617"; }

bool IsIntegratedKind(const std::string& kind) {
  return kind.starts_with("VT8") || kind == "SiS5595";
}

// Kinds without an ID register: detection names them for many a chip that
// answers like them, so another kind that fits tells more.
bool IsFallbackKind(const std::string& kind) { return kind == "LM78" || kind == "LM80"; }

std::string PlaceText(const Place& p) {
  if (p.bus == Bus::Smbus) return "SMBus address " + HexText(p.where, 2).substr(2) + "h";
  if (p.bus == Bus::Isa) return "port " + HexText(p.where, 3).substr(2) + "h";
  return "the south bridge's monitor";
}

std::optional<unsigned> NumberIn(const json& chip, const char* field) {
  if (!chip.contains(field) || !chip[field].is_string()) return std::nullopt;
  try {
    return static_cast<unsigned>(std::stoul(chip[field].get<std::string>(), nullptr, 16));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// A profile's main chip, where the grids are of the tool that reaches it.
std::optional<Place> MainChipPlace(const json& board, GridTool tool) {
  if (!board.contains("chips") || board["chips"].empty()) return std::nullopt;
  const json& main = board["chips"][0];
  const bool smbus = tool == GridTool::I2cdump;
  const auto where = NumberIn(main, smbus ? "smbus" : "isa");
  if (!where) return std::nullopt;
  return Place{smbus ? Bus::Smbus : Bus::Isa, *where};
}

bool HasSouthBridgeMonitor(const json& board) {
  if (!board.contains("south_bridge")) return false;
  const std::string k = board["south_bridge"].value("kind", "");
  return k.starts_with("VT82C686") || k == "VT8231" || k == "SiS5595";
}

// Where a grid that does not say it goes: the options, the Super-I/O's
// monitor base, the profile's main chip, the south bridge's monitor.
std::optional<Place> DefaultPlace(const json& board, GridTool tool, const DumpFacts& facts,
                                  const std::optional<SuperIoFacts>& sio) {
  if (facts.address) return Place{Bus::Smbus, *facts.address};
  if (facts.isa) return Place{Bus::Isa, *facts.isa};
  if (tool == GridTool::Isadump && sio && sio->base) return Place{Bus::Isa, *sio->base};
  if (auto main = MainChipPlace(board, tool)) return main;
  if (HasSouthBridgeMonitor(board)) return Place{Bus::SouthBridge, 0};
  return std::nullopt;
}

std::optional<Place> PlaceOf(const RegisterGrid& g, GridTool tool, const json& board,
                             const DumpFacts& facts, const std::optional<SuperIoFacts>& sio,
                             const std::string& at, std::string& error) {
  if (g.smbusAddress) return Place{Bus::Smbus, *g.smbusAddress};
  if (g.flatBase) return Place{Bus::Isa, *g.flatBase};
  if (g.indexPort) {
    const auto base = static_cast<uint16_t>(*g.indexPort - kIsaIndexOffset);
    if ((base & kIsaBaseMask) == base) return Place{Bus::Isa, base};
    error = at + ": isadump's address register " + HexText(*g.indexPort, 3) +
            " is no chip's index port (base + 5); give the base with --isa";
    return std::nullopt;
  }
  if (auto p = DefaultPlace(board, tool, facts, sio)) return p;
  error = at +
          ": the grid does not say which chip it was taken of: add the command line above it "
          "(such as 'i2cdump -y 0 0x2d' or 'isadump 0x295 0x296'), or give --address or --isa";
  return std::nullopt;
}

// Two byte grids of one chip differ in readings and in the Winbond bank
// window; grids that differ in most other registers are of two chips.
bool OfAnotherChip(const RegisterGrid& a, const RegisterGrid& b) {
  if (a.words || b.words) return false;
  int compared = 0, differing = 0;
  for (size_t r = 0; r < a.cells.size(); ++r) {
    if (r >= kWbBankSelect && r <= kWbBankedLast) continue;
    if (a.cells[r].state != Cell::State::Read || b.cells[r].state != Cell::State::Read) continue;
    ++compared;
    differing += a.cells[r].value != b.cells[r].value ? 1 : 0;
  }
  return compared > 0 && 2 * differing > compared;
}

// The grids of all files, one group per place; Super-I/O grids read apart.
bool GroupGrids(const json& board, const std::vector<NamedFile>& files, const DumpFacts& facts,
                std::vector<Group>& groups, std::optional<SuperIoFacts>& sio, std::string& error) {
  for (const NamedFile& f : files) {
    if (!f.parsed.registers) continue;
    for (const RegisterGrid& g : f.parsed.registers->grids) {
      if (!IsSuperIoConfigGrid(g)) continue;
      sio = ReadSuperIoGrid(g, error);
      if (!sio) {
        error = f.name + ": " + error;
        return false;
      }
    }
  }
  for (const NamedFile& f : files) {
    if (!f.parsed.registers) continue;
    for (const RegisterGrid& g : f.parsed.registers->grids) {
      if (IsSuperIoConfigGrid(g)) continue;
      const std::string at = f.name + ": line " + std::to_string(g.line);
      const auto place = PlaceOf(g, f.parsed.registers->tool, board, facts, sio, at, error);
      if (!place) return false;
      auto it = std::find_if(groups.begin(), groups.end(),
                             [&](const Group& x) { return x.place == *place; });
      if (it == groups.end()) it = groups.insert(groups.end(), Group{*place, {}, at, {}});
      for (const RegisterGrid& other : it->grids) {
        if (!OfAnotherChip(other, g)) continue;
        error = at + ": the grid differs from the one at line " + std::to_string(other.line) +
                " in most registers, so it is another chip's: add the command line each was "
                "taken with above it (such as 'i2cdump -y 0 0x2d')";
        return false;
      }
      it->grids.push_back(g);
    }
  }
  // The chip detection names first: not a sensor beside it.
  std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
    const auto sensor = [](const Group& g) {
      return g.place.bus == Bus::Smbus &&
             (g.place.where < kFirstMainAddress || g.place.where > kLastMainAddress);
    };
    return !sensor(a) && sensor(b);
  });
  return true;
}

void PutPlace(json& chip, const Place& p, const DumpFacts& facts) {
  const bool byFacts = (p.bus == Bus::Smbus && p.where == facts.address) ||
                       (p.bus == Bus::Isa && p.where == facts.isa);
  if (p.bus == Bus::Smbus || (byFacts && facts.address))
    chip["smbus"] = HexText(p.bus == Bus::Smbus ? p.where : *facts.address, 2);
  if (p.bus == Bus::Isa || (byFacts && facts.isa))
    chip["isa"] = HexText(p.bus == Bus::Isa ? p.where : *facts.isa, 3);
}

// The board's chip at that place (a profile's), by its index.
std::optional<size_t> ChipAtPlace(const json& board, const Place& p) {
  const json& chips = board["chips"];
  for (size_t i = 0; i < chips.size(); ++i) {
    const bool here = (p.bus == Bus::Smbus && NumberIn(chips[i], "smbus") == p.where) ||
                      (p.bus == Bus::Isa && NumberIn(chips[i], "isa") == p.where);
    if (here) return i;
  }
  return std::nullopt;
}

// The board with only this chip on it, of that kind, as detection sees it.
Identified TryKind(const json& board, const Group& g, const std::string& kind,
                   const DumpFacts& facts) {
  json trial = board;
  json chip{{"id", "main"}, {"kind", kind}};
  PutPlace(chip, g.place, facts);
  std::string ignored;
  if (!AddChipImage(chip, kind, g.grids, ignored)) return {};
  trial["chips"] = json::array({chip});
  return IdentifyBoard(trial);
}

// A sensor beside the main chip: the MAX1617 tells its maker, the LM75 its
// address range.
std::optional<std::string> SensorKind(const Group& g, std::string& error) {
  for (const RegisterGrid& grid : g.grids) {
    const Cell& maker = grid.cells[kRegMaker];
    if (maker.state == Cell::State::Read && (maker.value & 0xFFu) == kMaxim) return "MAX1617";
  }
  if (g.place.where >= kFirstLm75 && g.place.where <= kLastLm75) return "LM75";
  error = g.at + ": the registers at " + PlaceText(g.place) +
          " are of no chip detection knows there: dump the main chip at 28h-2Fh";
  return std::nullopt;
}

// The kinds whose board detection names as that kind; a fallback kind only
// when no other fits.
std::vector<std::string> FittingKinds(const json& board, const Group& g, const DumpFacts& facts) {
  std::vector<std::string> fits;
  for (const std::string& kind : DumpableChipKinds()) {
    if (IsSensorKind(kind) || (g.place.bus == Bus::SouthBridge && !IsIntegratedKind(kind)))
      continue;
    if (TryKind(board, g, kind, facts).kind == kind) fits.push_back(kind);
  }
  if (!std::all_of(fits.begin(), fits.end(), IsFallbackKind)) std::erase_if(fits, IsFallbackKind);
  return fits;
}

// The kind whose board detection names as that kind, when exactly one is.
std::optional<std::string> InferKind(const json& board, const Group& g, const DumpFacts& facts,
                                     std::string& error) {
  std::vector<std::string> fits = FittingKinds(board, g, facts);
  if (fits.size() == 1) return fits[0];
  if (fits.empty() && g.place.bus == Bus::Smbus) return SensorKind(g, error);
  std::string list;
  for (const std::string& k : fits) list += (list.empty() ? "" : ", ") + k;
  error = g.at + ": the registers at " + PlaceText(g.place) +
          (fits.empty() ? " identify as no chip a dump replays"
                        : " fit more than one chip (" + list + ")") +
          ": give the chip kind with --chip KIND (" +
          [] {
            std::string all;
            for (const std::string& k : DumpableChipKinds()) all += (all.empty() ? "" : ", ") + k;
            return all;
          }() +
          ")";
  return std::nullopt;
}

bool DecideKind(const json& board, Group& g, size_t groups, const DumpFacts& facts,
                const std::optional<SuperIoFacts>& sio, std::string& error) {
  const auto existing = ChipAtPlace(board, g.place);
  const bool only = groups == 1;
  if (facts.chip && only) {
    g.kind = *facts.chip;
  } else if (existing) {
    g.kind = board["chips"][*existing].value("kind", "");
  } else if (sio && g.place.bus == Bus::Isa && (!sio->base || *sio->base == g.place.where)) {
    g.kind = sio->kind;
  } else if (auto k = InferKind(board, g, facts, error)) {
    g.kind = *k;
  } else {
    return false;
  }
  json scratch;
  if (!AddChipImage(scratch, g.kind, g.grids, error)) {
    error = "--chip: " + error;
    return false;
  }
  if (IsSensorKind(g.kind)) return true;
  Identified id = TryKind(board, g, g.kind, facts);
  // A fallback kind fits many a dump: not when the registers name another.
  if (id.kind == g.kind && IsFallbackKind(g.kind)) {
    const std::vector<std::string> fits = FittingKinds(board, g, facts);
    if (std::find(fits.begin(), fits.end(), g.kind) == fits.end() && !fits.empty())
      id = TryKind(board, g, fits[0], facts);
  }
  if (!id.loadError.empty() || id.kind == g.kind) return true;
  const std::string source = facts.chip && only ? " (--chip)" : "";
  error = g.at + ": the registers at " + PlaceText(g.place) + " identify as " +
          (id.name.empty() ? std::string("no chip") : "'" + id.name + "'") + ", not as the " +
          g.kind + source + ": check the chip kind, and that the grid is this chip's own" +
          (source.empty() ? "" : kWithoutChipOption);
  return false;
}

bool AddGroup(json& board, const Group& g, const DumpFacts& facts, std::vector<std::string>& notes,
              std::string& error) {
  json& chips = board["chips"];
  const auto existing = ChipAtPlace(board, g.place);
  if (!existing) {
    const std::string id = chips.empty() ? "main" : "dumped-" + std::to_string(chips.size());
    json c{{"id", id}, {"kind", g.kind}};
    PutPlace(c, g.place, facts);
    chips.push_back(c);
  }
  json& chip = existing ? chips[*existing] : chips.back();
  chip["kind"] = g.kind;
  if (!AddChipImage(chip, g.kind, g.grids, error)) return false;
  const std::vector<int> failed = FailUndumpedBankReadings(chip);
  notes.push_back(g.kind + " at " + PlaceText(g.place) + ": " + DumpCoverageNote(chip, failed));
  return true;
}

void ApplySuperIo(json& board, const SuperIoFacts& sio) {
  if (sio.winbond) {
    board["superio"] = {
        {"kind", "Winbond"}, {"port", HexText(sio.port, 2)}, {"chip_id", HexText(sio.chipId, 2)}};
    return;
  }
  for (json& c : board["chips"]) {
    if (c.value("kind", "") == sio.kind && sio.active == false) c["ec_active"] = false;
  }
}

// Detection on the whole board names the main chip as dumped, and lists
// every sensor.
bool CheckBoard(const json& board, const std::vector<Group>& groups, bool chipGiven,
                std::string& error) {
  const Identified id = IdentifyBoard(board);
  if (!id.loadError.empty()) return true;  // the caller's load says why
  for (const Group& g : groups) {
    if (IsSensorKind(g.kind)) {
      if (std::count(id.smbus.begin(), id.smbus.end(), g.place.where) != 0) continue;
      error = g.at + ": detection finds no device at " + PlaceText(g.place) +
              " on the board made from the dumps";
      return false;
    }
    if (&g != &groups.front()) continue;
    if (id.kind == g.kind) continue;
    error = g.at + ": detection names the board made from the dumps '" + id.name + "', not the " +
            g.kind + " at " + PlaceText(g.place) +
            ": leave out grids of other chips or give where each was taken" +
            (chipGiven ? kWithoutChipOption : "");
    return false;
  }
  return true;
}

}  // namespace

bool AddDumpedChips(json& board, const std::vector<NamedFile>& files, const DumpFacts& facts,
                    std::vector<std::string>& notes, std::string& error) {
  std::vector<Group> groups;
  std::optional<SuperIoFacts> sio;
  if (!GroupGrids(board, files, facts, groups, sio, error)) return false;
  if (groups.empty()) {
    if (sio) {
      error =
          "the dumps hold the Super-I/O's configuration only: add the monitor's registers "
          "(such as 'isadump 0x295 0x296')";
    } else if (facts.chip || facts.address || facts.isa) {
      error =
          "--chip, --address and --isa describe a chip dump, and no i2cdump or isadump "
          "output was given";
    }
    return error.empty();
  }
  const bool onSmbus = std::any_of(groups.begin(), groups.end(),
                                   [](const Group& g) { return g.place.bus == Bus::Smbus; });
  if (onSmbus && !board.contains("south_bridge")) {
    error =
        "a chip on the SMBus needs the south bridge: give --south-bridge KIND or its "
        "lspci -xxx dump";
    return false;
  }
  for (Group& g : groups) {
    if (!DecideKind(board, g, groups.size(), facts, sio, error)) return false;
  }
  for (const Group& g : groups) {
    if (!AddGroup(board, g, facts, notes, error)) return false;
  }
  if (sio) ApplySuperIo(board, *sio);
  return CheckBoard(board, groups, facts.chip.has_value(), error);
}

}  // namespace kev::replay
