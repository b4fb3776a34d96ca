#include "ports/write_inventory.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "detect/detect.h"
#include "hw/uwb_isa.h"

namespace kev::ports {
namespace {

constexpr uint8_t kPciRegMask = 0xFC;
constexpr uint32_t kFailedRead = 0xFFFFFFFFu;

constexpr uint8_t Unit(ChipUnit u) { return static_cast<uint8_t>(u); }
constexpr uint8_t Lane(PciLane l) { return static_cast<uint8_t>(l); }
constexpr uint8_t Cls(SmbusSlaveClass c) { return static_cast<uint8_t>(c); }

constexpr WriteRule Chip(ChipUnit u, uint8_t reg, uint8_t bank, uint16_t sets, uint16_t flips) {
  return {{OpCode::ChipWrite, Unit(u), reg, bank}, sets, flips};
}
constexpr WriteRule SmbByte(SmbusSlaveClass c, uint8_t command, uint16_t sets, uint16_t flips) {
  return {{OpCode::Smbus, 0, command, Cls(c)}, sets, flips};
}

// What the program writes, found by the inventory test over every catalogue
// board, with its fans swept through every divisor.
constexpr auto kInventory = std::to_array<WriteRule>({
    // ICH LPC bridge: F2h bit 3 un-hides the SMBus function, never hides it.
    {{OpCode::PciWrite, Lane(PciLane::HighWord), 0xF0, 0}, 0, 0x0008, true},
    // Monitoring chips and auxiliary sensors: start bits, interrupt masks,
    // divisor fields, channel enables, sensor types, bank selects.
    Chip(ChipUnit::Ns, 0x00, 0x00, 0x01, 0x00),
    Chip(ChipUnit::Ns, 0x0B, 0x00, 0x00, 0x7F),
    Chip(ChipUnit::Ns, 0x40, 0x00, 0x01, 0x00),
    Chip(ChipUnit::Ns, 0x43, 0x00, 0xFF, 0x00),
    Chip(ChipUnit::Ns, 0x44, 0x00, 0xFF, 0x00),
    Chip(ChipUnit::Ns, 0x47, 0x00, 0x00, 0xF0),
    Chip(ChipUnit::Ns, 0x4E, 0x00, 0x00, 0x00),
    Chip(ChipUnit::Wb, 0x40, 0x80, 0x01, 0x00),
    Chip(ChipUnit::Wb, 0x43, 0x80, 0xFF, 0x00),
    Chip(ChipUnit::Wb, 0x44, 0x80, 0x3F, 0x00),
    Chip(ChipUnit::Wb, 0x47, 0x80, 0x00, 0xF0),
    Chip(ChipUnit::Wb, 0x4A, 0x80, 0x01, 0x00),
    Chip(ChipUnit::Wb, 0x4B, 0x80, 0x00, 0xC0),
    Chip(ChipUnit::Wb, 0x52, 0x81, 0x00, 0x00),
    Chip(ChipUnit::Wb, 0x52, 0x82, 0x00, 0x00),
    Chip(ChipUnit::Wb, 0x5D, 0x80, 0x00, 0xEF),
    Chip(ChipUnit::Via, 0x40, 0x00, 0x01, 0x00),
    Chip(ChipUnit::Via, 0x43, 0x00, 0xFF, 0x00),
    Chip(ChipUnit::Via, 0x44, 0x00, 0xFF, 0x00),
    Chip(ChipUnit::Via, 0x47, 0x00, 0x00, 0xF0),
    Chip(ChipUnit::Fsm, 0x08, 0x00, 0x00, 0x60),
    Chip(ChipUnit::Fsm, 0x0B, 0x00, 0x00, 0x60),
    Chip(ChipUnit::Fsm, 0x0E, 0x00, 0x00, 0x60),
    Chip(ChipUnit::Vlm, 0x08, 0x00, 0x00, 0x03),
    Chip(ChipUnit::Vlm, 0x0A, 0x00, 0x00, 0x01),
    Chip(ChipUnit::Tms, 0x08, 0x00, 0x00, 0x03),
    Chip(ChipUnit::Tms, 0x0A, 0x00, 0x00, 0x01),
    SmbByte(SmbusSlaveClass::Monitor, 0x00, 0x01, 0x00),
    SmbByte(SmbusSlaveClass::AuxSensor, 0x01, 0x00, 0x00),
    SmbByte(SmbusSlaveClass::Monitor, 0x03, 0xFF, 0x40),
    SmbByte(SmbusSlaveClass::Monitor, 0x04, 0x7F, 0x00),
    SmbByte(SmbusSlaveClass::Monitor, 0x05, 0x00, 0x3C),
    SmbByte(SmbusSlaveClass::Monitor, 0x06, 0x01, 0x00),
    SmbByte(SmbusSlaveClass::AuxSensor, 0x09, 0x00, 0x00),
    SmbByte(SmbusSlaveClass::AuxSensor, 0x0A, 0x07, 0x00),
    SmbByte(SmbusSlaveClass::Monitor, 0x0B, 0x00, 0x7F),
    SmbByte(SmbusSlaveClass::AuxSensor, 0x0D, 0x48, 0x00),
    SmbByte(SmbusSlaveClass::AuxSensor, 0x0E, 0xBF, 0x00),
    SmbByte(SmbusSlaveClass::Monitor, 0x0F, 0x00, 0xF0),
    SmbByte(SmbusSlaveClass::Monitor, 0x40, 0x01, 0x00),
    SmbByte(SmbusSlaveClass::Monitor, 0x43, 0xFF, 0x00),
    SmbByte(SmbusSlaveClass::Monitor, 0x44, 0x7F, 0x00),
    SmbByte(SmbusSlaveClass::Monitor, 0x47, 0x00, 0xF0),
    SmbByte(SmbusSlaveClass::Monitor, 0x4A, 0x01, 0x00),
    SmbByte(SmbusSlaveClass::Monitor, 0x4B, 0x00, 0xC0),
    SmbByte(SmbusSlaveClass::Monitor, 0x4E, 0x87, 0x00),
    SmbByte(SmbusSlaveClass::Monitor, 0x52, 0x00, 0x00),
    SmbByte(SmbusSlaveClass::Monitor, 0x5D, 0x00, 0xEF),
    {{OpCode::SmbusBanked, 0, 0x4E, Cls(SmbusSlaveClass::Monitor)}, 0x87, 0x00},
});

}  // namespace

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%02Xh", v);
  return text;
}

SmbusSlaveClass ClassOfSlave(uint32_t slave) {
  if (IsMainChipSmbusAddress(slave)) return SmbusSlaveClass::Monitor;
  if (IsAuxSensorSmbusAddress(slave)) return SmbusSlaveClass::AuxSensor;
  return SmbusSlaveClass::Other;
}

std::optional<WriteKey> KeyOf(const HwOp& w) {
  switch (w.code) {
    case OpCode::PciWrite:
      return WriteKey{w.code, w.unit, static_cast<uint8_t>(w.value & kPciRegMask), 0};
    case OpCode::ChipWrite: {
      // A PC87366 channel's registers are alike for every channel.
      const bool channels = w.unit == Unit(ChipUnit::Vlm) || w.unit == Unit(ChipUnit::Tms);
      return WriteKey{w.code, w.unit, w.reg, channels ? uint8_t{0} : w.bank};
    }
    case OpCode::SuperIoWrite:
      return WriteKey{w.code, w.unit, w.reg, w.bank};
    case OpCode::Smbus:
      if ((w.unit & kSmbusRead) != 0) return std::nullopt;
      return WriteKey{w.code, w.unit, w.reg, Cls(ClassOfSlave(w.bank))};
    case OpCode::SmbusBanked:  // the bank select; putting bank 0 back is always allowed
      return WriteKey{w.code, 0, static_cast<uint8_t>(kWbIsaRegBankSelect),
                      Cls(ClassOfSlave(w.bank))};
    default:
      return std::nullopt;
  }
}

std::optional<HwOp> OldValueOp(const HwOp& w) {
  switch (w.code) {
    case OpCode::PciWrite:
      return op::PciRead(static_cast<PciLane>(w.unit), w.value);
    case OpCode::ChipWrite: {
      HwOp r = w;
      r.code = OpCode::ChipRead;
      r.data = 0;
      return r;
    }
    case OpCode::Smbus: {
      if ((w.unit & kSmbusRead) != 0) return std::nullopt;
      HwOp r = w;
      r.unit |= kSmbusRead;
      r.data = 0;
      return r;
    }
    default:
      return std::nullopt;
  }
}

uint32_t NewValueOf(const HwOp& w) {
  switch (w.code) {
    case OpCode::PciWrite:
      return w.extra;
    case OpCode::BoardSwitch:
      return SwitchBits(w);
    default:
      return w.data;
  }
}

std::span<const WriteRule> WriteInventory() { return kInventory; }

std::string WriteVerdict(const HwOp& w, std::optional<uint32_t> old) {
  const std::optional<WriteKey> key = KeyOf(w);
  if (!key) return {};
  const auto rule = std::find_if(kInventory.begin(), kInventory.end(),
                                 [&](const WriteRule& r) { return r.key == *key; });
  const std::string what = "register " + Hex(key->reg);
  if (rule == kInventory.end()) return what + " is not one the program writes";
  const uint32_t now = NewValueOf(w);
  if (!rule->clearOnly && (now & ~uint32_t{rule->sets}) == 0) return {};
  if (!OldValueOp(w) || !old || *old == kFailedRead) {
    return what + " is never set to " + Hex(now);
  }
  if (((now ^ *old) & ~uint32_t{rule->flips}) != 0) return "bits of " + what + " the program keeps";
  if (rule->clearOnly && (now & ~*old) != 0) return "bits of " + what + " the program only clears";
  return {};
}

}  // namespace kev::ports
