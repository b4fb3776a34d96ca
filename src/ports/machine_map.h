// What the port helper knows of the machine before it gives up its
// capability: the PM device and its SMBus host, the monitor blocks, the
// board switch. It learns them once, with its own reads, so that no client
// can teach it a block; ioperm gets exactly the ports these allow.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "detect/detect.h"
#include "hw/portio.h"

namespace kev::ports {

struct PortRange {
  uint32_t first;
  uint32_t last;

  bool holds(uint32_t a, uint32_t b) const { return a >= first && b <= last; }
  friend bool operator==(const PortRange&, const PortRange&) = default;
};

struct MachineMap {
  PmDevice pm;                        // the PM device and its SMBus base
  int32_t lpcId = -1;                 // the ICH LPC bridge's ID, where there is one
  std::optional<PortRange> smbus;     // the SMBus host's block
  std::vector<PortRange> chipBlocks;  // where chip register ops may reach
  std::optional<BoardSwitchRule> boardSwitch;
  std::vector<PortRange> switchPorts;  // the ports the board switch writes
  bool smbusThroughKernel = false;     // the kernel's adapter drives the SMBus host
};

// Un-hides the ICH SMBus function (the program's own first write, so that
// its block is known), then reads the map from PCI configuration and the
// Super-I/O configuration spaces.
MachineMap EstablishMachine(PortIo& raw);

// Every port an op the policy allows can reach on this machine, merged.
std::vector<PortRange> PortsToGrant(const MachineMap& map);

// The ports a chip register op reaches (ChipCheck, ChipRead, ChipWrite).
PortRange ChipOpPorts(const HwOp& op);

}  // namespace kev::ports
