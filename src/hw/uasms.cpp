#include "hw/uasms.h"

#include <algorithm>
#include <array>

#include "hw/port_sequences.h"
#include "hw/superio.h"
#include "hw/upcicfg.h"

namespace kev {

namespace {

// The switch lines of the first two helpers sit at bits 4-3.
constexpr int kSwitchShift = 3;

constexpr uint8_t kWinbondConfigKey = 0x87;
constexpr uint8_t kWinbondExitKey = 0xAA;
constexpr uint8_t kLdnGpio = 0x08;
constexpr uint8_t kRegGpioData = 0xF1;
// Chip IDs (register 20h) of the Winbond Super-I/Os whose GPIO port 1 holds
// the switch; on any other chip the sequence writes nothing.
constexpr std::array<uint8_t, 8> kWinbondChipIds{0x52, 0x60, 0x68, 0x70, 0x82, 0x85, 0x88, 0x97};

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
  io.run(op::BoardSwitch(SwitchKind::Asms1, port, keep, mask, value, 0));
}

void ASMS2set(PortIo& io, uint32_t cfgport, uint32_t keep, uint32_t mask, uint32_t value) {
  io.run(op::BoardSwitch(SwitchKind::Asms2, cfgport, keep, mask, value, 0));
}

void ASMS3set(PortIo& io, uint32_t port, uint32_t keep, uint32_t mask, uint32_t value) {
  io.run(op::BoardSwitch(SwitchKind::Asms3, port, keep, mask, value, 0));
}

void ASMS4set(PortIo& io, uint32_t port, uint32_t keep, uint32_t mask, uint32_t value) {
  io.run(op::BoardSwitch(SwitchKind::Asms4, port, keep, mask, value, 0));
}

void ASMS5set(PortIo& io, uint32_t base, uint32_t offset, uint32_t keep, uint32_t mask,
              uint32_t value) {
  io.run(op::BoardSwitch(SwitchKind::Asms5, offset, keep, mask, value, base));
}

void ASMS6set(PortIo& io, uint32_t cfgaddr, uint32_t keep, uint32_t mask, uint32_t value) {
  io.run(op::BoardSwitch(SwitchKind::Asms6, cfgaddr, keep, mask, value, 0));
}

namespace seq {

void Asms1(PortIo& io, uint32_t port, uint32_t keep, uint32_t mask, uint32_t value) {
  ByteRmw(io, port, keep, (value & mask) << kSwitchShift);
}

// The exit key closes the configuration space again, so that no later
// write to the index port lands in a configuration register.
void Asms2(PortIo& io, uint32_t cfgport, uint32_t keep, uint32_t mask, uint32_t value) {
  io.outb(Port(cfgport), kWinbondConfigKey);
  io.outb(Port(cfgport), kWinbondConfigKey);
  io.outb(Port(cfgport), superio::kRegChipId);
  const auto id = static_cast<uint8_t>(io.inb(Port(cfgport + 1)));
  if (std::find(kWinbondChipIds.begin(), kWinbondChipIds.end(), id) == kWinbondChipIds.end()) {
    io.outb(Port(cfgport), kWinbondExitKey);
    return;
  }
  WriteConfigReg(io, cfgport, superio::kRegLdn, kLdnGpio);
  io.outb(Port(cfgport), kRegGpioData);
  const uint32_t old = io.inb(Port(cfgport + 1));
  WriteConfigReg(io, cfgport, kRegGpioData, (old & keep) | ((value & mask) << kSwitchShift));
  io.outb(Port(cfgport), kWinbondExitKey);
}

void Asms3(PortIo& io, uint32_t port, uint32_t keep, uint32_t mask, uint32_t value) {
  ByteRmw(io, port, keep, value & mask);
}

void Asms5(PortIo& io, uint32_t base, uint32_t offset, uint32_t keep, uint32_t mask,
           uint32_t value) {
  const uint16_t port = Port(base + offset);
  const uint32_t old = io.inw(port);
  io.outw(port, static_cast<uint16_t>((old & keep) | (value & mask)));
}

// Only the low word of the configuration dword is switched; the high word is
// written back as read, whatever the keep mask says.
void Asms6(PortIo& io, uint32_t cfgaddr, uint32_t keep, uint32_t mask, uint32_t value) {
  io.outl(kPciConfigAddress, cfgaddr);
  const uint32_t old = io.inl(kPciConfigData);
  const uint32_t low = ((old & keep) | (value & mask)) & kLowWord;
  io.outl(kPciConfigData, (old & ~kLowWord) | low);
  io.outl(kPciConfigAddress, cfgaddr & ~kPciEnableBit);
}

}  // namespace seq

}  // namespace kev
