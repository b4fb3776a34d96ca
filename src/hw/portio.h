// The one seam through which the program touches hardware: x86 port I/O.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "hw/hw_op.h"

namespace kev {

// One SMBus byte or word transfer as the host controller runs it.
struct SmbusTransfer {
  bool read = true;
  bool word = false;
  uint8_t slave = 0;
  uint8_t command = 0;
  uint16_t data = 0;  // written; a word's first byte on the bus in bits 15-8
};

// An SMBus whose host someone else drives (the kernel's adapter driver):
// transfers go to it whole.
class SmbusAdapter {
 public:
  virtual ~SmbusAdapter() = default;
  // As the host protocols give it: the byte, the word (first byte on the bus
  // in bits 15-8), 0 for a write that went through; -1 when it failed.
  virtual int32_t transfer(const SmbusTransfer& t) = 0;
};

// Byte, word and dword IN/OUT at a 16-bit port, plus the question whether
// this process may do port I/O at all. Reads of a port where nothing answers
// return all ones of the access width, as the bus does.
class PortIo {
 public:
  virtual ~PortIo() = default;

  virtual uint8_t inb(uint16_t port) = 0;
  virtual uint16_t inw(uint16_t port) = 0;
  virtual uint32_t inl(uint16_t port) = 0;
  virtual void outb(uint16_t port, uint8_t value) = 0;
  virtual void outw(uint16_t port, uint16_t value) = 0;
  virtual void outl(uint16_t port, uint32_t value) = 0;

  // Asks for port access; true when it is granted. On refusal,
  // refusalReason() says why in words a user can act on.
  virtual bool requestAccess() = 0;
  virtual std::string refusalReason() const { return {}; }

  // Runs whole operations in order, one result each (0 for a write). The
  // port backends keep the default: each op port by port on this object.
  virtual void runOps(std::span<const HwOp> ops, std::span<uint32_t> results);
  uint32_t run(const HwOp& op) {
    uint32_t result = 0;
    runOps({&op, 1}, {&result, 1});
    return result;
  }

  // Marks a stretch of ops that belongs together (one sampling tick, one
  // probe), named by label; a backend that pays per request may gather them.
  virtual void beginBatch(uint32_t /*label*/) {}
  virtual void endBatch() {}

  // Whether SMBus transfers go through the kernel's adapter driver rather
  // than the host's ports.
  virtual bool smbusThroughKernel() const { return false; }
};

// A backend that speaks in whole operations only (the port helper's
// client): single port accesses read all ones and write nothing.
class OpsOnlyPorts : public PortIo {
 public:
  uint8_t inb(uint16_t) override { return 0xFF; }
  uint16_t inw(uint16_t) override { return 0xFFFF; }
  uint32_t inl(uint16_t) override { return 0xFFFFFFFFu; }
  void outb(uint16_t, uint8_t) override {}
  void outw(uint16_t, uint16_t) override {}
  void outl(uint16_t, uint32_t) override {}
};

// Ports below this belong to the system board (DMA and interrupt
// controllers, timer, Super-I/O configuration); no device block sits there,
// and a base register that reads lower was never programmed.
inline constexpr uint32_t kFirstDevicePort = 0x100;
inline constexpr uint32_t kLastPort = 0xFFFF;

// Port that the I/O delays write to; nothing ever reads it.
inline constexpr uint16_t kIoDelayPort = 0xEB;

inline void IoDelay(PortIo& io) { io.outb(kIoDelayPort, 0); }

}  // namespace kev
