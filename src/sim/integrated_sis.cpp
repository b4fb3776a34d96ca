#include <algorithm>
#include <cmath>

#include "sim/integrated.h"

namespace kev::sim {

namespace {

constexpr uint8_t kRegVin = 0x20;  // 20h-23h
constexpr uint8_t kRegTemp = 0x24;
constexpr uint8_t kRegFan = 0x28;  // 28h, 29h
constexpr uint8_t kRegConfig = 0x40;
constexpr uint8_t kConfigStart = 0x01;
constexpr uint8_t kConfigIntClear = 0x08;  // self-clearing
constexpr uint8_t kRegFanDivisor = 0x47;   // bits 5-4 fan 1, 7-6 fan 2
constexpr uint8_t kDivisorPowerOn = 0x50;  // both fans /2
constexpr int kVins = 4;
constexpr int kFans = 2;
constexpr double kFanClockHz = 22500;
constexpr double kVoltsPerStep = 0.016;
// Temperature code: two steps per degree above an offset of 114.
constexpr double kTempOffset = 114;
constexpr double kTempStepsPerDegree = 2;
// Right after monitoring is (re)started the temperature register reads a low,
// unconverted value a few times; the repeated reads the monitor's users make
// of it imply this.
constexpr int kUnsettledReads = 2;
constexpr uint8_t kUnsettledValue = 0x00;
constexpr uint16_t kIndexOffset = 5;

uint8_t Code(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

Sis5595Monitor::Sis5595Monitor(SimMachine& m, uint16_t base)
    : HwmonInputs(m.clock()), machine_(m), base_(base) {
  regs_[kRegConfig] = kConfigStart;
  regs_[kRegFanDivisor] = kDivisorPowerOn;
  m.map(static_cast<uint16_t>(base + kIndexOffset), 2, this);
}

Sis5595Monitor::~Sis5595Monitor() { machine_.unmap(this); }

uint8_t Sis5595Monitor::measured(uint8_t index) const {
  if (index >= kRegVin && index < kRegVin + kVins) {
    const int n = index - kRegVin;
    return volt(n).raw ? Code(voltValue(n)) : Code(voltValue(n) / kVoltsPerStep);
  }
  if (index == kRegTemp)
    return std::min<uint8_t>(Code(tempC(0) * kTempStepsPerDegree + kTempOffset), 254);
  const int n = index - kRegFan;
  const int div = 1 << ((regs_[kRegFanDivisor] >> (4 + 2 * n)) & 0x03);
  return static_cast<uint8_t>(TachCount(fan(n), fan(n).rpm.at(nowMs()), kFanClockHz, div));
}

uint8_t Sis5595Monitor::reg(uint8_t index) {
  index &= 0x7F;
  const bool isMeasured =
      (index >= kRegVin && index <= kRegTemp) || (index >= kRegFan && index < kRegFan + kFans);
  if (isMeasured && (regs_[kRegConfig] & kConfigStart)) regs_[index] = measured(index);
  return image_.read(0, index, regs_[index]);
}

uint8_t Sis5595Monitor::ioRead8(uint16_t port) {
  if (vanished()) return 0xFF;
  if (port == base_ + kIndexOffset) return index_;
  if (index_ == kRegTemp && unsettledTempReads_ > 0) {
    --unsettledTempReads_;
    return kUnsettledValue;
  }
  return reg(index_);
}

void Sis5595Monitor::ioWrite8(uint16_t port, uint8_t value) {
  if (vanished()) return;
  if (port == base_ + kIndexOffset) {
    index_ = value & 0x7F;
    return;
  }
  if (index_ >= kRegVin && index_ < kRegFan + kFans) return;  // measured values are read-only
  if (index_ == kRegConfig) {
    if (value & kConfigStart) unsettledTempReads_ = kUnsettledReads;
    value = static_cast<uint8_t>(value & ~kConfigIntClear);
  }
  regs_[index_] = value;
}

}  // namespace kev::sim
