// The grid both i2cdump and isadump print: a column header, then rows
// "20: 12 34 ..." of 16 bytes (or 8 words), cells at fixed columns.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "replay/dump_lines.h"
#include "replay/dumps.h"

namespace kev::replay {

struct GridShape {
  bool words = false;        // 8 cells of 4 digits per row
  bool textColumn = false;   // i2cdump byte mode: the characters after the cells
  bool ranges = false;       // i2cdump -r: rows may leave registers out
  bool halfAllowed = false;  // isadump: a chip with a 7-bit index shows 00h-7Fh only
};

// Lines a tool may print around its grids, other than the grid itself.
struct ToolLines {
  GridTool tool;
  std::string_view name;  // "i2cdump"
  std::vector<LineKind> headers;
  std::vector<LineKind> chatter;
};

// Reads every grid of the text. The caller has made sure the text is this
// tool's; prose between grids is skipped, a line of another tool is an
// error naming it.
std::optional<std::vector<RegisterGrid>> ParseGrids(const std::vector<std::string_view>& lines,
                                                    const ToolLines& tool, DumpError& error);

}  // namespace kev::replay
