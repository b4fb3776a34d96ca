#include "hw/uportio.h"

namespace kev {

namespace {

constexpr uint32_t kPortMask = 0xFFFF;

uint16_t Port(uint32_t port) { return static_cast<uint16_t>(port & kPortMask); }

void TwoDelays(PortIo& io) {
  IoDelay(io);
  IoDelay(io);
}

}  // namespace

uint32_t PIObt_inp(PortIo& io, uint32_t port) {
  const uint32_t v = io.inb(Port(port));
  TwoDelays(io);
  return v;
}

uint32_t PIOwd_inp(PortIo& io, uint32_t port) {
  const uint32_t v = io.inw(Port(port));
  TwoDelays(io);
  return v;
}

void PIObt_outp(PortIo& io, uint32_t port, uint32_t value) {
  io.outb(Port(port), static_cast<uint8_t>(value));
  TwoDelays(io);
}

void PIOwd_outp(PortIo& io, uint32_t port, uint32_t value) {
  io.outw(Port(port), static_cast<uint16_t>(value));
  TwoDelays(io);
}

}  // namespace kev
