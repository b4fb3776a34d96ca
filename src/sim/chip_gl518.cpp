#include "sim/chip_gl518.h"

#include <algorithm>
#include <cmath>

#include "sim/chip_common.h"

namespace kev::sim {

namespace {
constexpr uint8_t kRegChipId = 0x00;
constexpr uint8_t kRegRevision = 0x01;
constexpr uint8_t kRegConfig = 0x03;  // bit 7 init, bit 6 start, GL520: bit 4 VIN4
constexpr uint8_t kRegTemp = 0x04;
constexpr uint8_t kRegTempMax = 0x05;
constexpr uint8_t kRegTempHyst = 0x06;
constexpr uint8_t kRegFanCount = 0x07;  // word: fan 1 high byte, fan 2 low byte
constexpr uint8_t kRegWordLast = 0x0C;
constexpr uint8_t kRegVin3 = 0x0D;
constexpr uint8_t kRegTemp2Vin4 = 0x0E;  // GL520SM
constexpr uint8_t kRegMisc = 0x0F;       // bits 7-6 fan 1 divisor, 5-4 fan 2
constexpr uint8_t kRegAlarm = 0x10;
constexpr uint8_t kRegMask = 0x11;
constexpr uint8_t kRegIntStatus = 0x12;
constexpr uint8_t kRegVin2 = 0x13;
constexpr uint8_t kRegVin1 = 0x14;
constexpr uint8_t kRegVdd = 0x15;
constexpr uint8_t kRegTemp2Max = 0x17;  // GL520SM
constexpr uint8_t kRegTemp2Hyst = 0x18;

constexpr uint8_t kIdGl518 = 0x80;
constexpr uint8_t kIdGl520 = 0x20;
constexpr uint8_t kRevGl518 = 0x80;
constexpr uint8_t kRevGl520 = 0x00;
constexpr uint8_t kConfigInit = 0x80;
constexpr uint8_t kConfigStart = 0x40;
constexpr uint8_t kConfigVin4 = 0x10;
constexpr uint8_t kConfigWritable = 0x7F;
constexpr int kFan1Shift = 6;
constexpr int kFan2Shift = 4;

constexpr double kFanClockHz = 8000;
constexpr double kVinStep = 0.019;
constexpr double kVddStep = 0.02375;
constexpr int kTempOffsetGl518 = 119;  // register = degrees + offset
constexpr int kTempOffsetGl520 = 130;
constexpr uint16_t kLowByte = 0x00FF;
constexpr uint16_t kHighByte = 0xFF00;
enum Pin { kPinVin1, kPinVin2, kPinVin3, kPinVdd, kPinVin4 };

uint8_t TempOffsetReg(double celsius, int offset) {
  return static_cast<uint8_t>(std::clamp(std::lround(celsius) + offset, 0L, 255L));
}
}  // namespace

Gl518Model::Gl518Model(ChipModelKind kind, const SimClock& clock) : MonitorChip(kind, clock) {
  regs_.define(kRegChipId, gl520() ? kIdGl520 : kIdGl518, 0);
  regs_.define(kRegRevision, gl520() ? kRevGl520 : kRevGl518, 0);
  regs_.define(kRegConfig, 0, kConfigWritable);
  regs_.define(kRegTemp, 0, 0);
  regs_.define(kRegTempMax, 0, 0xFF);
  regs_.define(kRegTempHyst, 0, 0xFF);
  regs_.defineRange(kRegFanCount, kRegWordLast, 0, 0);  // held in words_
  regs_.define(kRegVin3, 0, 0);
  if (gl520()) regs_.define(kRegTemp2Vin4, 0, 0);
  regs_.define(kRegMisc, 0, 0xFF);
  regs_.define(kRegAlarm, 0, 0);
  regs_.define(kRegMask, 0, 0xFF);
  regs_.define(kRegIntStatus, 0, 0);
  regs_.define(kRegVin2, 0, 0);
  regs_.define(kRegVin1, 0, 0);
  regs_.define(kRegVdd, 0, 0);
  if (gl520()) {
    regs_.define(kRegTemp2Max, 0, 0xFF);
    regs_.define(kRegTemp2Hyst, 0, 0xFF);
  }
  regs_.set(kRegConfig, kConfigStart);
}

bool Gl518Model::isWord(uint8_t index) const {
  return index >= kRegFanCount && index <= kRegWordLast;
}

uint16_t& Gl518Model::word(uint8_t index) {
  return words_[static_cast<size_t>(index - kRegFanCount)];
}

void Gl518Model::measure() {
  if ((regs_.get(kRegConfig) & kConfigStart) == 0) return;
  const int offset = gl520() ? kTempOffsetGl520 : kTempOffsetGl518;
  regs_.set(kRegTemp, TempOffsetReg(tempC(0), offset));
  regs_.set(kRegVin1, VoltToReg(*this, kPinVin1, kVinStep));
  regs_.set(kRegVin2, VoltToReg(*this, kPinVin2, kVinStep));
  regs_.set(kRegVin3, VoltToReg(*this, kPinVin3, kVinStep));
  regs_.set(kRegVdd, VoltToReg(*this, kPinVdd, kVddStep));
  if (gl520()) {
    const bool vin4 = (regs_.get(kRegConfig) & kConfigVin4) != 0;
    regs_.set(kRegTemp2Vin4,
              vin4 ? VoltToReg(*this, kPinVin4, kVinStep) : TempOffsetReg(tempC(1), offset));
  }
  const auto div = [&](int shift) { return 1 << ((regs_.get(kRegMisc) >> shift) & 3); };
  const uint8_t fan1 = FanToReg(*this, 0, kFanClockHz, div(kFan1Shift));
  const uint8_t fan2 = FanToReg(*this, 1, kFanClockHz, div(kFan2Shift));
  word(kRegFanCount) = static_cast<uint16_t>(fan1 << 8 | fan2);
}

uint8_t Gl518Model::peek(int bank, uint8_t index) {
  measure();
  if (!regs_.present(index)) return kUndecoded;
  if (!isWord(index)) return regs_.get(index);
  const uint16_t w = word(index);
  return static_cast<uint8_t>(bank == 0 ? w >> 8 : w);
}

void Gl518Model::setReg(int bank, uint8_t index, uint8_t value) {
  if (!regs_.present(index)) return;
  if (!isWord(index)) {
    regs_.set(index, value);
    return;
  }
  uint16_t& w = word(index);
  w = bank == 0 ? static_cast<uint16_t>((w & kLowByte) | value << 8)
                : static_cast<uint16_t>((w & kHighByte) | value);
}

uint8_t Gl518Model::hostRead(uint8_t index) { return reg(0, index); }

void Gl518Model::hostWrite(uint8_t index, uint8_t value) {
  if (!regs_.present(index)) return;
  measure();  // a stop keeps the last conversion
  if (isWord(index)) {
    if (index != kRegFanCount) setReg(0, index, value);
    return;
  }
  if (index == kRegConfig && (value & kConfigInit) != 0) {
    regs_.reset();
    return;
  }
  regs_.write(index, value);
}

std::optional<uint16_t> Gl518Model::readWord(uint8_t command) {
  if (!isWord(command)) return SmbusSlave::smbReadWord(command);
  if (image().failed(0, command) || image().failed(1, command)) return std::nullopt;
  return static_cast<uint16_t>(reg(0, command) << 8 | reg(1, command));
}

bool Gl518Model::smbWriteWord(uint8_t command, uint16_t value) {
  if (vanished()) return false;
  if (!isWord(command)) return SmbusSlave::smbWriteWord(command, value);
  if (command != kRegFanCount) word(command) = value;
  return true;
}

}  // namespace kev::sim
