#include "replay/dump_file.h"

#include "replay/dump_lines.h"
#include "replay/grid_tools.h"
#include "replay/lspci.h"
#include "replay/profile_board.h"

namespace kev::replay {
namespace {

enum class FileKind { Profile, I2cdump, Isadump, Lspci };

std::optional<FileKind> KindOf(LineKind k) {
  switch (k) {
    case LineKind::ProfileTitle:
      return FileKind::Profile;
    case LineKind::I2cByteHeader:
    case LineKind::I2cWordHeader:
    case LineKind::I2cChatter:
    case LineKind::I2cCommand:
      return FileKind::I2cdump;
    case LineKind::IsaHeader:
    case LineKind::IsaChatter:
    case LineKind::IsaCommand:
      return FileKind::Isadump;
    case LineKind::PciHeading:
    case LineKind::LspciCommand:
      return FileKind::Lspci;
    default:
      return std::nullopt;
  }
}

// A line as quoted in a mail or forum ("> "), without the quote marks.
std::string_view Unquoted(std::string_view line) {
  while (line.starts_with('>')) {
    line.remove_prefix(1);
    if (line.starts_with(' ')) line.remove_prefix(1);
  }
  return line;
}

}  // namespace

std::optional<ParsedFile> ParseDumpText(std::string_view text, std::string& error) {
  std::vector<std::string_view> lines = SplitLines(text);
  for (std::string_view& l : lines) l = Unquoted(l);
  std::optional<FileKind> kind;
  size_t i = 0;
  for (; i < lines.size() && !kind; ++i) {
    const LineKind k = ClassifyLine(lines[i]);
    kind = KindOf(k);
    if (!kind && k != LineKind::Blank && k != LineKind::SharedChatter && k != LineKind::Other)
      break;
  }
  if (!kind) {
    const std::string got =
        i < lines.size() ? std::string(DescribeKind(ClassifyLine(lines[i]))) : "the end";
    error =
        DumpError{static_cast<int>(i) + 1,
                  "a hardware monitoring profile, or i2cdump, isadump or lspci output, got " + got}
            .text();
    return std::nullopt;
  }
  ParsedFile file;
  DumpError e;
  switch (*kind) {
    case FileKind::Profile:
      file.profileBoard = BoardFromProfile(text, error);
      return file.profileBoard ? std::optional(std::move(file)) : std::nullopt;
    case FileKind::I2cdump:
      file.registers = ParseI2cdump(lines, e);
      break;
    case FileKind::Isadump:
      file.registers = ParseIsadump(lines, e);
      break;
    case FileKind::Lspci:
      file.pci = ParseLspci(lines, e);
      break;
  }
  if (!file.registers && !file.pci) {
    error = e.text();
    return std::nullopt;
  }
  return file;
}

}  // namespace kev::replay
