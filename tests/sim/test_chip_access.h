// Bus-side access to a chip model, as a host would do it.
#pragma once

#include <cstdint>

#include "sim/machine.h"
#include "sim/smbus.h"

namespace kev::sim::testing {

// The ISA index/data pair at base + 5 / base + 6.
struct IsaPair {
  SimMachine& m;
  uint16_t base;
  uint8_t read(uint8_t reg) {
    m.outb(static_cast<uint16_t>(base + 5), reg);
    return m.inb(static_cast<uint16_t>(base + 6));
  }
  void write(uint8_t reg, uint8_t value) {
    m.outb(static_cast<uint16_t>(base + 5), reg);
    m.outb(static_cast<uint16_t>(base + 6), value);
  }
};

// One slave address on a bus; -1 for a transaction without an ACK.
struct SmbDev {
  SmbusBus& bus;
  uint8_t address;
  int read(uint8_t reg) {
    uint8_t v = 0;
    return bus.readByte(address, reg, v) == SmbusResult::Ok ? v : -1;
  }
  int readWord(uint8_t reg) {
    uint16_t v = 0;
    return bus.readWord(address, reg, v) == SmbusResult::Ok ? v : -1;
  }
  bool write(uint8_t reg, uint8_t value) {
    return bus.writeByte(address, reg, value) == SmbusResult::Ok;
  }
  bool writeWord(uint8_t reg, uint16_t value) {
    return bus.writeWord(address, reg, value) == SmbusResult::Ok;
  }
};

}  // namespace kev::sim::testing
