#include <algorithm>
#include <cmath>

#include "sim/integrated.h"

namespace kev::sim {

namespace {

constexpr uint8_t kPciMonitorBase = 0x70;
constexpr uint8_t kPciMonitorEnable = 0x74;
constexpr uint8_t kEnableBit = 0x01;
constexpr uint16_t kBaseMask = 0xFF80;
constexpr uint16_t kWindow = 0x80;

constexpr uint8_t kRegTemp = 0x20;  // 20h, 21h
constexpr uint8_t kRegVin = 0x22;   // 22h-26h
constexpr uint8_t kRegFan = 0x29;   // 29h, 2Ah
constexpr uint8_t kRegConfig = 0x40;
constexpr uint8_t kConfigStart = 0x01;
constexpr uint8_t kConfigIntClear = 0x08;
constexpr uint8_t kRegFanDivisor = 0x47;  // bits 5-4 fan 1, 7-6 fan 2
constexpr uint8_t kDivisorPowerOn = 0x50;
constexpr int kVins = 5;
constexpr int kFans = 2;
constexpr double kFanClockHz = 22500;

// ADC: code = (mV at the pin x 2.1024 - 133) / 25; the 8-bit register keeps
// the low byte, so a pin above about 3.1 V reads as a small value.
constexpr double kAdcGain = 10512.0 / 5000.0;
constexpr double kAdcOffset = 133;
constexpr double kAdcStep = 25;
constexpr int kAdcMaxCode = 0x1FF;

// Thermistor response: the temperature each code 0Fh-F3h stands for.
constexpr uint8_t kFirstTempCode = 0x0F;
constexpr std::array<int8_t, 229> kThermistor{{
    -50, -49, -47, -45, -43, -41, -39, -38, -37, -35, -34, -33, -32, -31, -30, -29, -28, -27,
    -26, -25, -24, -24, -23, -22, -21, -20, -20, -19, -18, -17, -17, -16, -15, -15, -14, -14,
    -13, -12, -12, -11, -11, -10, -9,  -9,  -8,  -8,  -7,  -7,  -6,  -6,  -5,  -5,  -4,  -4,
    -3,  -3,  -2,  -2,  -1,  -1,  0,   0,   1,   1,   1,   3,   3,   3,   4,   4,   4,   5,
    5,   5,   6,   6,   7,   7,   8,   8,   9,   9,   9,   10,  10,  11,  11,  12,  12,  12,
    13,  13,  13,  14,  14,  15,  15,  16,  16,  16,  17,  17,  18,  18,  19,  19,  20,  20,
    21,  21,  21,  22,  22,  22,  23,  23,  24,  24,  25,  25,  26,  26,  26,  27,  27,  27,
    28,  28,  29,  29,  30,  30,  30,  31,  31,  32,  32,  33,  33,  34,  34,  35,  35,  35,
    36,  36,  37,  37,  38,  38,  39,  39,  40,  40,  41,  41,  42,  42,  43,  43,  44,  44,
    45,  45,  46,  46,  47,  48,  48,  49,  49,  50,  51,  51,  52,  52,  53,  53,  54,  55,
    55,  56,  57,  57,  58,  59,  59,  60,  61,  62,  62,  63,  64,  65,  66,  66,  67,  68,
    69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,  80,  81,  83,  84,  85,  86,  88,
    89,  91,  92,  94,  96,  97,  99,  101, 103, 105, 107, 109, 110,
}};

bool IsMeasured(uint8_t index) {
  return (index >= kRegTemp && index < kRegVin + kVins) ||
         (index >= kRegFan && index < kRegFan + kFans);
}

}  // namespace

uint8_t ViaMonitor::TempCode(double celsius) {
  // The first code whose temperature reaches the input; the ends clamp.
  for (size_t i = 0; i < kThermistor.size(); ++i)
    if (kThermistor[i] >= celsius - 0.5) return static_cast<uint8_t>(kFirstTempCode + i);
  return static_cast<uint8_t>(kFirstTempCode + kThermistor.size() - 1);
}

int ViaMonitor::VoltCode(double volts) {
  const double code = (volts * 1000 * kAdcGain - kAdcOffset) / kAdcStep;
  return static_cast<int>(std::clamp(std::lround(code), 0L, static_cast<long>(kAdcMaxCode)));
}

ViaMonitor::ViaMonitor(SimMachine& m, PciFunction& pm)
    : HwmonInputs(m.clock()), machine_(m), pm_(pm) {
  regs_[kRegConfig] = kConfigStart;
  regs_[kRegFanDivisor] = kDivisorPowerOn;
  pm.onWrite([this](uint8_t offset, uint8_t, uint8_t) {
    if (offset == kPciMonitorBase || offset == kPciMonitorBase + 1 || offset == kPciMonitorEnable)
      place();
  });
  place();
}

ViaMonitor::~ViaMonitor() { machine_.unmap(this); }

void ViaMonitor::place() {
  machine_.unmap(this);
  base_ = 0;
  if (!(pm_.get8(kPciMonitorEnable) & kEnableBit)) return;
  base_ = pm_.get16(kPciMonitorBase) & kBaseMask;
  if (base_ != 0) machine_.map(base_, kWindow, this);
}

uint8_t ViaMonitor::measured(uint8_t index) const {
  if (index < kRegVin) return TempCode(tempC(index - kRegTemp));
  if (index < kRegVin + kVins) {
    const int n = index - kRegVin;
    const double v = voltValue(n);
    const long code =
        volt(n).raw ? std::clamp(std::lround(v), 0L, static_cast<long>(kAdcMaxCode)) : VoltCode(v);
    return static_cast<uint8_t>(code & 0xFF);
  }
  const int n = index - kRegFan;
  const int div = 1 << ((regs_[kRegFanDivisor] >> (4 + 2 * n)) & 0x03);
  return static_cast<uint8_t>(TachCount(fan(n), fan(n).rpm.at(nowMs()), kFanClockHz, div));
}

uint8_t ViaMonitor::reg(uint8_t index) {
  index &= 0x7F;
  if (IsMeasured(index) && (regs_[kRegConfig] & kConfigStart)) regs_[index] = measured(index);
  return image_.read(0, index, regs_[index]);
}

uint8_t ViaMonitor::ioRead8(uint16_t port) {
  if (vanished()) return 0xFF;
  return reg(static_cast<uint8_t>(port - base_));
}

void ViaMonitor::ioWrite8(uint16_t port, uint8_t value) {
  if (vanished()) return;
  const auto index = static_cast<uint8_t>((port - base_) & 0x7F);
  if (IsMeasured(index)) return;
  if (index == kRegConfig) value = static_cast<uint8_t>(value & ~kConfigIntClear);
  regs_[index] = value;
}

}  // namespace kev::sim
