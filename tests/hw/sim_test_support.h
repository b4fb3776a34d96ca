// Small devices and trace helpers for tests against the simulated machine.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/machine.h"
#include "sim/smbus.h"

namespace kev::test {

// A register file on the SMBus. Word transfers move two consecutive
// registers, the addressed one first on the bus.
class RegisterSlave : public sim::SmbusSlave {
 public:
  std::array<uint8_t, 256> regs{};

  std::optional<uint8_t> smbReadByte(uint8_t command) override { return regs[command]; }
  bool smbWriteByte(uint8_t command, uint8_t value) override {
    regs[command] = value;
    return true;
  }
  std::optional<uint16_t> smbReadWord(uint8_t command) override {
    return static_cast<uint16_t>((regs[command] << 8) | regs[(command + 1) & 0xFF]);
  }
  bool smbWriteWord(uint8_t command, uint16_t value) override {
    regs[command] = static_cast<uint8_t>(value >> 8);
    regs[(command + 1) & 0xFF] = static_cast<uint8_t>(value);
    return true;
  }
};

// One latch per port: reads return what was last written.
class PortRam : public sim::IoDevice {
 public:
  PortRam(sim::SimMachine& m, uint16_t first, uint16_t count) : first_(first), bytes_(count, 0) {
    m.map(first, count, this);
  }
  uint8_t& at(uint16_t port) { return bytes_[port - first_]; }
  uint8_t ioRead8(uint16_t port) override { return at(port); }
  void ioWrite8(uint16_t port, uint8_t value) override { at(port) = value; }

 private:
  uint16_t first_;
  std::vector<uint8_t> bytes_;
};

// An index port and the data port after it, over 256 registers.
class IndexPair : public sim::IoDevice {
 public:
  IndexPair(sim::SimMachine& m, uint16_t indexPort) : index_(indexPort) {
    m.map(indexPort, 2, this);
  }
  std::array<uint8_t, 256> regs{};
  uint8_t ioRead8(uint16_t port) override { return port == index_ ? sel_ : regs[sel_]; }
  void ioWrite8(uint16_t port, uint8_t value) override {
    if (port == index_)
      sel_ = value;
    else
      regs[sel_] = value;
  }

 private:
  uint16_t index_;
  uint8_t sel_ = 0;
};

inline std::vector<std::string> Trace(const sim::SimMachine& m) {
  std::vector<std::string> out;
  for (const auto& e : m.trace()) out.push_back(sim::ToString(e));
  return out;
}

// For a trace taken with delays: how many I/O-delay writes follow each access.
inline std::vector<int> DelaysAfterEach(const sim::SimMachine& m, uint16_t delayPort = 0xEB) {
  std::vector<int> out;
  for (const auto& e : m.trace()) {
    const bool delay = e.dir == sim::TraceEntry::Dir::Out && e.port == delayPort;
    if (!delay)
      out.push_back(0);
    else if (!out.empty())
      ++out.back();
  }
  return out;
}

}  // namespace kev::test
