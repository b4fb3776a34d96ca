#include "sim/chip_lm78.h"

#include "sim/chip_common.h"

namespace kev::sim {

namespace {
// LM78 family register map.
constexpr uint8_t kRegChipId = 0x49;

constexpr uint8_t kConfigPowerOn = 0x08;  // interrupt clear set, stopped
constexpr uint8_t kConfigWritable = 0x0B;
constexpr uint8_t kFanDivPowerOn = 0x50;  // both fields 01: divisor 2
constexpr uint8_t kFanDivFields = 0xF0;   // bits 3-0 are the VID pins
constexpr uint8_t kVidPins = 0x0F;
constexpr uint8_t kSerialAddrPowerOn = 0x2D;
constexpr uint8_t kSerialAddrMask = 0x7F;

constexpr int kFan1Shift = 4;
constexpr int kFan2Shift = 6;
constexpr int kFan3Divisor = 2;  // fixed on the LM78
constexpr int kLm78Volts = 7;

// Chip ID bits of register 49h (bit 0 is the VID4 pin).
constexpr uint8_t kIdLm78 = 0x00;
constexpr uint8_t kIdLm78J = 0x40;
constexpr uint8_t kIdLm79 = 0xC0;

// LM81/LM87.
constexpr uint8_t kRegChannelMode = 0x16;  // LM87: bit 2 turns 20h into remote 2
constexpr uint8_t kModeRemote2 = 0x04;
constexpr uint8_t kRegRemote1 = 0x26;
constexpr uint8_t kRegLm87LimitLast = 0x3D;
constexpr uint8_t kRegCompany = 0x3E;
constexpr uint8_t kRegStepping = 0x3F;
constexpr uint8_t kMaskLast87 = 0x44;
constexpr uint8_t kCompanyLm81 = 0x01;
constexpr uint8_t kCompanyLm87 = 0x02;
constexpr uint8_t kSteppingLm81 = 0x01;
constexpr uint8_t kSteppingLm87 = 0x06;
constexpr uint8_t kIdLm8x = 0x80;
constexpr uint8_t kRegDac = 0x19;  // fan control output, full scale at power-on
constexpr uint8_t kDacPowerOn = 0xFF;
constexpr uint8_t kRegCiClear = 0x46;
// LM87 only: hardware temperature limits (13h/14h lockable through 4Ah bits
// 1/2), the test register, AIN low limits, status mirrors, SMBALERT# enable.
constexpr uint8_t kRegHwLimitInt = 0x13;
constexpr uint8_t kRegHwLimitExt = 0x14;
constexpr uint8_t kRegTest = 0x15;  // always reads 00h
constexpr uint8_t kRegHwLimitInt2 = 0x17;
constexpr uint8_t kRegHwLimitExt2 = 0x18;
constexpr uint8_t kHwLimitIntPowerOn = 0x46;  // 70 degrees
constexpr uint8_t kHwLimitExtPowerOn = 0x55;  // 85 degrees
constexpr uint8_t kRegAinLowFirst = 0x1A;
constexpr uint8_t kRegAinLowLast = 0x1B;
constexpr uint8_t kRegConfig2 = 0x4A;
constexpr uint8_t kLockHwLimitInt = 0x02;
constexpr uint8_t kLockHwLimitExt = 0x04;
constexpr uint8_t kRegStatusMirror1 = 0x4C;  // the model raises no status bits
constexpr uint8_t kRegStatusMirror2 = 0x4D;
constexpr uint8_t kRegAlertEnable = 0x80;
constexpr uint8_t kAlertEnablePowerOn = 0x20;
// LM81 only: the address register shows the A1/A0 pins under 2Ch; mode
// registers 4Bh-4Dh.
constexpr uint8_t kLm81AddressBase = 0x2C;
constexpr uint8_t kAddressPins = 0x03;
constexpr uint8_t kRegTempConfig81 = 0x4B;
constexpr uint8_t kRegExtMode1 = 0x4C;
constexpr uint8_t kRegExtMode2 = 0x4D;
constexpr uint8_t kTempConfig81PowerOn = 0x01;
constexpr uint8_t kExtMode1PowerOn = 0x44;
// Nominal rail at 192 steps (three quarters of full scale) for 20h-25h.
constexpr double kLm87Nominal[] = {2.5, 2.7, 3.3, 5.0, 12.0, 2.7};
constexpr double kLm87NominalSteps = 192;

uint8_t Lm78Id(ChipModelKind k) {
  if (k == ChipModelKind::Lm78J) return kIdLm78J;
  if (k == ChipModelKind::Lm79) return kIdLm79;
  return kIdLm78;
}
}  // namespace

uint8_t LmStyleChip::peek(int bank, uint8_t index) {
  if (running()) measure();
  RegFile& f = file(bank, index);
  return f.present(index) ? f.get(index) : kUndecoded;
}

void LmStyleChip::setReg(int bank, uint8_t index, uint8_t value) {
  RegFile& f = file(bank, index);
  if (!f.present(index)) return;
  f.set(index, value);
  afterWrite(index);
}

uint8_t LmStyleChip::hostRead(uint8_t index) { return reg(selectedBank(), index); }

void LmStyleChip::hostWrite(uint8_t index, uint8_t value) {
  RegFile& f = file(selectedBank(), index);
  if (!f.present(index)) return;
  if (running()) measure();  // a stop keeps the last conversion
  if (index == kRegConfig && (value & kConfigInit) != 0) {
    initialize();
    return;
  }
  f.write(index, value);
  afterWrite(index);
}

void LmStyleChip::initialize() {
  regs_.resetRange(kRegConfig, kRegMaskLast);
  regs_.set(kRegFanDiv, static_cast<uint8_t>((regs_.get(kRegFanDiv) & kVidPins) | kFanDivPowerOn));
}

void LmStyleChip::defineCore(uint8_t configPowerOn, bool serial) {
  regs_.defineRange(kRegIn0, kRegFan3, 0, 0);
  regs_.defineRange(kRegLimitFirst, kRegLimitLast, 0, 0xFF);
  regs_.define(kRegConfig, configPowerOn, kConfigWritable);
  regs_.define(kRegStatus1, 0, 0);
  regs_.define(kRegStatus2, 0, 0);
  regs_.defineRange(kRegMaskFirst, kRegMaskLast, 0, 0xFF);
  regs_.define(kRegFanDiv, kFanDivPowerOn, kFanDivFields);
  if (serial) regs_.define(kRegSerialAddr, kSerialAddrPowerOn, kSerialAddrMask);
}

void LmStyleChip::followSerialAddress(uint8_t index) {
  if (index == kRegSerialAddr && smbAddress())
    moveSmbusAddress(regs_.get(kRegSerialAddr) & kSerialAddrMask);
}

Lm78Model::Lm78Model(ChipModelKind kind, const SimClock& clock) : LmStyleChip(kind, clock) {
  defineCore(kConfigPowerOn, true);
  regs_.define(kRegChipId, Lm78Id(kind), 0);
  startAsBios();
}

void Lm78Model::measure() {
  for (int i = 0; i < kLm78Volts; ++i)
    regs_.set(static_cast<uint8_t>(kRegIn0 + i), VoltToReg(*this, i, kVoltStep));
  regs_.set(kRegTemp, TempToReg8(tempC(0)));
  regs_.set(kRegFan1, FanToReg(*this, 0, kFanClockHz, fanDivisor(kFan1Shift)));
  regs_.set(kRegFan1 + 1, FanToReg(*this, 1, kFanClockHz, fanDivisor(kFan2Shift)));
  regs_.set(kRegFan3, FanToReg(*this, 2, kFanClockHz, kFan3Divisor));
}

Lm87Model::Lm87Model(ChipModelKind kind, const SimClock& clock) : LmStyleChip(kind, clock) {
  if (lm87()) {
    regs_.define(kRegHwLimitInt, kHwLimitIntPowerOn, 0xFF);
    regs_.define(kRegHwLimitExt, kHwLimitExtPowerOn, 0xFF);
    regs_.define(kRegTest, 0, 0);
    regs_.define(kRegChannelMode, 0, 0xFF);
    regs_.define(kRegHwLimitInt2, kHwLimitIntPowerOn, 0xFF);
    regs_.define(kRegHwLimitExt2, kHwLimitExtPowerOn, 0xFF);
    regs_.defineRange(kRegAinLowFirst, kRegAinLowLast, 0, 0xFF);
    regs_.define(kRegConfig2, 0, 0xFF);
    regs_.define(kRegStatusMirror1, 0, 0);
    regs_.define(kRegStatusMirror2, 0, 0);
    regs_.define(kRegAlertEnable, kAlertEnablePowerOn, 0xFF);
  } else {
    regs_.define(kRegSerialAddr, kLm81AddressBase, 0);
    regs_.define(kRegTempConfig81, kTempConfig81PowerOn, 0xFF);
    regs_.define(kRegExtMode1, kExtMode1PowerOn, 0xFF);
    regs_.define(kRegExtMode2, 0, 0xFF);
  }
  regs_.define(kRegDac, kDacPowerOn, 0xFF);
  regs_.defineRange(kRegIn0, kRegFan1 + 1, 0, 0);
  regs_.defineRange(kRegLimitFirst, kRegLm87LimitLast, 0, 0xFF);
  regs_.define(kRegCompany, lm87() ? kCompanyLm87 : kCompanyLm81, 0);
  regs_.define(kRegStepping, lm87() ? kSteppingLm87 : kSteppingLm81, 0);
  regs_.define(kRegConfig, kConfigPowerOn, kConfigWritable);
  regs_.define(kRegStatus1, 0, 0);
  regs_.define(kRegStatus2, 0, 0);
  regs_.defineRange(kRegMaskFirst, kMaskLast87, 0, 0xFF);
  regs_.define(kRegCiClear, 0, 0xFF);
  regs_.define(kRegFanDiv, kFanDivPowerOn, kFanDivFields);
  regs_.define(kRegChipId, kIdLm8x, 0);
  startAsBios();
}

void Lm87Model::hostWrite(uint8_t index, uint8_t value) {
  if (lm87()) {
    const uint8_t locks = regs_.get(kRegConfig2);
    if (index == kRegHwLimitInt && (locks & kLockHwLimitInt) != 0) return;
    if (index == kRegHwLimitExt && (locks & kLockHwLimitExt) != 0) return;
  }
  LmStyleChip::hostWrite(index, value);
}

void Lm87Model::onSmbusPlaced() {
  if (!lm87() && smbAddress())
    regs_.set(kRegSerialAddr,
              static_cast<uint8_t>(kLm81AddressBase | (*smbAddress() & kAddressPins)));
}

void Lm87Model::measure() {
  for (int i = 0; i < static_cast<int>(std::size(kLm87Nominal)); ++i) {
    const double step = kLm87Nominal[i] / kLm87NominalSteps;
    regs_.set(static_cast<uint8_t>(kRegIn0 + i), VoltToReg(*this, i, step));
  }
  if (lm87()) {
    if ((regs_.get(kRegChannelMode) & kModeRemote2) != 0) regs_.set(kRegIn0, TempToReg8(tempC(2)));
    regs_.set(kRegRemote1, TempToReg8(tempC(1)));
  }
  regs_.set(kRegTemp, TempToReg8(tempC(0)));
  regs_.set(kRegFan1, FanToReg(*this, 0, kFanClockHz, fanDivisor(kFan1Shift)));
  regs_.set(kRegFan1 + 1, FanToReg(*this, 1, kFanClockHz, fanDivisor(kFan2Shift)));
}

}  // namespace kev::sim
