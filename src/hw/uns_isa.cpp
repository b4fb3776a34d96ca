#include "hw/uns_isa.h"

#include "hw/port_sequences.h"

namespace kev {

namespace {

constexpr uint32_t kIndexOffset = 5;
constexpr uint32_t kDataOffset = 6;

uint16_t Port(uint32_t base, uint32_t offset) { return static_cast<uint16_t>(base + offset); }

void TwoDelays(PortIo& io) {
  IoDelay(io);
  IoDelay(io);
}

void Out(PortIo& io, uint16_t port, uint32_t value) {
  io.outb(port, static_cast<uint8_t>(value));
  TwoDelays(io);
}

uint32_t In(PortIo& io, uint16_t port) {
  const uint32_t v = io.inb(port);
  TwoDelays(io);
  return v;
}

}  // namespace

uint32_t NS_ISAcheck(PortIo& io, uint32_t base) { return io.run(op::ChipCheck(base)); }

uint32_t NS_ISAread(PortIo& io, uint32_t base, uint32_t reg) {
  return io.run(op::ChipRead(ChipUnit::Ns, base, reg, 0));
}

void NS_ISAwrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t value) {
  io.run(op::ChipWrite(ChipUnit::Ns, base, reg, 0, value));
}

namespace seq {

uint32_t NsCheck(PortIo& io, uint32_t base) { return In(io, Port(base, kIndexOffset)); }

uint32_t NsRead(PortIo& io, uint32_t base, uint32_t reg) {
  Out(io, Port(base, kIndexOffset), reg);
  return In(io, Port(base, kDataOffset));
}

void NsWrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t value) {
  Out(io, Port(base, kIndexOffset), reg);
  Out(io, Port(base, kDataOffset), value);
}

}  // namespace seq

}  // namespace kev
