#include "replay/dump_board.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "replay/board_fields.h"
#include "replay/dump_chips.h"
#include "replay/readable_json.h"
#include "replay/south_match.h"
#include "settings/atomic_file.h"
#include "sim/board.h"
#include "sim/bridge.h"

namespace kev::replay {
namespace {

using nlohmann::json;

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
                                   std::vector<std::string>& notes, std::string& error) {
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
  if (!SetSouthBridge(board, files, facts, error) ||
      !AddDumpedChips(board, files, facts, notes, error))
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
                                              const DumpFacts& facts,
                                              std::vector<std::string>& notes, std::string& error) {
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
  const std::optional<nlohmann::json> board = BoardFromDumps(files, facts, notes, error);
  if (!board) return std::nullopt;
  return ReadableJson(*board);
}

}  // namespace kev::replay
