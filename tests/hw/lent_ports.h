// Lends a machine the test keeps to code that takes its ports by
// unique_ptr, so the machine can be inspected (access counts) afterwards.
#pragma once

#include <string>

#include "hw/portio.h"

namespace kev::test {

class LentPorts : public PortIo {
 public:
  explicit LentPorts(PortIo& machine) : m_(machine) {}
  uint8_t inb(uint16_t p) override { return m_.inb(p); }
  uint16_t inw(uint16_t p) override { return m_.inw(p); }
  uint32_t inl(uint16_t p) override { return m_.inl(p); }
  void outb(uint16_t p, uint8_t v) override { m_.outb(p, v); }
  void outw(uint16_t p, uint16_t v) override { m_.outw(p, v); }
  void outl(uint16_t p, uint32_t v) override { m_.outl(p, v); }
  bool requestAccess() override { return m_.requestAccess(); }
  std::string refusalReason() const override { return m_.refusalReason(); }

 private:
  PortIo& m_;
};

}  // namespace kev::test
