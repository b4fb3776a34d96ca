#include "replay/dump_lines.h"

#include <array>
#include <cctype>
#include <cstdio>

namespace kev::replay {
namespace {

struct Chatter {
  std::string_view start;
  LineKind kind;
};

// What the tools print around their grids (their warnings go to the
// terminal, so pastes often hold them).
constexpr std::array<Chatter, 9> kChatter{{
    {"WARNING! This program can confuse your I2C bus", LineKind::I2cChatter},
    {"I will probe file ", LineKind::I2cChatter},
    {"No size specified", LineKind::I2cChatter},
    {"Probe range limited to ", LineKind::I2cChatter},
    {"WARNING! Running this program can cause system crashes", LineKind::IsaChatter},
    {"I will probe address register ", LineKind::IsaChatter},
    {"Continue? [Y/n]", LineKind::SharedChatter},
    {"Continue? [y/N]", LineKind::SharedChatter},
    {"Probing bank ", LineKind::SharedChatter},
}};

constexpr std::string_view kProfileBanner = "--[ ";
constexpr std::string_view kI2cTextColumn = "0123456789abcdef";

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

bool AllHex(std::string_view s) {
  for (char c : s) {
    if (!IsHexDigit(c)) return false;
  }
  return !s.empty();
}

// The column header of a grid: "0".."f" (isadump, i2cdump bytes, the latter
// with its text column) or "0,8".."7,f" (i2cdump words).
std::optional<LineKind> HeaderKind(const std::vector<std::string_view>& w) {
  static constexpr std::string_view kDigits = "0123456789abcdef";
  if (w.size() == 8) {
    for (size_t i = 0; i < 8; ++i) {
      const std::string expected{kDigits[i], ',', kDigits[i + 8]};
      if (w[i] != expected) return std::nullopt;
    }
    return LineKind::I2cWordHeader;
  }
  if (w.size() != 16 && w.size() != 17) return std::nullopt;
  for (size_t i = 0; i < 16; ++i) {
    if (w[i].size() != 1 || w[i][0] != kDigits[i]) return std::nullopt;
  }
  if (w.size() == 16) return LineKind::IsaHeader;
  return w[16] == kI2cTextColumn ? std::optional(LineKind::I2cByteHeader) : std::nullopt;
}

// "00:07.3 " or "0000:00:07.3 ".
bool IsPciHeading(std::string_view s) {
  if (s.size() > 5 && AllHex(s.substr(0, 4)) && s[4] == ':') s.remove_prefix(5);
  return s.size() > 8 && AllHex(s.substr(0, 2)) && s[2] == ':' && AllHex(s.substr(3, 2)) &&
         s[5] == '.' && s[6] >= '0' && s[6] <= '7' && s[7] == ' ';
}

// "20:" or "100:" followed by a blank or nothing.
bool IsGridRow(std::string_view s) {
  const size_t colon = s.find(':');
  if (colon != 2 && colon != 3) return false;
  return AllHex(s.substr(0, colon)) && (s.size() == colon + 1 || s[colon + 1] == ' ');
}

std::string_view BaseName(std::string_view word) {
  const size_t slash = word.rfind('/');
  return slash == std::string_view::npos ? word : word.substr(slash + 1);
}

bool IsPrompt(std::string_view word) {
  const char last = word.back();
  return word == "sudo" || last == '$' || last == '#' || last == '>';
}

// The tool a command line runs, and where its arguments start.
std::optional<std::pair<LineKind, size_t>> CommandOf(const std::vector<std::string_view>& w) {
  for (size_t i = 0; i < w.size(); ++i) {
    const std::string_view name = BaseName(w[i]);
    if (name == "i2cdump") return std::pair{LineKind::I2cCommand, i + 1};
    if (name == "isadump") return std::pair{LineKind::IsaCommand, i + 1};
    if (name == "lspci") return std::pair{LineKind::LspciCommand, i + 1};
    if (!IsPrompt(w[i])) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::optional<uint32_t> ParseHex(std::string_view s, uint32_t max) {
  if (s.starts_with("0x") || s.starts_with("0X")) {
    s.remove_prefix(2);
  } else if (s.ends_with('h') || s.ends_with('H')) {
    s.remove_suffix(1);
  }
  if (!AllHex(s) || s.size() > 8) return std::nullopt;
  const uint32_t v = static_cast<uint32_t>(std::stoul(std::string(s), nullptr, 16));
  if (v > max) return std::nullopt;
  return v;
}

std::string RowText(unsigned v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02x", v);
  return buf;
}

std::vector<std::string_view> CommandArguments(std::string_view line) {
  const std::vector<std::string_view> w = Words(line);
  const auto command = CommandOf(w);
  if (!command) return {};
  return {w.begin() + static_cast<std::ptrdiff_t>(command->second), w.end()};
}

LineKind ClassifyLine(std::string_view line) {
  const std::string_view s = TrimRight(line);
  const std::vector<std::string_view> w = Words(s);
  if (w.empty()) return LineKind::Blank;
  if (s.starts_with(kProfileBanner)) return LineKind::ProfileTitle;
  if (auto header = HeaderKind(w)) return *header;
  if (IsPciHeading(s)) return LineKind::PciHeading;
  if (IsGridRow(s)) return LineKind::GridRow;
  for (const Chatter& c : kChatter) {
    if (s.starts_with(c.start)) return c.kind;
  }
  if (auto command = CommandOf(w)) return command->first;
  return LineKind::Other;
}

std::string_view DescribeKind(LineKind kind) {
  switch (kind) {
    case LineKind::Blank:
      return "an empty line";
    case LineKind::ProfileTitle:
      return "a line of a hardware monitoring profile";
    case LineKind::I2cByteHeader:
    case LineKind::I2cWordHeader:
      return "an i2cdump column header";
    case LineKind::IsaHeader:
      return "an isadump column header";
    case LineKind::GridRow:
      return "a row of values";
    case LineKind::PciHeading:
      return "an lspci function heading";
    case LineKind::I2cChatter:
    case LineKind::I2cCommand:
      return "a line of i2cdump";
    case LineKind::IsaChatter:
    case LineKind::IsaCommand:
      return "a line of isadump";
    case LineKind::SharedChatter:
      return "a question of the dump tool";
    case LineKind::LspciCommand:
      return "an lspci command";
    case LineKind::Other:
      break;
  }
  return "text that belongs to no dump";
}

}  // namespace kev::replay
