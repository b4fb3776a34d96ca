// What the port helper lets a client do. Clients send whole operations;
// the policy lets through only those the program itself makes, at the
// blocks the helper found on this machine before it gave up its capability,
// so a client that is taken over cannot reach a disk controller, reprogram
// PCI devices, stop a fan or write a memory module's EEPROM.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hw/portio.h"
#include "ports/machine_map.h"

namespace kev::ports {

class OpPolicy {
 public:
  // raw: the ports the helper holds; never touched for a refused op.
  // adapter: the kernel's SMBus adapter, which then takes every SMBus op.
  OpPolicy(PortIo& raw, MachineMap map, SmbusAdapter* adapter = nullptr);

  // Runs the ops in order; a refused op touches nothing and reads all ones.
  // One line per refusal goes to refusals, e.g.
  // "SMBus write to 69h command 00h: not an address the program writes".
  void run(std::span<const HwOp> ops, std::span<uint32_t> results,
           std::vector<std::string>& refusals);

  // Why op is refused; empty when it may run. A write's verdict may read
  // the register it would replace.
  std::string verdict(const HwOp& op);

  const MachineMap& map() const { return map_; }

  // Sees every write the inventory governs with what it replaces, before
  // its verdict: how a test takes the inventory from the program.
  using WriteObserver = std::function<void(const HwOp& write, std::optional<uint32_t> old)>;
  void observeWrites(WriteObserver observer) { observer_ = std::move(observer); }

 private:
  std::string pciVerdict(const HwOp& op) const;
  std::string chipVerdict(const HwOp& op) const;
  std::string superIoVerdict(const HwOp& op) const;
  std::string smbusVerdict(const HwOp& op) const;
  std::string switchVerdict(const HwOp& op) const;
  std::string inventoryVerdict(const HwOp& op);

  PortIo& raw_;
  MachineMap map_;
  SmbusAdapter* adapter_;
  WriteObserver observer_;
};

// A short description of an op for refusal lines.
std::string DescribeOp(const HwOp& op);

}  // namespace kev::ports
