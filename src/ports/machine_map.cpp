#include "ports/machine_map.h"

#include <algorithm>

#include "detect/port_policy.h"
#include "hw/superio.h"
#include "hw/upc87366.h"
#include "hw/upcicfg.h"
#include "hw/usmbus.h"

namespace kev::ports {
namespace {

constexpr int32_t kConfigPairSpan = 2;
constexpr uint32_t kIsaIndexOffset = 5;
constexpr uint32_t kIsaDataOffset = 6;
constexpr uint32_t kViaWindow = 0x80;
constexpr uint32_t kIsaPairSpan = 8;
constexpr uint32_t kLpcDevice = 31;
constexpr uint32_t kPciDataLast = kPciConfigData + 3;

PortRange Block(uint32_t first, uint32_t span) { return {first, first + span - 1}; }

}  // namespace

PortRange ChipOpPorts(const HwOp& op) {
  if (op.code == OpCode::ChipCheck) return {op.port + kIsaIndexOffset, op.port + kIsaIndexOffset};
  switch (static_cast<ChipUnit>(op.unit)) {
    case ChipUnit::Ns:
    case ChipUnit::Wb:
      return {op.port + kIsaIndexOffset, op.port + kIsaDataOffset};
    case ChipUnit::Via:
      return {uint32_t{op.port} + op.reg, uint32_t{op.port} + op.reg};
    default: {
      const uint32_t first = op.port & kPc87366BlockMask;
      return {first, first + kPc87366BlockLast};
    }
  }
}

MachineMap EstablishMachine(PortIo& raw) {
  MachineMap map;
  EnableIchSmbus(raw);
  const uint32_t lpc = PCIcfg_rdd(raw, 0, kLpcDevice, 0, 0);
  map.lpcId = static_cast<int32_t>(lpc);
  const PmDevice pm = ScanPmDevice(raw);
  map.pm = pm;
  if (pm.SmbBase != -1) {
    map.smbus = Block(static_cast<uint32_t>(pm.SmbBase),
                      SmbusHostSpan(static_cast<uint32_t>(pm.VendorDevice)));
  }
  for (const PortBlock& b : MonitorPortBlocks()) {
    if (b.span != kConfigPairSpan) {
      map.chipBlocks.push_back({static_cast<uint32_t>(b.first), static_cast<uint32_t>(b.last)});
    }
  }
  const BridgeMonitorBlock monitor = FindBridgeMonitorBlock(raw, pm);
  if (monitor.base != -1) {
    const uint32_t span = monitor.path == ChipPath::Via ? kViaWindow : kIsaPairSpan;
    map.chipBlocks.push_back(Block(static_cast<uint32_t>(monitor.base), span));
  }
  for (const SuperIoMonitorBlock& b : FindSuperIoMonitorBlocks(raw)) {
    map.chipBlocks.push_back({b.first, b.last});
  }
  map.boardSwitch = BoardSwitchOf(pm.VendorDevice);
  if (map.boardSwitch) {
    const BoardSwitchRule& r = *map.boardSwitch;
    switch (r.kind) {
      case SwitchKind::Asms1:
      case SwitchKind::Asms3:
      case SwitchKind::Asms4:
        map.switchPorts.push_back(Block(r.target, 1));
        break;
      case SwitchKind::Asms5:
        if (pm.SmbBase != -1) map.switchPorts.push_back(Block(pm.SmbBase + r.target, 2));
        break;
      case SwitchKind::Asms2:  // through a Super-I/O pair
      case SwitchKind::Asms6:  // through PCI configuration
        break;
    }
  }
  return map;
}

std::vector<PortRange> PortsToGrant(const MachineMap& map) {
  std::vector<PortRange> r{{kPciConfigAddress, kPciDataLast}, {kIoDelayPort, kIoDelayPort}};
  for (uint16_t p : superio::kConfigPorts) r.push_back({p, p + 1u});
  // Through the kernel's adapter the host's own ports are never touched.
  if (map.smbus && !map.smbusThroughKernel) r.push_back(*map.smbus);
  r.insert(r.end(), map.chipBlocks.begin(), map.chipBlocks.end());
  r.insert(r.end(), map.switchPorts.begin(), map.switchPorts.end());
  std::sort(r.begin(), r.end(),
            [](const PortRange& a, const PortRange& b) { return a.first < b.first; });
  std::vector<PortRange> merged;
  for (const PortRange& x : r) {
    if (x.last > kLastPort) continue;
    if (!merged.empty() && x.first <= merged.back().last + 1) {
      merged.back().last = std::max(merged.back().last, x.last);
    } else {
      merged.push_back(x);
    }
  }
  return merged;
}

}  // namespace kev::ports
