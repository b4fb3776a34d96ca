// The PCI configuration section: every bus, device and function is probed;
// each one present is dumped byte by byte.
#include <array>

#include "hw/upcicfg.h"
#include "report/profile.h"
#include "report/text_format.h"

namespace kev::report {

namespace {

constexpr uint32_t kDevices = 32;
constexpr uint32_t kFunctions = 8;
static_assert(PciConfigurationScan::kSlots == 256 * kDevices * kFunctions);
static_assert(PciConfigurationScan::kSlotsPerBus == kDevices * kFunctions);
constexpr uint32_t kConfigBytes = 256;
constexpr uint32_t kBytesPerLine = 8;
constexpr uint32_t kAbsentId = 0xFFFFFFFF;

using ConfigSpace = std::array<uint8_t, kConfigBytes>;

// Four byte-lane reads per configuration dword.
void ReadConfigSpace(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, ConfigSpace& cfg) {
  for (uint32_t ofs = 0; ofs < kConfigBytes; ofs += 4) {
    cfg[ofs] = static_cast<uint8_t>(PCIcfg_rdb0(io, bus, dev, fn, ofs));
    cfg[ofs + 1] = static_cast<uint8_t>(PCIcfg_rdb1(io, bus, dev, fn, ofs));
    cfg[ofs + 2] = static_cast<uint8_t>(PCIcfg_rdb2(io, bus, dev, fn, ofs));
    cfg[ofs + 3] = static_cast<uint8_t>(PCIcfg_rdb3(io, bus, dev, fn, ofs));
  }
}

void AppendFunction(std::string& out, uint32_t bus, uint32_t dev, uint32_t fn,
                    const ConfigSpace& cfg) {
  out += "  BUS      Number : ";
  AppendDec(out, static_cast<int32_t>(bus));
  out += "\n  Device   Number : ";
  AppendDec(out, static_cast<int32_t>(dev));
  out += "\n  Funciton Number : ";
  AppendDec(out, static_cast<int32_t>(fn));
  out += "\n\n  OFFSET +0 +1 +2 +3 +4 +5 +6 +7\n  -------------------------------\n";
  for (uint32_t line = 0; line < kConfigBytes; line += kBytesPerLine) {
    out += "  ";
    AppendHex(out, line, 4);
    out += "  ";
    for (uint32_t i = 0; i < kBytesPerLine; ++i) {
      out += ' ';
      AppendHex(out, uint32_t{cfg[line + i]}, 2);
    }
    out += '\n';
  }
  out += "  -------------------------------\n\n\n";
}

}  // namespace

bool PciConfigurationScan::Step(std::string& out, PortIo& io, uint32_t slots) {
  if (done_) return true;
  if (!opened_) {
    opened_ = true;
    out += '\n';
    out += Banner("PCI Configuration Registers");
    out += "\n\n";
  }
  ConfigSpace cfg{};
  for (; slots > 0 && next_ < kSlots; --slots, ++next_) {
    const uint32_t bus = next_ / (kDevices * kFunctions);
    const uint32_t dev = next_ / kFunctions % kDevices;
    const uint32_t fn = next_ % kFunctions;
    if (PCIcfg_rdd(io, bus, dev, fn, 0) == kAbsentId) continue;
    ReadConfigSpace(io, bus, dev, fn, cfg);
    AppendFunction(out, bus, dev, fn, cfg);
  }
  if (next_ < kSlots) return false;
  out += kSectionRule;
  out += "\n\n";
  done_ = true;
  return true;
}

void AppendPciConfiguration(std::string& out, PortIo& io) {
  PciConfigurationScan scan;
  scan.Step(out, io, PciConfigurationScan::kSlots);
}

}  // namespace kev::report
