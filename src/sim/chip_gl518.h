// The Genesys Logic GL518SM and GL520SM (SMBus only): byte registers plus the
// 16-bit registers 07h-0Ch (fan counts and limits), whose first byte on the
// bus is the high byte.
#pragma once

#include <array>

#include "sim/chips.h"
#include "sim/regfile.h"

namespace kev::sim {

class Gl518Model : public MonitorChip {
 public:
  Gl518Model(ChipModelKind kind, const SimClock& clock);

  // Word registers 07h-0Ch peek as bank 0 = high byte, bank 1 = low byte.
  uint8_t peek(int bank, uint8_t index) override;
  void setReg(int bank, uint8_t index, uint8_t value) override;
  // A byte access to a word register reaches its high byte.
  uint8_t hostRead(uint8_t index) override;
  void hostWrite(uint8_t index, uint8_t value) override;
  std::optional<uint16_t> readWord(uint8_t command) override;
  bool smbWriteWord(uint8_t command, uint16_t value) override;

 private:
  static constexpr int kWords = 6;
  void measure();
  bool gl520() const { return kind() == ChipModelKind::Gl520SM; }
  bool isWord(uint8_t index) const;
  uint16_t& word(uint8_t index);

  RegFile regs_;
  std::array<uint16_t, kWords> words_{};
};

}  // namespace kev::sim
