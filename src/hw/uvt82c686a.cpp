#include "hw/uvt82c686a.h"

namespace kev {

namespace {
uint16_t Port(uint32_t base, uint32_t reg) { return static_cast<uint16_t>(base + reg); }
}  // namespace

// The monitor's registers are plain I/O ports: no index, no delays.
uint32_t VT82C686Aread(PortIo& io, uint32_t base, uint32_t reg) { return io.inb(Port(base, reg)); }

void VT82C686Awrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t value) {
  io.outb(Port(base, reg), static_cast<uint8_t>(value));
}

}  // namespace kev
