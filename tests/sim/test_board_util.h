// Raw port sequences the board and bridge tests drive the simulated machine
// with; written here so that no shared constant can hide a wrong address.
#pragma once

#include <cstdint>

#include "sim/machine.h"

namespace kev::sim::testing {

inline constexpr uint16_t kCfgAddress = 0xCF8;
inline constexpr uint16_t kCfgData = 0xCFC;

inline uint32_t CfgAddress(int dev, int fn, int off) {
  return 0x80000000u | (uint32_t(dev) << 11) | (uint32_t(fn) << 8) | (uint32_t(off) & 0xFC);
}

inline uint32_t PciRead32(SimMachine& m, int dev, int fn, int off) {
  m.outl(kCfgAddress, CfgAddress(dev, fn, off));
  return m.inl(kCfgData);
}

inline uint8_t PciRead8(SimMachine& m, int dev, int fn, int off) {
  m.outl(kCfgAddress, CfgAddress(dev, fn, off));
  return m.inb(static_cast<uint16_t>(kCfgData + (off & 3)));
}

inline void PciWrite8(SimMachine& m, int dev, int fn, int off, uint8_t v) {
  m.outl(kCfgAddress, CfgAddress(dev, fn, off));
  m.outb(static_cast<uint16_t>(kCfgData + (off & 3)), v);
}

inline void PciWrite16(SimMachine& m, int dev, int fn, int off, uint16_t v) {
  m.outl(kCfgAddress, CfgAddress(dev, fn, off));
  m.outw(static_cast<uint16_t>(kCfgData + (off & 2)), v);
}

// The LM78-style index/data pair at base + 5 / base + 6.
inline uint8_t IsaRead(SimMachine& m, uint16_t base, uint8_t reg) {
  m.outb(static_cast<uint16_t>(base + 5), reg);
  return m.inb(static_cast<uint16_t>(base + 6));
}

inline void IsaWrite(SimMachine& m, uint16_t base, uint8_t reg, uint8_t v) {
  m.outb(static_cast<uint16_t>(base + 5), reg);
  m.outb(static_cast<uint16_t>(base + 6), v);
}

// A Super-I/O configuration register behind index port / data port + 1.
inline uint8_t SioRead(SimMachine& m, uint16_t port, uint8_t reg) {
  m.outb(port, reg);
  return m.inb(static_cast<uint16_t>(port + 1));
}

inline void SioWrite(SimMachine& m, uint16_t port, uint8_t reg, uint8_t v) {
  m.outb(port, reg);
  m.outb(static_cast<uint16_t>(port + 1), v);
}

}  // namespace kev::sim::testing
