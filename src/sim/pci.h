// PCI configuration mechanism #1 host and the configuration space of a function.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>

#include "sim/machine.h"

namespace kev::sim {

// One PCI function's 256 bytes of configuration space. Bytes not marked
// writable are read-only; hooks let a device model react to writes.
class PciFunction {
 public:
  PciFunction(uint16_t vendor, uint16_t device, uint8_t revision);
  virtual ~PciFunction() = default;

  // A hidden function reads as an empty slot (all ones) and ignores writes.
  bool hidden() const { return hidden_; }
  void setHidden(bool h) { hidden_ = h; }

  virtual uint8_t readByte(uint8_t offset) const { return cfg_[offset]; }
  // A configuration write from the bus: honours the writable mask.
  virtual void writeByte(uint8_t offset, uint8_t value);

  // Set-up access for models and boards (ignores the mask).
  void set8(uint8_t offset, uint8_t v) { cfg_[offset] = v; }
  void set16(uint8_t offset, uint16_t v);
  void set32(uint8_t offset, uint32_t v);
  uint8_t get8(uint8_t offset) const { return cfg_[offset]; }
  uint16_t get16(uint8_t offset) const;
  uint32_t get32(uint8_t offset) const;
  void setWritable(uint8_t offset, uint8_t mask) { writable_[offset] = mask; }
  void setWritableRange(uint8_t first, uint8_t last, uint8_t mask = 0xFF);
  // Called after every bus write to offset, with the stored byte before and
  // after (equal when the write changed nothing).
  void onWrite(std::function<void(uint8_t offset, uint8_t oldValue, uint8_t newValue)> fn) {
    hook_ = std::move(fn);
  }

 private:
  std::array<uint8_t, 256> cfg_{};
  std::array<uint8_t, 256> writable_{};
  bool hidden_ = false;
  std::function<void(uint8_t, uint8_t, uint8_t)> hook_;
};

// The CF8h/CFCh host: address latch with enable bit 31, data window CFCh-CFFh
// with byte, word and dword lanes. Functions are attached by location.
class PciHost : public IoDevice {
 public:
  explicit PciHost(SimMachine& m);
  ~PciHost() override;
  PciHost(const PciHost&) = delete;
  PciHost& operator=(const PciHost&) = delete;
  void attach(uint8_t bus, uint8_t device, uint8_t function, PciFunction* fn);
  PciFunction* find(uint8_t bus, uint8_t device, uint8_t function) const;
  // Every attached function by location (bus << 8 | device << 3 | function).
  const std::map<uint32_t, PciFunction*>& functions() const { return functions_; }
  uint32_t address() const { return address_; }

  uint8_t ioRead8(uint16_t port) override;
  void ioWrite8(uint16_t port, uint8_t value) override;
  uint16_t ioRead16(uint16_t port) override;
  void ioWrite16(uint16_t port, uint16_t value) override;
  uint32_t ioRead32(uint16_t port) override;
  void ioWrite32(uint16_t port, uint32_t value) override;

 private:
  PciFunction* selected() const;
  SimMachine& machine_;
  std::map<uint32_t, PciFunction*> functions_;  // key: bus << 8 | device << 3 | function
  uint32_t address_ = 0;
};

}  // namespace kev::sim
