#include "sim/chip_winbond.h"

#include <cmath>

#include "sim/chip_common.h"

namespace kev::sim {

// What sets the Winbond parts apart from each other.
struct WinbondPart {
  ChipModelKind kind;
  uint8_t chipId;     // bank 0 register 58h
  uint16_t vendorId;  // register 4Fh, byte chosen by 4Eh bit 7
  bool fanDivExt;     // third divisor bit per fan in 5Dh bits 5-7
  int temps;          // 2: no bank 2 sensor
  int subclients;     // sub-client devices named by 4Ah
  bool bank5Volts;    // IN7/IN8 in bank 5
  bool hasIn1;        // W83783S has no register 21h
  bool serial;        // an SMBus interface with its address register 48h
  uint8_t diodeBits;  // writable diode-mode bits of 5Dh
  bool asusTemp2;     // AS99127F: temperature 2 in the board's own scale
};

namespace {
constexpr uint16_t kVendorWinbond = 0x5CA3;
constexpr uint16_t kVendorAsus = 0x12C3;
constexpr uint8_t kDiodes123 = 0x0E;
constexpr uint8_t kDiodes12 = 0x06;

constexpr WinbondPart kWinbondParts[] = {
    {ChipModelKind::W83781D, 0x10, kVendorWinbond, false, 3, 2, false, true, true, 0, false},
    {ChipModelKind::W83627HF, 0x21, kVendorWinbond, true, 3, 2, true, true, true, kDiodes123,
     false},
    {ChipModelKind::W83782D, 0x30, kVendorWinbond, true, 3, 2, true, true, true, kDiodes123, false},
    {ChipModelKind::W83783S, 0x40, kVendorWinbond, true, 2, 1, false, false, true, kDiodes12,
     false},
    {ChipModelKind::W83697HF, 0x60, kVendorWinbond, true, 2, 0, true, true, false, kDiodes123,
     false},
    {ChipModelKind::WinbondOther, 0x71, kVendorWinbond, false, 3, 2, false, true, true, 0, false},
    {ChipModelKind::As99127FWb, 0x31, kVendorWinbond, false, 3, 2, false, true, true, 0, true},
    {ChipModelKind::As99127FAs, 0x31, kVendorAsus, false, 3, 2, false, true, true, 0, true},
};

// Register map.
constexpr uint8_t kRegIn1 = 0x21;
constexpr uint8_t kRegVid4 = 0x49;
constexpr uint8_t kRegSubAddr = 0x4A;
constexpr uint8_t kRegPinCtl = 0x4B;  // bits 7-6: fan 3 divisor
constexpr uint8_t kRegMisc = 0x4C;
constexpr uint8_t kRegFanInOut = 0x4D;
constexpr uint8_t kRegBank = 0x4E;
constexpr uint8_t kRegVendor = 0x4F;
constexpr uint8_t kBankedFirst = 0x50;
constexpr uint8_t kBankedLast = 0x5F;
// Bank 0.
constexpr uint8_t kRegBeep1 = 0x56;
constexpr uint8_t kRegBeep2 = 0x57;
constexpr uint8_t kRegChipId = 0x58;
constexpr uint8_t kRegSensorType = 0x59;
constexpr uint8_t kRegVbat = 0x5D;  // bit 0 VBAT, 1-3 diodes, 5-7 divisor bit 2
// Banks 1 and 2 (the LM75-style sensors), bank 5 (IN7, IN8).
constexpr uint8_t kRegBankTemp = 0x50;
constexpr uint8_t kRegBankHalf = 0x51;
constexpr uint8_t kRegBankConfig = 0x52;
constexpr uint8_t kRegBankHyst = 0x53;
constexpr uint8_t kRegBankOverLast = 0x56;
constexpr uint8_t kRegBankLimitLast = 0x57;
constexpr uint8_t kSensorStop = 0x01;
constexpr uint8_t kHystPowerOn = 0x4B;  // 75 degrees
constexpr uint8_t kOverPowerOn = 0x50;  // 80 degrees
constexpr int kTempBank2 = 1;
constexpr int kTempBank3 = 2;
constexpr int kVoltBank = 5;

constexpr uint8_t kConfigPowerOn = 0x01;
constexpr uint8_t kSubAddrPowerOn = 0x01;  // sub-clients at 49h and 48h
constexpr uint8_t kSubAddrOneWritable = 0x0F;
constexpr uint8_t kPinCtlPowerOn = 0x44;
constexpr uint8_t kFanInOutPowerOn = 0x15;  // all three pins count fans
constexpr uint8_t kBankPowerOn = 0x80;
constexpr uint8_t kBankWritable = 0x87;
constexpr uint8_t kBankMask = 0x07;
constexpr uint8_t kVendorHighByte = 0x80;
constexpr uint8_t kVbatFanExt = 0xE0;
constexpr uint8_t kVbatEnable = 0x01;

constexpr uint8_t kSubFieldMask = 0x07;
constexpr uint8_t kSubDisable = 0x08;
constexpr uint8_t kSubBase = 0x48;
constexpr int kSubShift = 4;

constexpr int kMainVolts = 7;
constexpr int kBankVoltPin = 7;  // pins 7 and 8
constexpr int kFanShift[] = {4, 6, 6};
constexpr uint8_t kFanDivReg[] = {0x47, 0x47, kRegPinCtl};
constexpr int kFanExtShift[] = {5, 6, 7};
constexpr uint8_t kFanEnable[] = {0x01, 0x04, 0x10};
constexpr uint8_t kStalled = 255;

const WinbondPart& PartOf(ChipModelKind kind) {
  for (const WinbondPart& p : kWinbondParts)
    if (p.kind == kind) return p;
  return kWinbondParts[0];
}

// The AS99127F's first sub-client reports in a scale of its own; the board
// software maps it back with ((t * 60) / 43 + 50) / 2 for -31..105, so the
// model reports the raw value that mapping turns into the physical reading.
int AsusRaw(double celsius) {
  const auto corrected = [](int t) { return t >= -31 && t <= 105 ? ((t * 60) / 43 + 50) / 2 : t; };
  int best = 0;
  double bestErr = 1e9;
  for (int t = -128; t <= 127; ++t) {
    const double err = std::fabs(corrected(t) - celsius);
    if (err < bestErr) {
      bestErr = err;
      best = t;
    }
  }
  return best;
}
}  // namespace

// An LM75-style device the chip places on the SMBus: its registers are the
// bank 1 or bank 2 sensor registers 50h-56h of the chip.
class WinbondSubclient : public SmbusSlave, private Lm75Registers {
 public:
  WinbondSubclient(WinbondModel& chip, int bank) : chip_(chip), bank_(bank) {}

  std::optional<uint8_t> smbReadByte(uint8_t command) override {
    return Lm75ReadByte(*this, command);
  }
  bool smbWriteByte(uint8_t command, uint8_t value) override {
    return Lm75WriteByte(*this, command, value);
  }
  std::optional<uint16_t> smbReadWord(uint8_t command) override {
    return Lm75ReadWord(*this, command);
  }
  bool smbWriteWord(uint8_t command, uint16_t value) override {
    return Lm75WriteWord(*this, command, value);
  }

 private:
  // LM75 register r sits at 50h + 2r - 1 (word) or 52h (configuration).
  static uint8_t highIndex(int r) {
    return static_cast<uint8_t>(r == 0 ? kRegBankTemp : kRegBankHyst + 2 * (r - 2));
  }

  bool answering() const override { return !chip_.vanished(); }
  bool failed(int r) const override {
    constexpr int kConfig = 1, kLast = 3;  // LM75 registers
    if (r > kLast) return false;
    const RegisterImage& image = chip_.image();
    if (r == kConfig) return image.failed(bank_, kRegBankConfig);
    const uint8_t hi = highIndex(r);
    return image.failed(bank_, hi) || image.failed(bank_, static_cast<uint8_t>(hi + 1));
  }
  uint16_t word(int r) override {
    const uint8_t hi = highIndex(r);
    return static_cast<uint16_t>(chip_.reg(bank_, hi) << 8 |
                                 chip_.reg(bank_, static_cast<uint8_t>(hi + 1)));
  }
  void setWord(int r, uint16_t value) override {
    const uint8_t hi = highIndex(r);
    chip_.banks_[bank_].write(hi, static_cast<uint8_t>(value >> 8));
    chip_.banks_[bank_].write(static_cast<uint8_t>(hi + 1), static_cast<uint8_t>(value));
  }
  uint8_t config() override { return chip_.reg(bank_, kRegBankConfig); }
  void setConfig(uint8_t value) override {
    config();  // brings the sensor up to date before a possible stop
    chip_.banks_[bank_].write(kRegBankConfig, value);
  }

  WinbondModel& chip_;
  int bank_;
};

WinbondModel::WinbondModel(ChipModelKind kind, const SimClock& clock)
    : LmStyleChip(kind, clock), part_(PartOf(kind)) {
  defineCommon();
  defineBanks();
  for (int i = 0; i < part_.subclients; ++i)
    subs_[i] = std::make_unique<WinbondSubclient>(*this, i + 1);
  startAsBios();
}

WinbondModel::~WinbondModel() = default;

void WinbondModel::defineCommon() {
  defineCore(kConfigPowerOn, part_.serial);
  regs_.define(kRegVid4, 0, 0);
  if (part_.subclients > 0)
    regs_.define(kRegSubAddr, kSubAddrPowerOn, part_.subclients > 1 ? 0xFF : kSubAddrOneWritable);
  regs_.define(kRegPinCtl, kPinCtlPowerOn, 0xFF);
  regs_.define(kRegMisc, 0, 0xFF);
  regs_.define(kRegFanInOut, kFanInOutPowerOn, 0xFF);
  regs_.define(kRegBank, kBankPowerOn, kBankWritable);
  regs_.define(kRegVendor, 0, 0);
  if (!part_.hasIn1) regs_.remove(kRegIn1);
}

void WinbondModel::defineBanks() {
  RegFile& b0 = banks_[0];
  b0.define(kRegBeep1, 0, 0xFF);
  b0.define(kRegBeep2, 0, 0xFF);
  b0.define(kRegChipId, part_.chipId, 0);
  b0.define(kRegSensorType, 0, 0xFF);
  if (part_.fanDivExt)
    b0.define(kRegVbat, 0, static_cast<uint8_t>(kVbatFanExt | kVbatEnable | part_.diodeBits));
  for (int n = 0; n + 1 < part_.temps; ++n) {
    RegFile& b = banks_[kTempBank2 + n];
    b.define(kRegBankTemp, 0, 0);
    b.define(kRegBankHalf, 0, 0);
    b.define(kRegBankConfig, 0, 0xFF);
    b.define(kRegBankHyst, kHystPowerOn, 0xFF);
    b.define(kRegBankHyst + 1, 0, 0xFF);
    b.define(kRegBankHyst + 2, kOverPowerOn, 0xFF);
    b.define(kRegBankOverLast, 0, 0xFF);
  }
  if (part_.bank5Volts) {
    RegFile& b5 = banks_[kVoltBank];
    b5.define(kRegBankTemp, 0, 0);
    b5.define(kRegBankHalf, 0, 0);
    b5.defineRange(kRegBankConfig, kRegBankLimitLast, 0, 0xFF);
  }
}

RegFile& WinbondModel::file(int bank, uint8_t index) {
  if (index < kBankedFirst || index > kBankedLast) return regs_;
  return banks_[static_cast<size_t>(bank & kBankMask)];
}

int WinbondModel::selectedBank() const { return regs_.get(kRegBank) & kBankMask; }

// Banked registers by bank; the vendor ID by the byte HBACS selects.
int WinbondModel::imageBank(int bank, uint8_t index) const {
  if (index == kRegVendor) return (regs_.get(kRegBank) & kVendorHighByte) != 0 ? 0 : 1;
  return index < kBankedFirst || index > kBankedLast ? 0 : bank & kBankMask;
}

uint8_t WinbondModel::peek(int bank, uint8_t index) {
  if (index != kRegVendor) return LmStyleChip::peek(bank, index);
  const bool high = (regs_.get(kRegBank) & kVendorHighByte) != 0;
  return static_cast<uint8_t>(high ? part_.vendorId >> 8 : part_.vendorId);
}

int WinbondModel::fanDivisor3(int fan) const {
  const auto f = static_cast<size_t>(fan);
  int code = (regs_.get(kFanDivReg[f]) >> kFanShift[f]) & 3;
  if (part_.fanDivExt) code |= ((banks_[0].get(kRegVbat) >> kFanExtShift[f]) & 1) << 2;
  return 1 << code;
}

// A fan pin switched to output (4Dh) counts nothing and reads full scale.
uint8_t WinbondModel::fanCount(int fan) const {
  if ((regs_.get(kRegFanInOut) & kFanEnable[static_cast<size_t>(fan)]) == 0) return kStalled;
  return FanToReg(*this, fan, kFanClockHz, fanDivisor3(fan));
}

void WinbondModel::measureBankTemp(int bank, int sensor) {
  RegFile& b = banks_[static_cast<size_t>(bank)];
  if ((b.get(kRegBankConfig) & kSensorStop) != 0) return;
  uint16_t w = TempToWord9(tempC(sensor));
  if (part_.asusTemp2 && bank == kTempBank2)
    w = static_cast<uint16_t>(static_cast<uint8_t>(AsusRaw(tempC(sensor))) << 8);
  b.set(kRegBankTemp, static_cast<uint8_t>(w >> 8));
  b.set(kRegBankHalf, static_cast<uint8_t>(w));
}

void WinbondModel::measure() {
  for (int i = 0; i < kMainVolts; ++i)
    regs_.set(static_cast<uint8_t>(kRegIn0 + i), VoltToReg(*this, i, kVoltStep));
  regs_.set(kRegTemp, TempToReg8(tempC(0)));
  for (int f = 0; f < 3; ++f) regs_.set(static_cast<uint8_t>(kRegFan1 + f), fanCount(f));
  measureBankTemp(kTempBank2, 1);
  if (part_.temps > 2) measureBankTemp(kTempBank3, 2);
  if (part_.bank5Volts) {
    banks_[kVoltBank].set(kRegBankTemp, VoltToReg(*this, kBankVoltPin, kVoltStep));
    banks_[kVoltBank].set(kRegBankHalf, VoltToReg(*this, kBankVoltPin + 1, kVoltStep));
  }
}

void WinbondModel::afterWrite(uint8_t index) {
  if (part_.serial) followSerialAddress(index);
  if (index == kRegSubAddr) placeSubclients();
}

std::optional<uint8_t> WinbondModel::subclientAddress(int n) const {
  return subAddr_.at(static_cast<size_t>(n));
}

// Each sub-client answers at 48h plus its 3-bit field of 4Ah unless the
// field's disable bit (3 or 7) is set.
void WinbondModel::placeSubclients() {
  SmbusBus* b = bus();
  if (!b) return;
  const uint8_t r = regs_.get(kRegSubAddr);
  for (int i = 0; i < part_.subclients; ++i) {
    const auto n = static_cast<size_t>(i);
    const int field = r >> (kSubShift * i);
    std::optional<uint8_t> want;
    if ((field & kSubDisable) == 0) want = static_cast<uint8_t>(kSubBase + (field & kSubFieldMask));
    if (want == subAddr_[n]) continue;
    if (subAddr_[n] && b->find(*subAddr_[n]) == subs_[n].get()) b->detach(*subAddr_[n]);
    if (want) b->attach(*want, subs_[n].get());
    subAddr_[n] = want;
  }
}

}  // namespace kev::sim
