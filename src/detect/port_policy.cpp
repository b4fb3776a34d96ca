#include "detect/port_policy.h"

#include <array>
#include <cstdio>

#include "settings/monitor_settings.h"

namespace kev {
namespace {

constexpr int32_t kConfigPair = 2;  // Super-I/O index and data
constexpr int32_t kIsaBlock = 8;    // LM78-style block: index at +5, data at +6

constexpr std::array<PortBlock, 5> kMonitorBlocks{{
    {0x002E, 0x002F, kConfigPair},  // Super-I/O configuration (PC87366, ITE, Winbond)
    {0x004E, 0x004F, kConfigPair},  // the same at its other address
    {0x0280, 0x02E7, kIsaBlock},    // ISA monitors, 290h by default; ends before COM4 at 2E8h
    {0x0310, 0x0317, kIsaBlock},    // ISA monitors at their other usual block
    {0x0A00, 0x0A1F, kIsaBlock},    // Super-I/O monitor blocks; ends well before PnP's A79h
}};

std::string Hex(int32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%Xh", static_cast<uint32_t>(v));
  return text;
}

}  // namespace

std::span<const PortBlock> MonitorPortBlocks() { return kMonitorBlocks; }

bool SettingsPortAllowed(int32_t base) {
  for (const PortBlock& b : kMonitorBlocks) {
    if (base >= b.first && base <= b.last - (b.span - 1)) return true;
  }
  return false;
}

std::string RefusedPortText(int32_t port) {
  std::string blocks;
  for (const PortBlock& b : kMonitorBlocks) {
    blocks += (blocks.empty() ? "" : ", ") + Hex(b.first) + "-" + Hex(b.last);
  }
  return "The chip port " + Hex(port) +
         " from the settings is not used: stored ports are used only where monitoring chips "
         "sit (" +
         blocks + "); " + Hex(MonitorSettings{}.MainChipPortAddress) + " is tried instead";
}

}  // namespace kev
