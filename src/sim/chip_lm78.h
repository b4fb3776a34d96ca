// The National Semiconductor LM78 register set and the parts built on it:
// LM78, LM78-J, LM79 (ISA and SMBus), LM81 and LM87 (SMBus).
#pragma once

#include "sim/chips.h"
#include "sim/regfile.h"

namespace kev::sim {

// Shared by the LM78 family and the Winbond parts: value RAM 20h-3Fh,
// configuration 40h (bit 0 start, bit 7 initialization), status 41h/42h,
// masks 43h-46h, fan divisor and VID 47h.
class LmStyleChip : public MonitorChip {
 public:
  using MonitorChip::MonitorChip;

  uint8_t peek(int bank, uint8_t index) override;
  void setReg(int bank, uint8_t index, uint8_t value) override;
  uint8_t hostRead(uint8_t index) override;
  void hostWrite(uint8_t index, uint8_t value) override;

 protected:
  static constexpr uint8_t kRegIn0 = 0x20;
  static constexpr uint8_t kRegTemp = 0x27;
  static constexpr uint8_t kRegFan1 = 0x28;
  static constexpr uint8_t kRegFan3 = 0x2A;
  static constexpr uint8_t kRegLimitFirst = 0x2B;
  static constexpr uint8_t kRegLimitLast = 0x3F;
  static constexpr uint8_t kRegConfig = 0x40;
  static constexpr uint8_t kRegStatus1 = 0x41;
  static constexpr uint8_t kRegStatus2 = 0x42;
  static constexpr uint8_t kRegMaskFirst = 0x43;
  static constexpr uint8_t kRegMaskLast = 0x46;
  static constexpr uint8_t kRegFanDiv = 0x47;
  static constexpr uint8_t kRegSerialAddr = 0x48;
  static constexpr uint8_t kConfigStart = 0x01;
  static constexpr uint8_t kConfigInit = 0x80;
  static constexpr double kFanClockHz = 22500;
  static constexpr double kVoltStep = 0.016;

  virtual RegFile& file(int /*bank*/, uint8_t /*index*/) { return regs_; }
  // Brings the measured registers up to date with the inputs.
  virtual void measure() = 0;
  virtual void afterWrite(uint8_t /*index*/) {}
  // The initialization bit: configuration, status, masks and divisors go back
  // to their power-on values; limits and the serial address stay.
  virtual void initialize();

  bool running() const { return (regs_.get(kRegConfig) & kConfigStart) != 0; }
  // Divisor of the 2-bit field at bit position shift of register 47h.
  int fanDivisor(int shift) const { return 1 << ((regs_.get(kRegFanDiv) >> shift) & 3); }
  // The BIOS has started monitoring before anything else runs.
  void startAsBios() { regs_.set(kRegConfig, regs_.get(kRegConfig) | kConfigStart); }
  // The part's register 48h names its own SMBus address.
  void followSerialAddress(uint8_t index);
  // Declares the LM78 core: measured 20h-2Ah, limits, configuration with its
  // power-on value, status, masks, divisors and, when serial, register 48h.
  void defineCore(uint8_t configPowerOn, bool serial);

  RegFile regs_;
};

class Lm78Model : public LmStyleChip {
 public:
  Lm78Model(ChipModelKind kind, const SimClock& clock);

 protected:
  void measure() override;
  void afterWrite(uint8_t index) override { followSerialAddress(index); }
};

// LM81 and LM87: LM78-style configuration, company ID 3Eh, inputs scaled to
// their nominal rails, two fans, and the registers each part adds around the
// LM78 set (LM87: hardware temperature limits 13h-18h with their lock bits in
// 4Ah, DAC 19h, status mirrors 4Ch/4Dh, SMBALERT# enable 80h; LM81: DAC 19h,
// address register 48h showing its A1/A0 pins, mode registers 4Bh-4Dh).
class Lm87Model : public LmStyleChip {
 public:
  Lm87Model(ChipModelKind kind, const SimClock& clock);

  void hostWrite(uint8_t index, uint8_t value) override;

 protected:
  void measure() override;
  void onSmbusPlaced() override;

 private:
  bool lm87() const { return kind() == ChipModelKind::Lm87; }
};

}  // namespace kev::sim
