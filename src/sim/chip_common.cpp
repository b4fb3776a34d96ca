#include "sim/chip_common.h"

#include <algorithm>
#include <cmath>

namespace kev::sim {

namespace {
constexpr uint8_t kLm75PointerMask = 0x07;
constexpr uint8_t kLm75Temp = 0;
constexpr uint8_t kLm75Config = 1;
constexpr uint8_t kLm75LastReg = 3;
constexpr uint16_t kNineBits = 0xFF80;  // a 9-bit value left-aligned in the word
constexpr uint16_t kNoRegisterWord = 0xFFFF;

long Clamp(long v, long lo, long hi) { return std::min(std::max(v, lo), hi); }
}  // namespace

uint8_t VoltToReg(const HwmonInputs& in, int pin, double voltsPerStep) {
  const double v = in.voltValue(pin);
  const long raw = in.volt(pin).raw ? std::lround(v) : std::lround(v / voltsPerStep);
  return static_cast<uint8_t>(Clamp(raw, 0, 255));
}

uint8_t TempToReg8(double celsius) {
  return static_cast<uint8_t>(Clamp(std::lround(celsius), -128, 127) & 255);
}

uint16_t TempToWord9(double celsius) {
  const long halves = Clamp(std::lround(celsius * 2), -256, 255);
  return static_cast<uint16_t>((halves << 7) & kNineBits);
}

uint8_t FanToReg(const HwmonInputs& in, int pin, double clockHz, int divisor) {
  const FanInput& f = in.fan(pin);
  return static_cast<uint8_t>(TachCount(f, f.rpm.at(in.nowMs()), clockHz, divisor));
}

std::optional<uint8_t> Lm75ReadByte(Lm75Registers& r, uint8_t command) {
  const int reg = command & kLm75PointerMask;
  if (!r.answering() || r.failed(reg)) return std::nullopt;
  if (reg > kLm75LastReg) return kUndecoded;
  if (reg == kLm75Config) return r.config();
  return static_cast<uint8_t>(r.word(reg) >> 8);
}

bool Lm75WriteByte(Lm75Registers& r, uint8_t command, uint8_t value) {
  if (!r.answering()) return false;
  const int reg = command & kLm75PointerMask;
  if (reg == kLm75Config) {
    r.setConfig(value);
  } else if (reg != kLm75Temp && reg <= kLm75LastReg) {
    r.setWord(reg, static_cast<uint16_t>(value << 8));
  }
  return true;
}

std::optional<uint16_t> Lm75ReadWord(Lm75Registers& r, uint8_t command) {
  const int reg = command & kLm75PointerMask;
  if (!r.answering() || r.failed(reg)) return std::nullopt;
  if (reg > kLm75LastReg) return kNoRegisterWord;
  if (reg == kLm75Config) return static_cast<uint16_t>(r.config() << 8 | r.config());
  return r.word(reg);
}

bool Lm75WriteWord(Lm75Registers& r, uint8_t command, uint16_t value) {
  if (!r.answering()) return false;
  const int reg = command & kLm75PointerMask;
  if (reg == kLm75Config) {
    r.setConfig(static_cast<uint8_t>(value >> 8));
  } else if (reg != kLm75Temp && reg <= kLm75LastReg) {
    r.setWord(reg, static_cast<uint16_t>(value & kNineBits));
  }
  return true;
}

}  // namespace kev::sim
