#include "ports/policy.h"

#include <algorithm>
#include <cstdio>

#include "detect/detect.h"
#include "hw/superio.h"
#include "hw/upcicfg.h"
#include "hw/usmbus.h"
#include "ports/write_inventory.h"

namespace kev::ports {
namespace {

constexpr uint32_t kLpcDevice = 31;
constexpr uint32_t kIteConfigPort = 0x2E;
constexpr uint32_t kSpdFirst = 0x50;
constexpr uint32_t kSpdLast = 0x57;
constexpr uint32_t kAllOnes = 0xFFFFFFFFu;

bool IsSuperIoPort(uint32_t port) {
  return std::find(superio::kConfigPorts.begin(), superio::kConfigPorts.end(), port) !=
         superio::kConfigPorts.end();
}

}  // namespace

std::string DescribeOp(const HwOp& o) {
  switch (o.code) {
    case OpCode::PciRead:
    case OpCode::PciWrite: {
      const PciConfigLocation at = DecodePciConfigAddress(o.value);
      char text[64];
      std::snprintf(text, sizeof text, "PCI %s of %X:%X.%X register %s",
                    o.code == OpCode::PciRead ? "read" : "write", at.bus, at.device, at.function,
                    Hex(at.offset).c_str());
      return text;
    }
    case OpCode::ChipCheck:
      return "chip check at " + Hex(o.port);
    case OpCode::ChipRead:
      return "chip read of register " + Hex(o.reg) + " at " + Hex(o.port);
    case OpCode::ChipWrite:
      return "chip write of " + Hex(o.data) + " to register " + Hex(o.reg) + " bank " +
             Hex(o.bank) + " at " + Hex(o.port);
    case OpCode::SuperIoRead:
    case OpCode::SuperIoBase:
      return "Super-I/O read at " + Hex(o.port);
    case OpCode::SuperIoWrite:
      return "Super-I/O write of register " + Hex(o.reg) + " at " + Hex(o.port);
    case OpCode::Smbus:
      return std::string("SMBus ") + ((o.unit & kSmbusRead) != 0 ? "read of " : "write to ") +
             Hex(o.bank) + " command " + Hex(o.reg);
    case OpCode::SmbusBanked:
      return "SMBus banked read of " + Hex(o.bank) + " command " + Hex(o.reg);
    case OpCode::BoardSwitch:
      return "board switch at " + Hex(o.value);
  }
  return "unknown op";
}

OpPolicy::OpPolicy(PortIo& raw, MachineMap map, SmbusAdapter* adapter)
    : raw_(raw), map_(std::move(map)), adapter_(adapter) {}

void OpPolicy::run(std::span<const HwOp> ops, std::span<uint32_t> results,
                   std::vector<std::string>& refusals) {
  for (size_t i = 0; i < ops.size(); ++i) {
    const std::string why = verdict(ops[i]);
    uint32_t r = kAllOnes;
    if (why.empty()) {
      r = RunOnPorts(raw_, ops[i], adapter_);
    } else {
      refusals.push_back(DescribeOp(ops[i]) + ": " + why);
    }
    if (i < results.size()) results[i] = r;
  }
}

std::string OpPolicy::verdict(const HwOp& o) {
  if (!OpWellFormed(o)) return "not an operation the program makes";
  std::string why;
  switch (o.code) {
    case OpCode::PciRead:
    case OpCode::PciWrite:
      why = pciVerdict(o);
      break;
    case OpCode::ChipCheck:
    case OpCode::ChipRead:
    case OpCode::ChipWrite:
      why = chipVerdict(o);
      break;
    case OpCode::SuperIoRead:
    case OpCode::SuperIoWrite:
    case OpCode::SuperIoBase:
      why = superIoVerdict(o);
      break;
    case OpCode::Smbus:
    case OpCode::SmbusBanked:
      why = smbusVerdict(o);
      break;
    case OpCode::BoardSwitch:
      why = switchVerdict(o);
      break;
  }
  return why.empty() ? inventoryVerdict(o) : why;
}

std::string OpPolicy::pciVerdict(const HwOp& o) const {
  if (o.code == OpCode::PciRead) return {};
  const PciConfigLocation at = DecodePciConfigAddress(o.value);
  const bool lpc = at.enabled && at.bus == 0 && at.device == kLpcDevice && at.function == 0;
  if (!lpc || !IsIchLpcBridge(static_cast<uint32_t>(map_.lpcId))) {
    return "not a PCI function the program writes";
  }
  return {};
}

std::string OpPolicy::chipVerdict(const HwOp& o) const {
  const PortRange ports = ChipOpPorts(o);
  for (const PortRange& b : map_.chipBlocks) {
    if (b.holds(ports.first, ports.last)) return {};
  }
  return "not a monitoring chip's block on this machine";
}

std::string OpPolicy::superIoVerdict(const HwOp& o) const {
  if (!IsSuperIoPort(o.port)) return "not a Super-I/O configuration port";
  if (o.code != OpCode::SuperIoBase && o.unit == static_cast<uint8_t>(SuperIoKind::Ite) &&
      o.port != kIteConfigPort) {
    return "the ITE configuration space is only at 2Eh";
  }
  return {};
}

std::string OpPolicy::smbusVerdict(const HwOp& o) const {
  if (!map_.smbus || o.port != static_cast<uint32_t>(map_.pm.SmbBase) ||
      o.extra != static_cast<uint32_t>(map_.pm.VendorDevice)) {
    return "not the SMBus host the PM device reports";
  }
  if (o.bank > kLastSlave) return "not a 7-bit slave address";
  const bool write = o.code == OpCode::SmbusBanked || (o.unit & kSmbusRead) == 0;
  if (!write) return {};
  if (o.bank >= kSpdFirst && o.bank <= kSpdLast) {
    return "a memory module's SPD EEPROM is never written";
  }
  const SmbusSlaveClass c = ClassOfSlave(o.bank);
  if (c == SmbusSlaveClass::Other ||
      (o.code == OpCode::SmbusBanked && c != SmbusSlaveClass::Monitor)) {
    return "not an address the program writes";
  }
  return {};
}

std::string OpPolicy::switchVerdict(const HwOp& o) const {
  if (!map_.boardSwitch) return "this board has no switch";
  const BoardSwitchRule& r = *map_.boardSwitch;
  const bool same = o.unit == static_cast<uint8_t>(r.kind) && o.value == r.target &&
                    o.extra == r.keep && o.data == r.mask &&
                    (uint32_t{o.bank} << 8 | o.reg) == SwitchBits(o);
  if (!same) return "not this board's switch";
  if (r.kind == SwitchKind::Asms5 && o.port != static_cast<uint32_t>(map_.pm.SmbBase)) {
    return "not the switch's SMBus block";
  }
  return {};
}

std::string OpPolicy::inventoryVerdict(const HwOp& o) {
  if (!KeyOf(o)) return {};
  std::optional<uint32_t> old;
  if (const std::optional<HwOp> read = OldValueOp(o)) old = RunOnPorts(raw_, *read, adapter_);
  if (observer_) observer_(o, old);
  return WriteVerdict(o, old);
}

}  // namespace kev::ports
