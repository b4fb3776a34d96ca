#include "sim/machine.h"

#include <cstdio>

namespace kev::sim {

uint16_t IoDevice::ioRead16(uint16_t port) {
  const uint16_t lo = ioRead8(port);
  const uint16_t hi = ioRead8(static_cast<uint16_t>(port + 1));
  return static_cast<uint16_t>(lo | (hi << 8));
}

void IoDevice::ioWrite16(uint16_t port, uint16_t value) {
  ioWrite8(port, static_cast<uint8_t>(value));
  ioWrite8(static_cast<uint16_t>(port + 1), static_cast<uint8_t>(value >> 8));
}

uint32_t IoDevice::ioRead32(uint16_t port) {
  const uint32_t lo = ioRead16(port);
  const uint32_t hi = ioRead16(static_cast<uint16_t>(port + 2));
  return lo | (hi << 16);
}

void IoDevice::ioWrite32(uint16_t port, uint32_t value) {
  ioWrite16(port, static_cast<uint16_t>(value));
  ioWrite16(static_cast<uint16_t>(port + 2), static_cast<uint16_t>(value >> 16));
}

std::string ToString(const TraceEntry& e) {
  char buf[48];
  const int digits = e.width * 2;
  std::snprintf(buf, sizeof buf, "%s%u %04Xh %0*Xh", e.dir == TraceEntry::Dir::In ? "in" : "out",
                unsigned{e.width} * 8u, unsigned{e.port}, digits, e.value);
  return buf;
}

SimMachine::SimMachine() : map_(0x10000, nullptr) {}
SimMachine::~SimMachine() = default;

void SimMachine::map(uint16_t first, uint32_t count, IoDevice* dev) {
  for (uint32_t i = 0; i < count && first + i < 0x10000u; ++i) map_[first + i] = dev;
}

void SimMachine::unmap(IoDevice* dev) {
  for (auto& slot : map_)
    if (slot == dev) slot = nullptr;
}

void SimMachine::startTrace(bool includeDelays) {
  tracing_ = true;
  traceDelays_ = includeDelays;
  trace_.clear();
}

void SimMachine::stopTrace() { tracing_ = false; }

void SimMachine::setAccessAllowed(bool allowed, std::string reason) {
  accessAllowed_ = allowed;
  refusal_ = std::move(reason);
}

void SimMachine::record(TraceEntry::Dir dir, uint8_t width, uint16_t port, uint32_t value) {
  ++accesses_;
  if (!tracing_) return;
  if (!traceDelays_ && dir == TraceEntry::Dir::Out && port == kIoDelayPort) return;
  trace_.push_back({dir, width, port, value});
}

// A wide access goes to the device at its first port; ports nobody decodes
// float high, so each missing byte lane reads FFh.
uint8_t SimMachine::inb(uint16_t port) {
  IoDevice* d = at(port);
  const uint8_t v = d ? d->ioRead8(port) : 0xFF;
  record(TraceEntry::Dir::In, 1, port, v);
  return v;
}

uint16_t SimMachine::inw(uint16_t port) {
  IoDevice* d = at(port);
  uint16_t v = 0xFFFF;
  if (d && at(static_cast<uint16_t>(port + 1)) == d) {
    v = d->ioRead16(port);
  } else {
    IoDevice* d1 = at(static_cast<uint16_t>(port + 1));
    const uint16_t lo = d ? d->ioRead8(port) : 0xFF;
    const uint16_t hi = d1 ? d1->ioRead8(static_cast<uint16_t>(port + 1)) : 0xFF;
    v = static_cast<uint16_t>(lo | (hi << 8));
  }
  record(TraceEntry::Dir::In, 2, port, v);
  return v;
}

uint32_t SimMachine::inl(uint16_t port) {
  IoDevice* d = at(port);
  uint32_t v = 0xFFFFFFFFu;
  if (d && at(static_cast<uint16_t>(port + 3)) == d) {
    v = d->ioRead32(port);
  } else {
    v = 0;
    for (int i = 0; i < 4; ++i) {
      const uint16_t p = static_cast<uint16_t>(port + i);
      IoDevice* di = at(p);
      const uint32_t b = di ? di->ioRead8(p) : 0xFF;
      v |= b << (8 * i);
    }
  }
  record(TraceEntry::Dir::In, 4, port, v);
  return v;
}

void SimMachine::outb(uint16_t port, uint8_t value) {
  record(TraceEntry::Dir::Out, 1, port, value);
  if (IoDevice* d = at(port)) d->ioWrite8(port, value);
}

void SimMachine::outw(uint16_t port, uint16_t value) {
  record(TraceEntry::Dir::Out, 2, port, value);
  IoDevice* d = at(port);
  if (d && at(static_cast<uint16_t>(port + 1)) == d) {
    d->ioWrite16(port, value);
    return;
  }
  if (d) d->ioWrite8(port, static_cast<uint8_t>(value));
  if (IoDevice* d1 = at(static_cast<uint16_t>(port + 1)))
    d1->ioWrite8(static_cast<uint16_t>(port + 1), static_cast<uint8_t>(value >> 8));
}

void SimMachine::outl(uint16_t port, uint32_t value) {
  record(TraceEntry::Dir::Out, 4, port, value);
  IoDevice* d = at(port);
  if (d && at(static_cast<uint16_t>(port + 3)) == d) {
    d->ioWrite32(port, value);
    return;
  }
  for (int i = 0; i < 4; ++i) {
    const uint16_t p = static_cast<uint16_t>(port + i);
    if (IoDevice* di = at(p)) di->ioWrite8(p, static_cast<uint8_t>(value >> (8 * i)));
  }
}

}  // namespace kev::sim
