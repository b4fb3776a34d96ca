// PCI configuration space of bus 0 read from sysfs instead of the ports:
// the CF8h/CFCh mechanism played over /sys/bus/pci/devices/.../config, so a
// PCI scan runs with nothing written to the machine.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "hw/portio.h"

namespace kev {

class SysfsPciConfig : public PortIo {
 public:
  explicit SysfsPciConfig(std::string sysRoot);

  uint8_t inb(uint16_t port) override;
  uint16_t inw(uint16_t port) override;
  uint32_t inl(uint16_t port) override;
  // CF8h only latches the address and EBh delays are dropped; any other
  // write is noted and goes nowhere.
  void outb(uint16_t port, uint8_t value) override;
  void outw(uint16_t port, uint16_t value) override;
  void outl(uint16_t port, uint32_t value) override;
  bool requestAccess() override { return true; }

  // Bytes of a function's configuration space this reader may see: 256 or
  // more for a privileged reader, 64 otherwise; 0 when there is no function.
  size_t visibleBytes(uint32_t device, uint32_t function);
  // A caller asked for a port other than the configuration pair, so its
  // answer needed the machine itself.
  bool wantedOtherPorts() const { return wantedOtherPorts_; }

 private:
  uint32_t ConfigRead(uint16_t port, int width);
  const std::string& Config(uint32_t device, uint32_t function);

  std::string sysRoot_;
  uint32_t address_ = 0;
  bool wantedOtherPorts_ = false;
  std::map<uint32_t, std::string> cache_;  // by device << 3 | function
};

}  // namespace kev
