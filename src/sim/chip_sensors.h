// The auxiliary SMBus temperature sensors: an LM75-style word sensor and a
// MAX1617-style byte sensor with a local and a remote channel.
#pragma once

#include <array>

#include "sim/chip_common.h"
#include "sim/chips.h"

namespace kev::sim {

// Registers 00h temperature (word), 01h configuration (bit 0 shutdown),
// 02h hysteresis, 03h over-temperature. Peeks: bank 0 high byte, 1 low byte.
class Lm75Model : public MonitorChip, private Lm75Registers {
 public:
  explicit Lm75Model(const SimClock& clock);

  uint8_t peek(int bank, uint8_t index) override;
  void setReg(int bank, uint8_t index, uint8_t value) override;
  uint8_t hostRead(uint8_t index) override;
  void hostWrite(uint8_t index, uint8_t value) override;
  std::optional<uint8_t> smbReadByte(uint8_t command) override;
  bool smbWriteByte(uint8_t command, uint8_t value) override;
  std::optional<uint16_t> readWord(uint8_t command) override;
  bool smbWriteWord(uint8_t command, uint16_t value) override;

 private:
  bool answering() const override { return !vanished(); }
  uint16_t word(int reg) override;
  void setWord(int reg, uint16_t value) override;
  uint8_t config() override { return config_; }
  void setConfig(uint8_t value) override {
    word(0);  // shutting down keeps the last conversion
    config_ = value;
  }

  std::array<uint16_t, 4> words_{};
  uint8_t config_ = 0;
};

// Read addresses 00h-08h and write addresses 09h-0Fh for the same registers;
// FEh manufacturer ID 4Dh, FFh device ID.
class Max1617Model : public MonitorChip {
 public:
  explicit Max1617Model(const SimClock& clock);

  uint8_t peek(int bank, uint8_t index) override;
  void setReg(int bank, uint8_t index, uint8_t value) override;
  uint8_t hostRead(uint8_t index) override;
  void hostWrite(uint8_t index, uint8_t value) override;

 private:
  void measure(bool oneShot);
  uint8_t status() const;

  uint8_t local_ = 0;
  uint8_t remote_ = 0;
  uint8_t config_ = 0;
  uint8_t rate_ = 0;
  std::array<uint8_t, 4> limits_{};  // local high, local low, remote high, remote low
};

}  // namespace kev::sim
