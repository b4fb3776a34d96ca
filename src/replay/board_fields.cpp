#include "replay/board_fields.h"

#include <cstdio>

namespace kev::replay {
namespace {

constexpr size_t kBytesPerConfigLine = 8;
constexpr unsigned kAllOnes = 0xFF;

}  // namespace

std::string HexText(unsigned v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
  return buf;
}

nlohmann::json PciEntry(const PciFunctionDump& f) {
  nlohmann::json lines = nlohmann::json::array();
  for (size_t at = 0; at < f.bytes.size(); at += kBytesPerConfigLine) {
    std::string line;
    for (size_t i = at; i < at + kBytesPerConfigLine; ++i) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%02X", f.unreadable ? kAllOnes : f.bytes[i]);
      line += (line.empty() ? "" : " ") + std::string(buf);
    }
    lines.push_back(line);
  }
  return {{"bus", f.bus}, {"device", f.device}, {"function", f.function}, {"config", lines}};
}

}  // namespace kev::replay
