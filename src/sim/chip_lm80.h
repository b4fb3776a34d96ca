// The National Semiconductor LM80 (SMBus only). Its register address has six
// bits: 40h-7Fh, 80h-BFh and C0h-FFh read and write 00h-3Fh again, the
// reserved registers (07h-1Fh, 3Eh, 3Fh) included; those read 00h unless a
// board file gives the values a real part holds.
#pragma once

#include "sim/chips.h"
#include "sim/regfile.h"

namespace kev::sim {

class Lm80Model : public MonitorChip {
 public:
  explicit Lm80Model(const SimClock& clock);

  uint8_t peek(int bank, uint8_t index) override;
  void setReg(int bank, uint8_t index, uint8_t value) override;
  uint8_t hostRead(uint8_t index) override;
  void hostWrite(uint8_t index, uint8_t value) override;

 private:
  void measure();
  bool running() const;

  RegFile regs_;
};

}  // namespace kev::sim
