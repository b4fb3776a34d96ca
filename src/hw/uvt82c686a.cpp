#include "hw/uvt82c686a.h"

#include "hw/port_sequences.h"

namespace kev {

namespace {
uint16_t Port(uint32_t base, uint32_t reg) { return static_cast<uint16_t>(base + reg); }
}  // namespace

uint32_t VT82C686Aread(PortIo& io, uint32_t base, uint32_t reg) {
  return io.run(op::ChipRead(ChipUnit::Via, base, reg, 0));
}

void VT82C686Awrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t value) {
  io.run(op::ChipWrite(ChipUnit::Via, base, reg, 0, value));
}

// The monitor's registers are plain I/O ports: no index, no delays.
uint32_t seq::ViaRead(PortIo& io, uint32_t base, uint32_t reg) { return io.inb(Port(base, reg)); }

void seq::ViaWrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t value) {
  io.outb(Port(base, reg), static_cast<uint8_t>(value));
}

}  // namespace kev
