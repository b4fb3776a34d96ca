// The PCI configuration section: every bus, device and function is probed;
// each one present is dumped byte by byte.
#include <algorithm>
#include <array>
#include <vector>

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

constexpr std::array<PciLane, 4> kByteLanes{PciLane::Byte0, PciLane::Byte1, PciLane::Byte2,
                                            PciLane::Byte3};

// Four byte-lane reads per configuration dword, all in one request.
void ReadConfigSpace(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, ConfigSpace& cfg) {
  std::array<HwOp, kConfigBytes> ops{};
  for (uint32_t ofs = 0; ofs < kConfigBytes; ++ofs) {
    ops[ofs] = op::PciRead(kByteLanes[ofs % 4], PciConfigAddress(bus, dev, fn, ofs & ~3u));
  }
  std::array<uint32_t, kConfigBytes> values{};
  io.runOps(ops, values);
  for (uint32_t ofs = 0; ofs < kConfigBytes; ++ofs) cfg[ofs] = static_cast<uint8_t>(values[ofs]);
}

// The vendor/device dwords of slots first.. (at most one bus), in one request.
std::vector<uint32_t> ReadIds(PortIo& io, uint32_t first, uint32_t count) {
  std::vector<HwOp> ops(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t slot = first + i;
    ops[i] = op::PciRead(PciLane::Dword,
                         PciConfigAddress(slot / (kDevices * kFunctions),
                                          slot / kFunctions % kDevices, slot % kFunctions, 0));
  }
  std::vector<uint32_t> ids(count);
  io.runOps(ops, ids);
  return ids;
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
  while (slots > 0 && next_ < kSlots) {
    const uint32_t count = std::min({slots, kSlotsPerBus - next_ % kSlotsPerBus, kSlots - next_});
    const std::vector<uint32_t> ids = ReadIds(io, next_, count);
    for (uint32_t i = 0; i < count; ++i, ++next_) {
      if (ids[i] == kAbsentId) continue;
      const uint32_t bus = next_ / (kDevices * kFunctions);
      const uint32_t dev = next_ / kFunctions % kDevices;
      const uint32_t fn = next_ % kFunctions;
      ReadConfigSpace(io, bus, dev, fn, cfg);
      AppendFunction(out, bus, dev, fn, cfg);
    }
    slots -= count;
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
