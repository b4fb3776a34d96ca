#include "replay/dump_board.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "replay/board_fields.h"
#include "replay/chip_image.h"
#include "replay/readable_json.h"
#include "replay/south_match.h"
#include "settings/atomic_file.h"
#include "sim/board.h"
#include "sim/bridge.h"

namespace kev::replay {
namespace {

using nlohmann::json;

constexpr uint16_t kIsaIndexOffset = 5;  // index port = base + 5
constexpr uint16_t kIsaBaseMask = 0xFFF8;
constexpr size_t kMaxDumpBytes = size_t{1} << 20;  // a profile is about 60 KiB

// A number as board files write it: an integer or a hex/decimal string.
std::optional<unsigned> NumberOf(const json& v) {
  if (v.is_number_unsigned()) return v.get<unsigned>();
  if (!v.is_string()) return std::nullopt;
  const std::string s = v.get<std::string>();
  try {
    if (s.starts_with("0x") || s.starts_with("0X")) return std::stoul(s.substr(2), nullptr, 16);
    if (s.ends_with('h') || s.ends_with('H')) return std::stoul(s, nullptr, 16);
    return std::stoul(s);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

bool SameLocation(const json& entry, const PciFunctionDump& f) {
  return NumberOf(entry.value("bus", json())) == f.bus &&
         NumberOf(entry.value("device", json())) == f.device &&
         NumberOf(entry.value("function", json())) == f.function;
}

void AddPci(json& board, const PciDump& dump) {
  json& pci = board["pci"];
  if (!pci.is_array()) pci = json::array();
  for (const PciFunctionDump& f : dump.functions) {
    const json entry = PciEntry(f);
    bool replaced = false;
    for (json& e : pci) {
      if (SameLocation(e, f)) e = entry, replaced = true;
    }
    if (!replaced) pci.push_back(entry);
  }
}

std::string Joined(const std::vector<std::string>& list) {
  std::string out;
  for (const std::string& s : list) out += (out.empty() ? "" : ", ") + s;
  return out;
}

// The south bridge: as told, as the board has it, or as lspci shows it.
bool SetSouthBridge(json& board, const std::vector<NamedFile>& files, const DumpFacts& facts,
                    std::string& error) {
  if (facts.southBridge) {
    if (!sim::IsSouthBridgeKind(*facts.southBridge)) {
      error = "--south-bridge: unknown kind '" + *facts.southBridge +
              "' (known: " + Joined(sim::SouthBridgeKinds()) + ")";
      return false;
    }
    board["south_bridge"]["kind"] = *facts.southBridge;
  }
  for (const NamedFile& f : files) {
    if (!f.parsed.pci || board.contains("south_bridge")) continue;
    const std::optional<SouthBridgeFit> fit = SouthBridgeOf(*f.parsed.pci);
    if (!fit) continue;
    board["south_bridge"]["kind"] = fit->kind;
    if (fit->smbusBase) board["south_bridge"]["smbus_base"] = HexText(*fit->smbusBase, 4);
  }
  if (facts.smbusBase) {
    if (!board.contains("south_bridge")) {
      error = "--smbus-base needs a south bridge: give --south-bridge KIND or its lspci dump";
      return false;
    }
    board["south_bridge"]["smbus_base"] = HexText(*facts.smbusBase, 4);
  }
  return true;
}

// Where the dumped chip sits, from the options or the dumps' own notes.
struct Placement {
  std::optional<uint8_t> address;
  std::optional<uint16_t> isa;
};

// A profile's main chip, where the dumps are of the tool that reaches it.
void PlaceAtMainChip(const json& board, bool smbus, Placement& at) {
  const json& chips = board["chips"];
  if (chips.empty()) return;
  const json& main = chips[0];
  const char* field = smbus ? "smbus" : "isa";
  const std::optional<unsigned> where = main.contains(field) ? NumberOf(main[field]) : std::nullopt;
  if (!where) return;
  if (smbus) at.address = static_cast<uint8_t>(*where);
  if (!smbus) at.isa = static_cast<uint16_t>(*where);
}

bool PlaceChip(const json& board, const std::vector<NamedFile>& files, const DumpFacts& facts,
               Placement& at, std::string& error) {
  at = {facts.address, facts.isa};
  for (const NamedFile& f : files) {
    if (!f.parsed.registers) continue;
    const RegisterDump& d = *f.parsed.registers;
    if (!at.address && d.smbusAddress) at.address = d.smbusAddress;
    if (!at.isa && d.indexPort) {
      const auto base = static_cast<uint16_t>(*d.indexPort - kIsaIndexOffset);
      if ((base & kIsaBaseMask) != base) {
        error = f.name + ": isadump's address register " + HexText(*d.indexPort, 3) +
                " is no chip's index port (base + 5); give the base with --isa";
        return false;
      }
      at.isa = base;
    }
  }
  for (const NamedFile& f : files) {
    if (!at.address && !at.isa && f.parsed.registers)
      PlaceAtMainChip(board, f.parsed.registers->tool == GridTool::I2cdump, at);
  }
  if (!at.address && !at.isa) {
    error = "the dump does not say where the chip sits: give --address ADDR (SMBus) or --isa PORT";
    return false;
  }
  return true;
}

bool At(const json& chip, const char* field, unsigned where) {
  return chip.contains(field) && NumberOf(chip[field]) == where;
}

// The chip at that place, or a new one of the kind given.
json* ChipAt(json& board, const Placement& at, const DumpFacts& facts, std::string& error) {
  json& chips = board["chips"];
  if (!chips.is_array()) chips = json::array();
  for (json& c : chips) {
    const bool here =
        (at.address && At(c, "smbus", *at.address)) || (at.isa && At(c, "isa", *at.isa));
    if (!here) continue;
    if (facts.chip) c["kind"] = *facts.chip;
    return &c;
  }
  if (!facts.chip) {
    error = "give the chip kind with --chip KIND (" + Joined(DumpableChipKinds()) + ")";
    return nullptr;
  }
  json chip{{"id", chips.empty() ? "main" : "dumped"}, {"kind", *facts.chip}};
  if (at.address) chip["smbus"] = HexText(*at.address, 2);
  if (at.isa) chip["isa"] = HexText(*at.isa, 3);
  chips.push_back(chip);
  return &chips.back();
}

bool AddChip(json& board, const std::vector<NamedFile>& files, const DumpFacts& facts,
             std::string& error) {
  std::vector<RegisterGrid> grids;
  for (const NamedFile& f : files) {
    if (!f.parsed.registers) continue;
    for (const RegisterGrid& g : f.parsed.registers->grids) grids.push_back(g);
  }
  if (grids.empty()) {
    if (facts.chip || facts.address || facts.isa)
      error =
          "--chip, --address and --isa describe a chip dump, and no i2cdump or isadump "
          "output was given";
    return error.empty();
  }
  Placement at;
  if (!PlaceChip(board, files, facts, at, error)) return false;
  json* chip = ChipAt(board, at, facts, error);
  if (chip == nullptr) return false;
  if (at.address && !board.contains("south_bridge")) {
    error =
        "a chip on the SMBus needs the south bridge: give --south-bridge KIND or its "
        "lspci -xxx dump";
    return false;
  }
  if (!AddChipImage(*chip, chip->value("kind", ""), grids, error)) {
    error = "--chip: " + error;
    return false;
  }
  return true;
}

std::vector<std::string> Names(const std::vector<NamedFile>& files) {
  std::vector<std::string> names;
  for (const NamedFile& f : files) names.push_back(std::filesystem::path(f.name).filename());
  return names;
}

// The text of one input file, or a problem naming it.
std::optional<std::string> ReadInput(const std::string& path, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    const bool there = errno != ENOENT || S_ISDIR(st.st_mode);
    error = path + ": " +
            (S_ISDIR(st.st_mode) ? "is a directory"
             : there             ? "is not a plain file"
                                 : std::strerror(ENOENT));
    return std::nullopt;
  }
  FileRead file = ReadFileCapped(path, kMaxDumpBytes + 1);
  if (!file.error.empty() || !file.exists) {
    error = file.error.empty() ? path + ": cannot be read" : file.error;
    return std::nullopt;
  }
  if (file.bytes.size() > kMaxDumpBytes) {
    error = path + ": is larger than 1 MiB, which no dump is";
    return std::nullopt;
  }
  return std::move(file.bytes);
}

}  // namespace

std::optional<json> BoardFromDumps(const std::vector<NamedFile>& files, const DumpFacts& facts,
                                   std::string& error) {
  json board = json::object();
  int profiles = 0;
  for (const NamedFile& f : files) {
    if (!f.parsed.profileBoard) continue;
    if (++profiles > 1) {
      error = f.name + ": only one profile makes a board";
      return std::nullopt;
    }
    board = *f.parsed.profileBoard;
  }
  if (!board.contains("description"))
    board["description"] = "Replayed from " + Joined(Names(files)) + ".";
  if (!board.contains("chips")) board["chips"] = json::array();
  for (const NamedFile& f : files) {
    if (f.parsed.pci) AddPci(board, *f.parsed.pci);
  }
  if (!SetSouthBridge(board, files, facts, error) || !AddChip(board, files, facts, error))
    return std::nullopt;
  // Nothing half-built leaves: the board must load as the program loads it.
  sim::BoardResult loaded = sim::LoadBoardJson(board.dump(), "the board made");
  if (!loaded) {
    error = loaded.error().text();
    return std::nullopt;
  }
  return board;
}

std::optional<std::string> BoardFromDumpFiles(const std::vector<std::string>& paths,
                                              const DumpFacts& facts, std::string& error) {
  std::vector<NamedFile> files;
  for (const std::string& path : paths) {
    const std::optional<std::string> text = ReadInput(path, error);
    if (!text) return std::nullopt;
    std::optional<ParsedFile> parsed = ParseDumpText(*text, error);
    if (!parsed) {
      error = path + ": " + error;
      return std::nullopt;
    }
    files.push_back({path, std::move(*parsed)});
  }
  const std::optional<nlohmann::json> board = BoardFromDumps(files, facts, error);
  if (!board) return std::nullopt;
  return ReadableJson(*board);
}

}  // namespace kev::replay
