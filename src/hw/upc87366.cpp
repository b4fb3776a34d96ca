#include "hw/upc87366.h"

#include "hw/port_sequences.h"
#include "hw/superio.h"

namespace kev {

namespace {

constexpr uint32_t kOffsetMask = kPc87366BlockLast;
// Voltage and temperature modules: offset 09h selects the channel whose
// registers appear at 0Ah-0Fh.
constexpr uint32_t kChannelSelect = 0x09;

uint16_t BlockPort(uint32_t base, uint32_t reg) {
  return static_cast<uint16_t>((base & kPc87366BlockMask) | (reg & kOffsetMask));
}

void Out(PortIo& io, uint32_t port, uint32_t value) {
  io.outb(static_cast<uint16_t>(port), static_cast<uint8_t>(value));
  IoDelay(io);
}

uint32_t In(PortIo& io, uint32_t port) {
  const uint32_t v = io.inb(static_cast<uint16_t>(port));
  IoDelay(io);
  return v;
}

void SelectChannel(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank) {
  if ((reg & kOffsetMask) > kChannelSelect) Out(io, BlockPort(base, kChannelSelect), bank);
}

}  // namespace

uint32_t PC87366rd_scr(PortIo& io, uint32_t port, uint32_t reg) {
  return io.run(op::SuperIoRead(SuperIoKind::Pc87366, port, reg));
}

uint32_t PC87366rd_ldn(PortIo& io, uint32_t port, uint32_t ldn, uint32_t reg) {
  return io.run(op::SuperIoRead(SuperIoKind::Pc87366, port, reg, static_cast<uint8_t>(ldn)));
}

void PC87366wt_scr(PortIo& io, uint32_t port, uint32_t reg, uint32_t value) {
  io.run(op::SuperIoWrite(SuperIoKind::Pc87366, port, reg, value));
}

uint32_t PC87366rd_bad(PortIo& io, uint32_t port, uint32_t ldn) {
  return io.run(op::SuperIoBase(port, ldn));
}

uint32_t PC87366rd_fsm(PortIo& io, uint32_t base, uint32_t reg) {
  return io.run(op::ChipRead(ChipUnit::Fsm, base, reg, 0));
}

void PC87366wt_fsm(PortIo& io, uint32_t base, uint32_t reg, uint32_t value) {
  io.run(op::ChipWrite(ChipUnit::Fsm, base, reg, 0, value));
}

uint32_t PC87366rd_vlm(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank) {
  return io.run(op::ChipRead(ChipUnit::Vlm, base, reg, bank));
}

void PC87366wt_vlm(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value) {
  io.run(op::ChipWrite(ChipUnit::Vlm, base, reg, bank, value));
}

uint32_t PC87366rd_tms(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank) {
  return io.run(op::ChipRead(ChipUnit::Tms, base, reg, bank));
}

void PC87366wt_tms(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value) {
  io.run(op::ChipWrite(ChipUnit::Tms, base, reg, bank, value));
}

namespace seq {

uint32_t ScrRead(PortIo& io, uint32_t port, uint32_t reg) {
  Out(io, port, reg);
  return In(io, port + 1);
}

void ScrWrite(PortIo& io, uint32_t port, uint32_t reg, uint32_t value) {
  Out(io, port, reg);
  Out(io, port + 1, value);
}

uint32_t PcBase(PortIo& io, uint32_t port, uint32_t ldn) {
  ScrWrite(io, port, superio::kRegLdn, ldn);
  const uint32_t high = ScrRead(io, port, superio::kRegBaseHigh);
  const uint32_t low = ScrRead(io, port, superio::kRegBaseLow);
  return (high << 8) | low;
}

uint32_t FsmRead(PortIo& io, uint32_t base, uint32_t reg) { return In(io, BlockPort(base, reg)); }

void FsmWrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t value) {
  Out(io, BlockPort(base, reg), value);
}

// The temperature module is banked like the voltage module.
uint32_t VlmRead(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank) {
  SelectChannel(io, base, reg, bank);
  return In(io, BlockPort(base, reg));
}

void VlmWrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value) {
  SelectChannel(io, base, reg, bank);
  Out(io, BlockPort(base, reg), value);
}

}  // namespace seq

}  // namespace kev
