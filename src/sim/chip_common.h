// Pieces the chip models share: physical input to register conversions and
// the register protocol of the LM75-style word temperature devices.
#pragma once

#include <cstdint>
#include <optional>

#include "sim/hwmon_inputs.h"

namespace kev::sim {

// Floating bus inside a chip: an index the part does not decode.
constexpr uint8_t kUndecoded = 0xFF;

// Raw value of a voltage input: the register value itself for a raw input,
// else the pin volts over the step size, rounded and clamped to 0-255.
uint8_t VoltToReg(const HwmonInputs& in, int pin, double voltsPerStep);
// Whole degrees, two's complement, clamped to the 8-bit range.
uint8_t TempToReg8(double celsius);
// Half degrees as a 9-bit two's complement value: bits 8-1 in the high byte,
// bit 0 as bit 7 of the low byte (the LM75 layout).
uint16_t TempToWord9(double celsius);
// Tachometer count of fan pin over two pulses at clockHz / divisor.
uint8_t FanToReg(const HwmonInputs& in, int pin, double clockHz, int divisor);

// The four registers of an LM75-style device: 0 temperature (word), 1
// configuration (byte), 2 hysteresis (word), 3 over-temperature (word).
class Lm75Registers {
 public:
  virtual ~Lm75Registers() = default;
  virtual bool answering() const = 0;
  // A replayed read of the register fails (the dump showed it failing).
  virtual bool failed(int /*reg*/) const { return false; }
  virtual uint16_t word(int reg) = 0;  // reg 0, 2, 3
  virtual void setWord(int reg, uint16_t value) = 0;
  virtual uint8_t config() = 0;
  virtual void setConfig(uint8_t value) = 0;
};

// The pointer decodes three bits; 4-7 are not registers and read FFh.
// A byte read of a word register gives its first (high) byte.
std::optional<uint8_t> Lm75ReadByte(Lm75Registers& r, uint8_t command);
bool Lm75WriteByte(Lm75Registers& r, uint8_t command, uint8_t value);
std::optional<uint16_t> Lm75ReadWord(Lm75Registers& r, uint8_t command);
bool Lm75WriteWord(Lm75Registers& r, uint8_t command, uint16_t value);

}  // namespace kev::sim
