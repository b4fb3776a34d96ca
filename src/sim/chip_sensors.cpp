#include "sim/chip_sensors.h"

namespace kev::sim {

namespace {
// LM75.
constexpr int kLm75Temp = 0;
constexpr int kLm75Hyst = 2;
constexpr int kLm75Over = 3;
constexpr uint8_t kLm75ConfigReg = 0x01;
constexpr uint8_t kLm75Shutdown = 0x01;
constexpr uint16_t kHystPowerOn = 0x4B00;  // 75 degrees
constexpr uint16_t kOverPowerOn = 0x5000;  // 80 degrees
constexpr uint8_t kPointerMask = 0x07;

// MAX1617.
constexpr uint8_t kRdLocal = 0x00;
constexpr uint8_t kRdRemote = 0x01;
constexpr uint8_t kRdStatus = 0x02;
constexpr uint8_t kRdConfig = 0x03;
constexpr uint8_t kRdRate = 0x04;
constexpr uint8_t kRdLimitFirst = 0x05;
constexpr uint8_t kRdLimitLast = 0x08;
constexpr uint8_t kWrConfig = 0x09;
constexpr uint8_t kWrRate = 0x0A;
constexpr uint8_t kWrLimitFirst = 0x0B;
constexpr uint8_t kWrLimitLast = 0x0E;
constexpr uint8_t kWrOneShot = 0x0F;
constexpr uint8_t kRdManufacturer = 0xFE;
constexpr uint8_t kRdDevice = 0xFF;
constexpr uint8_t kManufacturerId = 0x4D;
constexpr uint8_t kDeviceId = 0x01;
constexpr uint8_t kConfigStandby = 0x40;
constexpr uint8_t kRateMask = 0x07;
constexpr uint8_t kRatePowerOn = 0x02;
constexpr uint8_t kHighPowerOn = 0x7F;  // +127
constexpr uint8_t kLowPowerOn = 0xC9;   // -55
constexpr uint8_t kStatusLocalHigh = 0x40;
constexpr uint8_t kStatusLocalLow = 0x20;
constexpr uint8_t kStatusRemoteHigh = 0x10;
constexpr uint8_t kStatusRemoteLow = 0x08;

int Signed(uint8_t b) { return static_cast<int8_t>(b); }
}  // namespace

Lm75Model::Lm75Model(const SimClock& clock) : MonitorChip(ChipModelKind::Lm75, clock) {
  words_[kLm75Hyst] = kHystPowerOn;
  words_[kLm75Over] = kOverPowerOn;
}

uint16_t Lm75Model::word(int reg) {
  if (reg == kLm75Temp && (config_ & kLm75Shutdown) == 0) words_[kLm75Temp] = TempToWord9(tempC(0));
  return words_[static_cast<size_t>(reg)];
}

void Lm75Model::setWord(int reg, uint16_t value) { words_[static_cast<size_t>(reg)] = value; }

uint8_t Lm75Model::peek(int bank, uint8_t index) {
  const int r = index & kPointerMask;
  if (r == kLm75ConfigReg) return config_;
  if (r > kLm75Over) return kUndecoded;
  const uint16_t w = word(r);
  return static_cast<uint8_t>(bank == 0 ? w >> 8 : w);
}

void Lm75Model::setReg(int bank, uint8_t index, uint8_t value) {
  const int r = index & kPointerMask;
  if (r == kLm75ConfigReg) {
    config_ = value;
  } else if (r <= kLm75Over) {
    uint16_t& w = words_[static_cast<size_t>(r)];
    w = bank == 0 ? static_cast<uint16_t>((w & 255) | value << 8)
                  : static_cast<uint16_t>((w & ~255) | value);
  }
}

uint8_t Lm75Model::hostRead(uint8_t index) { return reg(0, index); }
void Lm75Model::hostWrite(uint8_t index, uint8_t value) { Lm75WriteByte(*this, index, value); }

std::optional<uint8_t> Lm75Model::smbReadByte(uint8_t command) {
  if (answering() && image().held(0, command)) {
    if (image().failed(0, command)) return std::nullopt;
    return reg(0, command);
  }
  return Lm75ReadByte(*this, command);
}
bool Lm75Model::smbWriteByte(uint8_t command, uint8_t value) {
  return Lm75WriteByte(*this, command, value);
}
std::optional<uint16_t> Lm75Model::readWord(uint8_t command) {
  if (image().held(0, command) || image().held(1, command)) {
    if (image().failed(0, command) || image().failed(1, command)) return std::nullopt;
    return static_cast<uint16_t>(reg(0, command) << 8 | reg(1, command));
  }
  return Lm75ReadWord(*this, command);
}
bool Lm75Model::smbWriteWord(uint8_t command, uint16_t value) {
  return Lm75WriteWord(*this, command, value);
}

Max1617Model::Max1617Model(const SimClock& clock)
    : MonitorChip(ChipModelKind::Max1617, clock),
      rate_(kRatePowerOn),
      limits_{kHighPowerOn, kLowPowerOn, kHighPowerOn, kLowPowerOn} {}

void Max1617Model::measure(bool oneShot) {
  if ((config_ & kConfigStandby) != 0 && !oneShot) return;
  local_ = TempToReg8(tempC(0));
  remote_ = TempToReg8(tempC(1));
}

// Out-of-limit flags of the latest conversion.
uint8_t Max1617Model::status() const {
  uint8_t s = 0;
  if (Signed(local_) > Signed(limits_[0])) s |= kStatusLocalHigh;
  if (Signed(local_) < Signed(limits_[1])) s |= kStatusLocalLow;
  if (Signed(remote_) > Signed(limits_[2])) s |= kStatusRemoteHigh;
  if (Signed(remote_) < Signed(limits_[3])) s |= kStatusRemoteLow;
  return s;
}

uint8_t Max1617Model::peek(int /*bank*/, uint8_t index) {
  measure(false);
  switch (index) {
    case kRdLocal:
      return local_;
    case kRdRemote:
      return remote_;
    case kRdStatus:
      return status();
    case kRdConfig:
      return config_;
    case kRdRate:
      return rate_;
    case kRdManufacturer:
      return kManufacturerId;
    case kRdDevice:
      return kDeviceId;
    default:
      break;
  }
  if (index >= kRdLimitFirst && index <= kRdLimitLast)
    return limits_[static_cast<size_t>(index - kRdLimitFirst)];
  return kUndecoded;
}

// Pokes use the write addresses; 00h and 01h set the latched temperatures.
void Max1617Model::setReg(int /*bank*/, uint8_t index, uint8_t value) {
  if (index == kRdLocal) local_ = value;
  if (index == kRdRemote) remote_ = value;
  if (index != kWrOneShot) hostWrite(index, value);
}

uint8_t Max1617Model::hostRead(uint8_t index) { return reg(0, index); }

void Max1617Model::hostWrite(uint8_t index, uint8_t value) {
  if (index == kWrConfig) {
    measure(false);  // entering standby keeps the last conversion
    config_ = value;
  } else if (index == kWrRate) {
    rate_ = value & kRateMask;
  } else if (index >= kWrLimitFirst && index <= kWrLimitLast) {
    limits_[static_cast<size_t>(index - kWrLimitFirst)] = value;
  } else if (index == kWrOneShot) {
    measure(true);
  }
}

}  // namespace kev::sim
