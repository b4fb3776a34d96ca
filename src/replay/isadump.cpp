// isadump: "isadump [-y] ADDRREG DATAREG" prints a column header, then 16
// rows of 16 bytes read through the index/data pair.
#include "replay/dump_lines.h"
#include "replay/grid_tools.h"
#include "replay/register_grid.h"

namespace kev::replay {
namespace {

constexpr uint32_t kLastPort = 0xFFFF;
constexpr std::string_view kProbeNote = "I will probe address register ";

// "I will probe address register 0x295 and data register 0x296."
std::optional<uint16_t> PortInNote(std::string_view line) {
  if (!line.starts_with(kProbeNote)) return std::nullopt;
  const std::vector<std::string_view> w = Words(line.substr(kProbeNote.size()));
  if (w.empty()) return std::nullopt;
  const auto p = ParseHex(w[0], kLastPort);
  if (!p) return std::nullopt;
  return static_cast<uint16_t>(*p);
}

struct Ports {
  std::optional<uint16_t> index;  // ADDRREG
  std::optional<uint16_t> flat;   // -f ADDRESS
};

// The first argument that is no option; -k takes a value of its own, -f
// makes it the base of an I/O block.
Ports PortsInCommand(std::string_view line) {
  const std::vector<std::string_view> args = CommandArguments(line);
  bool flat = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-k") {
      ++i;
    } else if (args[i] == "-f") {
      flat = true;
    } else if (!args[i].starts_with('-')) {
      const auto p = ParseHex(args[i], kLastPort);
      if (!p) return {};
      const auto port = static_cast<uint16_t>(*p);
      return flat ? Ports{std::nullopt, port} : Ports{port, std::nullopt};
    }
  }
  return {};
}

}  // namespace

std::optional<RegisterDump> ParseIsadump(const std::vector<std::string_view>& lines,
                                         DumpError& error) {
  static const ToolLines kTool{
      GridTool::Isadump,
      "isadump",
      {LineKind::IsaHeader},
      {LineKind::IsaChatter, LineKind::SharedChatter, LineKind::IsaCommand}};
  auto grids = ParseGrids(lines, kTool, error);
  if (!grids) return std::nullopt;
  RegisterDump dump{GridTool::Isadump, std::move(*grids), std::nullopt, std::nullopt};
  // Each grid was taken where the last command or note above it says.
  Ports at;
  size_t next = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const LineKind kind = ClassifyLine(lines[i]);
    Ports named;
    if (kind == LineKind::IsaChatter) named.index = PortInNote(lines[i]);
    if (kind == LineKind::IsaCommand) named = PortsInCommand(lines[i]);
    if (named.index || named.flat) at = named;
    if (!dump.indexPort) dump.indexPort = named.index;
    if (next < dump.grids.size() && dump.grids[next].line == static_cast<int>(i) + 1) {
      dump.grids[next].indexPort = at.index;
      dump.grids[next++].flatBase = at.flat;
    }
  }
  return dump;
}

}  // namespace kev::replay
