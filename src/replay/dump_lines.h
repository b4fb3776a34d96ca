// The lines of a pasted dump and what each one looks like, so that every
// parser can tell its own lines from those of another tool.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "replay/text_lines.h"

namespace kev::replay {

enum class LineKind {
  Blank,
  ProfileTitle,   // "--[ Kevatra  Ver... ]--"
  I2cByteHeader,  // "     0  1  2 ... f    0123456789abcdef"
  I2cWordHeader,  // "     0,8  1,9 ... 7,f"
  IsaHeader,      // "     0  1  2 ... f"
  GridRow,        // "20: 12 34 ..." (also an lspci row)
  PciHeading,     // "00:07.3 SMBus: Intel ..."
  I2cChatter,     // the warning, question and notes i2cdump prints
  IsaChatter,
  SharedChatter,  // lines both tools print
  I2cCommand,     // "$ i2cdump -y 0 0x2d"
  IsaCommand,
  LspciCommand,
  Other,
};

LineKind ClassifyLine(std::string_view line);
// "an lspci function heading", for "expected X, got Y" messages.
std::string_view DescribeKind(LineKind kind);

// "2d", "0x2D", "2Dh": a number in hex; nullopt when it is none or above max.
std::optional<uint32_t> ParseHex(std::string_view s, uint32_t max);

// A register or row as the tools print it: "2a", "100".
std::string RowText(unsigned v);

// The arguments of a tool's command line without prompt, sudo and tool name.
std::vector<std::string_view> CommandArguments(std::string_view line);

}  // namespace kev::replay
