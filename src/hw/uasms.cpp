#include "hw/uasms.h"

#include "hw/superio.h"
#include "hw/upcicfg.h"

namespace kev {

namespace {

// The switch lines of the first two helpers sit at bits 4-3.
constexpr int kSwitchShift = 3;

constexpr uint8_t kWinbondConfigKey = 0x87;
constexpr uint8_t kLdnGpio = 0x08;
constexpr uint8_t kRegGpioData = 0xF1;

constexpr uint32_t kPciEnableBit = 0x80000000u;
constexpr uint32_t kLowWord = 0xFFFF;

uint16_t Port(uint32_t port) { return static_cast<uint16_t>(port); }

void ByteRmw(PortIo& io, uint32_t port, uint32_t keep, uint32_t bits) {
  const uint32_t old = io.inb(Port(port));
  io.outb(Port(port), static_cast<uint8_t>((old & keep) | bits));
}

void WriteConfigReg(PortIo& io, uint32_t cfgport, uint8_t reg, uint32_t value) {
  io.outb(Port(cfgport), reg);
  io.outb(Port(cfgport + 1), static_cast<uint8_t>(value));
}

}  // namespace

void ASMS1set(PortIo& io, uint32_t port, uint32_t keep, uint32_t mask, uint32_t value) {
  ByteRmw(io, port, keep, (value & mask) << kSwitchShift);
}

void ASMS2set(PortIo& io, uint32_t cfgport, uint32_t keep, uint32_t mask, uint32_t value) {
  io.outb(Port(cfgport), kWinbondConfigKey);
  io.outb(Port(cfgport), kWinbondConfigKey);
  WriteConfigReg(io, cfgport, superio::kRegLdn, kLdnGpio);
  io.outb(Port(cfgport), kRegGpioData);
  const uint32_t old = io.inb(Port(cfgport + 1));
  WriteConfigReg(io, cfgport, kRegGpioData, (old & keep) | ((value & mask) << kSwitchShift));
}

void ASMS3set(PortIo& io, uint32_t port, uint32_t keep, uint32_t mask, uint32_t value) {
  ByteRmw(io, port, keep, value & mask);
}

void ASMS4set(PortIo& io, uint32_t port, uint32_t keep, uint32_t mask, uint32_t value) {
  ASMS3set(io, port, keep, mask, value);
}

void ASMS5set(PortIo& io, uint32_t base, uint32_t offset, uint32_t keep, uint32_t mask,
              uint32_t value) {
  const uint16_t port = Port(base + offset);
  const uint32_t old = io.inw(port);
  io.outw(port, static_cast<uint16_t>((old & keep) | (value & mask)));
}

// Only the low word of the configuration dword is switched; the high word is
// written back as read, whatever the keep mask says.
void ASMS6set(PortIo& io, uint32_t cfgaddr, uint32_t keep, uint32_t mask, uint32_t value) {
  io.outl(kPciConfigAddress, cfgaddr);
  const uint32_t old = io.inl(kPciConfigData);
  const uint32_t low = ((old & keep) | (value & mask)) & kLowWord;
  io.outl(kPciConfigData, (old & ~kLowWord) | low);
  io.outl(kPciConfigAddress, cfgaddr & ~kPciEnableBit);
}

}  // namespace kev
