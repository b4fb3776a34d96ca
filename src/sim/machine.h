// The simulated machine: a 64 KiB port space into which device models plug.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hw/portio.h"

namespace kev::sim {

// Simulated time in milliseconds; tests advance it, physical inputs follow it.
class SimClock {
 public:
  uint64_t nowMs() const { return now_; }
  void advanceMs(uint64_t ms) { now_ += ms; }
  void setMs(uint64_t ms) { now_ = ms; }

 private:
  uint64_t now_ = 0;
};

// A device that answers on a range of ports. Accesses arrive byte by byte,
// in ascending port order, as a 16- or 32-bit access decomposes on the bus;
// a device that needs the whole access overrides the wide handlers.
class IoDevice {
 public:
  virtual ~IoDevice() = default;
  virtual uint8_t ioRead8(uint16_t port) = 0;
  virtual void ioWrite8(uint16_t port, uint8_t value) = 0;
  virtual uint16_t ioRead16(uint16_t port);
  virtual void ioWrite16(uint16_t port, uint16_t value);
  virtual uint32_t ioRead32(uint16_t port);
  virtual void ioWrite32(uint16_t port, uint32_t value);
};

struct TraceEntry {
  enum class Dir : uint8_t { In, Out };
  Dir dir;
  uint8_t width;  // 1, 2 or 4 bytes
  uint16_t port;
  uint32_t value;
  bool operator==(const TraceEntry&) const = default;
};

std::string ToString(const TraceEntry& e);

class SimMachine : public PortIo {
 public:
  SimMachine();
  ~SimMachine() override;
  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;

  // Ports [first, first + count) answer through dev. Later mappings win over
  // earlier ones where they overlap. The machine does not own dev.
  void map(uint16_t first, uint32_t count, IoDevice* dev);
  void unmap(IoDevice* dev);
  // Keeps a device alive for the machine's life.
  template <class T, class... Args>
  T& own(Args&&... args) {
    auto p = std::make_unique<T>(std::forward<Args>(args)...);
    T& ref = *p;
    owned_.push_back(std::move(p));
    return ref;
  }

  SimClock& clock() { return clock_; }
  const SimClock& clock() const { return clock_; }

  // Access trace: off by default; the I/O-delay writes to EBh can be left out.
  void startTrace(bool includeDelays = false);
  void stopTrace();
  const std::vector<TraceEntry>& trace() const { return trace_; }
  void clearTrace() { trace_.clear(); }
  uint64_t accessCount() const { return accesses_; }
  void resetAccessCount() { accesses_ = 0; }

  // Port permission as the real backend would report it.
  void setAccessAllowed(bool allowed, std::string reason = {});

  uint8_t inb(uint16_t port) override;
  uint16_t inw(uint16_t port) override;
  uint32_t inl(uint16_t port) override;
  void outb(uint16_t port, uint8_t value) override;
  void outw(uint16_t port, uint16_t value) override;
  void outl(uint16_t port, uint32_t value) override;
  bool requestAccess() override { return accessAllowed_; }
  std::string refusalReason() const override { return refusal_; }

 private:
  IoDevice* at(uint16_t port) const { return map_[port]; }
  void record(TraceEntry::Dir dir, uint8_t width, uint16_t port, uint32_t value);

  std::vector<IoDevice*> map_;
  std::vector<std::unique_ptr<IoDevice>> owned_;
  SimClock clock_;
  std::vector<TraceEntry> trace_;
  bool tracing_ = false;
  bool traceDelays_ = false;
  uint64_t accesses_ = 0;
  bool accessAllowed_ = true;
  std::string refusal_;
};

}  // namespace kev::sim
