// i2cdump: "i2cdump [-y] [-r FIRST-LAST] BUS ADDRESS [MODE]" prints a column
// header, then rows of 16 bytes and their characters, or of 8 words.
#include "replay/dump_lines.h"
#include "replay/grid_tools.h"
#include "replay/register_grid.h"

namespace kev::replay {
namespace {

constexpr uint32_t kLastAddress = 0x7F;
constexpr std::string_view kProbeNote = "I will probe file ";
constexpr std::string_view kAddressWord = "address ";

// "I will probe file /dev/i2c-0, address 0x2d, mode byte"
std::optional<uint8_t> AddressInNote(std::string_view line) {
  if (!line.starts_with(kProbeNote)) return std::nullopt;
  const size_t at = line.find(kAddressWord);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = line.substr(at + kAddressWord.size());
  rest = rest.substr(0, rest.find(','));
  const auto a = ParseHex(rest, kLastAddress);
  if (!a) return std::nullopt;
  return static_cast<uint8_t>(*a);
}

// The second argument that is no option; -r takes a value of its own.
std::optional<uint8_t> AddressInCommand(std::string_view line) {
  int positional = 0;
  const std::vector<std::string_view> args = CommandArguments(line);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-r") {
      ++i;
    } else if (!args[i].starts_with('-') && ++positional == 2) {
      const auto a = ParseHex(args[i], kLastAddress);
      if (a) return static_cast<uint8_t>(*a);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<RegisterDump> ParseI2cdump(const std::vector<std::string_view>& lines,
                                         DumpError& error) {
  static const ToolLines kTool{
      GridTool::I2cdump,
      "i2cdump",
      {LineKind::I2cByteHeader, LineKind::I2cWordHeader},
      {LineKind::I2cChatter, LineKind::SharedChatter, LineKind::I2cCommand}};
  auto grids = ParseGrids(lines, kTool, error);
  if (!grids) return std::nullopt;
  RegisterDump dump{GridTool::I2cdump, std::move(*grids), std::nullopt, std::nullopt};
  // Each grid was taken where the last command or note above it says.
  std::optional<uint8_t> address;
  size_t next = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const LineKind kind = ClassifyLine(lines[i]);
    std::optional<uint8_t> named;
    if (kind == LineKind::I2cChatter) named = AddressInNote(lines[i]);
    if (kind == LineKind::I2cCommand) named = AddressInCommand(lines[i]);
    if (named) address = named;
    if (!dump.smbusAddress) dump.smbusAddress = named;
    if (next < dump.grids.size() && dump.grids[next].line == static_cast<int>(i) + 1)
      dump.grids[next++].smbusAddress = address;
  }
  return dump;
}

}  // namespace kev::replay
