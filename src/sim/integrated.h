// Hardware monitors built into south bridges: the SiS 5595's LM78-style
// block behind an index/data pair, and the VIA VT82C686A/B / VT8231 monitor
// whose registers sit straight in I/O space.
#pragma once

#include <array>
#include <cstdint>

#include "sim/hwmon_inputs.h"
#include "sim/machine.h"
#include "sim/pci.h"
#include "sim/register_image.h"

namespace kev::sim {

// SiS 5595 monitor at base + 5 (index) / base + 6 (data).
// Inputs: fans 0-1 (28h, 29h), temp 0 (24h), volts 0-3 (20h-23h, 16 mV).
class Sis5595Monitor : public IoDevice, public HwmonInputs {
 public:
  Sis5595Monitor(SimMachine& m, uint16_t base);
  ~Sis5595Monitor() override;
  uint16_t base() const { return base_; }
  // Peek with measured registers brought up to date; poke stores as is.
  uint8_t reg(uint8_t index);
  void setReg(uint8_t index, uint8_t v) { regs_[index & 0x7F] = v; }
  RegisterImage& image() { return image_; }

  uint8_t ioRead8(uint16_t port) override;
  void ioWrite8(uint16_t port, uint8_t value) override;

 private:
  uint8_t measured(uint8_t index) const;
  SimMachine& machine_;
  uint16_t base_;
  std::array<uint8_t, 0x80> regs_{};
  RegisterImage image_;
  uint8_t index_ = 0;
  int unsettledTempReads_ = 0;
};

// VIA monitor: 128 registers at the base in PCI register 70h of the PM
// function, decoded while bit 0 of register 74h is set; both follow
// configuration writes. Inputs: fans 0-1 (29h, 2Ah), temps 0-1 (20h, 21h,
// thermistor code), volts 0-4 (22h-26h; volts at the pin convert with the
// part's ADC, whose code wraps past 255 near 3.1 V).
class ViaMonitor : public IoDevice, public HwmonInputs {
 public:
  ViaMonitor(SimMachine& m, PciFunction& pm);
  ~ViaMonitor() override;
  // The decoded base, or 0 while the monitor is switched off.
  uint16_t base() const { return base_; }
  uint8_t reg(uint8_t index);
  void setReg(uint8_t index, uint8_t v) { regs_[index & 0x7F] = v; }
  RegisterImage& image() { return image_; }

  uint8_t ioRead8(uint16_t port) override;
  void ioWrite8(uint16_t port, uint8_t value) override;

  // The thermistor code the part shows for a temperature.
  static uint8_t TempCode(double celsius);
  // The ADC code for volts at a pin, before the 8-bit register wraps.
  static int VoltCode(double volts);

 private:
  void place();
  uint8_t measured(uint8_t index) const;
  SimMachine& machine_;
  PciFunction& pm_;
  uint16_t base_ = 0;
  std::array<uint8_t, 0x80> regs_{};
  RegisterImage image_;
};

}  // namespace kev::sim
