#include "hw/uit8712f.h"

#include <array>

namespace kev {

namespace {

constexpr uint16_t kIndexPort = 0x2E;
constexpr uint16_t kDataPort = 0x2F;
// The key that opens the configuration registers, written to the index port.
constexpr std::array<uint8_t, 4> kEnterKey{0x87, 0x01, 0x55, 0x55};
constexpr uint8_t kLeaveValue = 0x02;

void Out(PortIo& io, uint16_t port, uint32_t value) {
  io.outb(port, static_cast<uint8_t>(value));
  IoDelay(io);
}

void Enter(PortIo& io) {
  for (const uint8_t k : kEnterKey) Out(io, kIndexPort, k);
}

// The final write of the sequence goes without a delay after it.
void Leave(PortIo& io) {
  Out(io, kIndexPort, kLeaveValue);
  io.outb(kIndexPort, kLeaveValue);
}

}  // namespace

uint32_t IT8712Fread(PortIo& io, uint32_t reg) {
  Enter(io);
  Out(io, kIndexPort, reg);
  const uint32_t v = io.inb(kDataPort);
  IoDelay(io);
  Leave(io);
  return v;
}

void IT8712Fwrite(PortIo& io, uint32_t reg, uint32_t value) {
  Enter(io);
  Out(io, kIndexPort, reg);
  Out(io, kDataPort, value);
  Leave(io);
}

}  // namespace kev
