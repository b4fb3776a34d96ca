#include <algorithm>
#include <cmath>

#include "sim/superio.h"

namespace kev::sim {

namespace {

constexpr uint16_t kItePort = 0x2E;
constexpr uint8_t kChipId1 = 0x87;
constexpr uint8_t kRegConfigControl = 0x02;  // bit 1: back to wait-for-key
constexpr uint8_t kLeaveConfig = 0x02;

// Environment controller registers.
constexpr uint8_t kRegConfig = 0x00;
constexpr uint8_t kConfigStart = 0x01;
constexpr uint8_t kRegFanDivisor = 0x0B;  // bits 2-0 fan 1, 5-3 fan 2, bit 6 fan 3
constexpr uint8_t kRegFanCount = 0x0D;    // fans 0Dh-0Fh
constexpr uint8_t kRegVin = 0x20;         // 20h-28h
constexpr uint8_t kRegTemp = 0x29;        // 29h-2Bh
constexpr uint8_t kRegVendor = 0x58;
constexpr uint8_t kVendorIte = 0x90;
constexpr uint8_t kRegAdcEnable = 0x50;
constexpr uint8_t kRegTempEnable = 0x51;
constexpr uint8_t kDivisorPowerOn = 0x09;  // fans 1, 2: /2; fan 3: /2
constexpr uint8_t kFan3DivBit = 0x40;      // set: /8, clear: /2
constexpr int kFans = 3;
constexpr int kTemps = 3;
constexpr int kVins = 9;
constexpr double kFanClockHz = 22500;  // 1350000 counts per minute
constexpr double kVoltsPerStep = 0.016;
constexpr uint16_t kIndexOffset = 5;
constexpr uint16_t kBaseMask = 0xFFF8;

bool IsMeasured(uint8_t index) {
  return (index >= kRegFanCount && index < kRegFanCount + kFans) ||
         (index >= kRegVin && index < kRegTemp + kTemps);
}

}  // namespace

IteEc::IteEc(const SimClock& clock) : HwmonInputs(clock) {
  regs_[kRegConfig] = kConfigStart;  // the BIOS started monitoring
  regs_[kRegFanDivisor] = kDivisorPowerOn;
  regs_[kRegVendor] = kVendorIte;
  regs_[kRegAdcEnable] = 0xFF;
  regs_[kRegTempEnable] = 0x38;  // three thermistor inputs
}

int IteEc::divisor(int fan) const {
  const uint8_t d = regs_[kRegFanDivisor];
  if (fan == 2) return (d & kFan3DivBit) ? 8 : 2;
  return 1 << ((d >> (3 * fan)) & 0x07);
}

// Measured registers follow the inputs only while monitoring is started.
void IteEc::refresh() {
  if (!(regs_[kRegConfig] & kConfigStart)) return;
  for (int n = 0; n < kFans; ++n)
    regs_[kRegFanCount + n] =
        static_cast<uint8_t>(TachCount(fan(n), fan(n).rpm.at(nowMs()), kFanClockHz, divisor(n)));
  for (int n = 0; n < kTemps; ++n)
    regs_[kRegTemp + n] =
        static_cast<uint8_t>(static_cast<int8_t>(std::clamp(std::lround(tempC(n)), -128L, 127L)));
  for (int n = 0; n < kVins; ++n) {
    const double v = voltValue(n);
    const double code = volt(n).raw ? v : v / kVoltsPerStep;
    regs_[kRegVin + n] = static_cast<uint8_t>(std::clamp(std::lround(code), 0L, 255L));
  }
}

uint8_t IteEc::reg(uint8_t index) {
  index &= 0x7F;
  if (IsMeasured(index)) refresh();
  return image_.read(0, index, regs_[index]);
}

uint8_t IteEc::ioRead8(uint16_t port) {
  if (vanished()) return 0xFF;
  if ((port & 0x07) == kIndexOffset) return index_;
  return reg(index_);
}

void IteEc::ioWrite8(uint16_t port, uint8_t value) {
  if (vanished()) return;
  if ((port & 0x07) == kIndexOffset) {
    index_ = value & 0x7F;
    return;
  }
  smbWriteByte(index_, value);
}

std::optional<uint8_t> IteEc::smbReadByte(uint8_t command) {
  if (vanished() || image_.failed(0, command & 0x7F)) return std::nullopt;
  return reg(command);
}

bool IteEc::smbWriteByte(uint8_t command, uint8_t value) {
  if (vanished()) return false;
  command &= 0x7F;
  if (IsMeasured(command) || command == kRegVendor) return true;  // read-only
  regs_[command] = value;
  return true;
}

IteSuperIo::IteSuperIo(SimMachine& m, uint8_t chipId2, IteEc& ec, uint16_t ecBase)
    : SuperIo(m, kItePort, {0x87, 0x01, 0x55, 0x55}), ec_(ec) {
  setGlobal(sio::kRegChipId, kChipId1);
  setGlobal(sio::kRegChipId2, chipId2);
  setLdnResources(kLdnEc, ecBase, true);
}

IteSuperIo::~IteSuperIo() { machine().unmap(&ec_); }

void IteSuperIo::onWrite(uint8_t ldn, uint8_t reg, uint8_t value) {
  if (reg == kRegConfigControl && (value & kLeaveConfig)) {
    closeConfig();
    return;
  }
  SuperIo::onWrite(ldn, reg, value);
}

void IteSuperIo::onResources(uint8_t ldn) {
  if (ldn != kLdnEc) return;
  machine().unmap(&ec_);
  const uint16_t base = ldnBase(ldn) & kBaseMask;
  if (ldnActive(ldn) && base != 0)
    machine().map(static_cast<uint16_t>(base + kIndexOffset), 2, &ec_);
}

}  // namespace kev::sim
