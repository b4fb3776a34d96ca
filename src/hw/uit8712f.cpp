#include "hw/uit8712f.h"

#include <array>

#include "hw/port_sequences.h"
#include "hw/superio.h"

namespace kev {

namespace {

constexpr uint16_t kIndexPort = 0x2E;
constexpr uint16_t kDataPort = 0x2F;
// The key that opens the configuration registers, written to the index port.
constexpr std::array<uint8_t, 4> kEnterKey{0x87, 0x01, 0x55, 0x55};
// Configuration control: bit 1 returns the chip to wait-for-key.
constexpr uint8_t kRegConfigControl = 0x02;
constexpr uint8_t kReturnToWaitForKey = 0x02;

void Out(PortIo& io, uint16_t port, uint32_t value) {
  io.outb(port, static_cast<uint8_t>(value));
  IoDelay(io);
}

void Enter(PortIo& io) {
  for (const uint8_t k : kEnterKey) Out(io, kIndexPort, k);
}

// Leaving takes a write to the configuration-control register: two writes
// to the index port alone would leave the chip open for anyone's next
// write. The final write goes without a delay after it.
void Leave(PortIo& io) {
  Out(io, kIndexPort, kRegConfigControl);
  io.outb(kDataPort, kReturnToWaitForKey);
}

}  // namespace

uint32_t IT8712Fread(PortIo& io, uint32_t reg) {
  return io.run(op::SuperIoRead(SuperIoKind::Ite, kIndexPort, reg));
}

uint32_t IT8712Fread_ldn(PortIo& io, uint32_t ldn, uint32_t reg) {
  return io.run(op::SuperIoRead(SuperIoKind::Ite, kIndexPort, reg, static_cast<uint8_t>(ldn)));
}

void IT8712Fwrite(PortIo& io, uint32_t reg, uint32_t value) {
  io.run(op::SuperIoWrite(SuperIoKind::Ite, kIndexPort, reg, value));
}

namespace seq {

uint32_t IteRead(PortIo& io, uint32_t reg, uint32_t ldn) {
  Enter(io);
  if (ldn != kNoLdn) {
    Out(io, kIndexPort, superio::kRegLdn);
    Out(io, kDataPort, ldn);
  }
  Out(io, kIndexPort, reg);
  const uint32_t v = io.inb(kDataPort);
  IoDelay(io);
  Leave(io);
  return v;
}

void IteWrite(PortIo& io, uint32_t reg, uint32_t value) {
  Enter(io);
  Out(io, kIndexPort, reg);
  Out(io, kDataPort, value);
  Leave(io);
}

}  // namespace seq

}  // namespace kev
