#include "sim/chip_lm80.h"

#include <algorithm>
#include <cmath>

#include "sim/chip_common.h"

namespace kev::sim {

namespace {
constexpr uint8_t kAddressBits = 0x3F;

constexpr uint8_t kRegConfig = 0x00;  // bit 0 start, bit 7 initialization
constexpr uint8_t kRegStatus1 = 0x01;
constexpr uint8_t kRegStatus2 = 0x02;
constexpr uint8_t kRegMask1 = 0x03;
constexpr uint8_t kRegMask2 = 0x04;
constexpr uint8_t kRegFanDiv = 0x05;   // bits 3-2 fan 1, 5-4 fan 2
constexpr uint8_t kRegTempRes = 0x06;  // bits 7-4 temperature fraction, bit 3 11-bit mode
constexpr uint8_t kRegIn0 = 0x20;
constexpr uint8_t kRegTemp = 0x27;
constexpr uint8_t kRegFan1 = 0x28;
constexpr uint8_t kRegFan2 = 0x29;
constexpr uint8_t kRegLimitFirst = 0x2A;
constexpr uint8_t kRegLimitLast = 0x3D;
// Reserved: they hold whatever the part holds and ignore host writes.
constexpr uint8_t kRegReservedFirst = 0x07;
constexpr uint8_t kRegReservedLast = 0x1F;
constexpr uint8_t kRegReservedTopFirst = 0x3E;
constexpr uint8_t kRegReservedTopLast = 0x3F;

constexpr uint8_t kConfigStart = 0x01;
constexpr uint8_t kConfigInit = 0x80;
constexpr uint8_t kConfigPowerOn = 0x08;
constexpr uint8_t kConfigWritable = 0x7F;
constexpr uint8_t kFanDivPowerOn = 0x14;  // both fans divisor 2
constexpr uint8_t kTempResWritable = 0x0F;
constexpr uint8_t kTempFine = 0x08;
constexpr int kFan1Shift = 2;
constexpr int kFan2Shift = 4;

constexpr int kVolts = 7;
constexpr double kVoltStep = 0.010;  // 2.56 V full scale
constexpr double kFanClockHz = 22500;
constexpr int kEighths = 8;
constexpr int kFractionShift = 5;  // eighths of a degree in bits 7-5 of 06h
}  // namespace

Lm80Model::Lm80Model(const SimClock& clock) : MonitorChip(ChipModelKind::Lm80, clock) {
  regs_.define(kRegConfig, kConfigPowerOn, kConfigWritable);
  regs_.define(kRegStatus1, 0, 0);
  regs_.define(kRegStatus2, 0, 0);
  regs_.define(kRegMask1, 0, 0xFF);
  regs_.define(kRegMask2, 0, 0xFF);
  regs_.define(kRegFanDiv, kFanDivPowerOn, 0xFF);
  regs_.define(kRegTempRes, 0, kTempResWritable);
  regs_.defineRange(kRegIn0, kRegFan2, 0, 0);
  regs_.defineRange(kRegLimitFirst, kRegLimitLast, 0, 0xFF);
  regs_.defineRange(kRegReservedFirst, kRegReservedLast, 0, 0);
  regs_.defineRange(kRegReservedTopFirst, kRegReservedTopLast, 0, 0);
  regs_.set(kRegConfig, kConfigPowerOn | kConfigStart);
}

bool Lm80Model::running() const { return (regs_.get(kRegConfig) & kConfigStart) != 0; }

void Lm80Model::measure() {
  for (int i = 0; i < kVolts; ++i)
    regs_.set(static_cast<uint8_t>(kRegIn0 + i), VoltToReg(*this, i, kVoltStep));
  // 9-bit mode keeps only the half degree (bit 7 of 06h); 11-bit mode eighths.
  const bool fine = (regs_.get(kRegTempRes) & kTempFine) != 0;
  const int perDegree = fine ? kEighths : 2;
  const long steps = std::clamp(std::lround(tempC(0) * perDegree), -128L * perDegree,
                                127L * perDegree + perDegree - 1);
  const long whole = steps >= 0 ? steps / perDegree : -((-steps + perDegree - 1) / perDegree);
  const long frac = (steps - whole * perDegree) * (kEighths / perDegree);
  regs_.set(kRegTemp, static_cast<uint8_t>(whole & 255));
  regs_.set(kRegTempRes, static_cast<uint8_t>((regs_.get(kRegTempRes) & kTempResWritable) |
                                              (frac << kFractionShift)));
  const auto div = [&](int shift) { return 1 << ((regs_.get(kRegFanDiv) >> shift) & 3); };
  regs_.set(kRegFan1, FanToReg(*this, 0, kFanClockHz, div(kFan1Shift)));
  regs_.set(kRegFan2, FanToReg(*this, 1, kFanClockHz, div(kFan2Shift)));
}

uint8_t Lm80Model::peek(int /*bank*/, uint8_t index) {
  const auto i = static_cast<uint8_t>(index & kAddressBits);
  if (running()) measure();
  return regs_.present(i) ? regs_.get(i) : kUndecoded;
}

void Lm80Model::setReg(int /*bank*/, uint8_t index, uint8_t value) {
  regs_.set(static_cast<uint8_t>(index & kAddressBits), value);
}

uint8_t Lm80Model::hostRead(uint8_t index) { return reg(0, index); }

void Lm80Model::hostWrite(uint8_t index, uint8_t value) {
  const auto i = static_cast<uint8_t>(index & kAddressBits);
  if (!regs_.present(i)) return;
  if (running()) measure();  // a stop keeps the last conversion
  if (i == kRegConfig && (value & kConfigInit) != 0) {
    regs_.resetRange(kRegConfig, kRegTempRes);
    return;
  }
  regs_.write(i, value);
}

}  // namespace kev::sim
