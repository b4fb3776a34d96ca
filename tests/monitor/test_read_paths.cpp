// Reads through both access paths against simulated chips built by hand.
#include <gtest/gtest.h>

#include "monitor/fan_channel.h"
#include "monitor/temp_channel.h"
#include "monitor/volt_channel.h"
#include "monitor_rig.h"
#include "sim/chips.h"
#include "sim/smbus_host.h"

namespace kev {
namespace {

using sim::ChipModelKind;
using sim::FanInput;
using sim::Signal;
using sim::VoltInput;

constexpr uint16_t kIsaBase = 0x290;
constexpr uint16_t kSmbBase = 0x5000;
constexpr uint8_t kChipAddress = 0x2D;
constexpr int32_t kPiix4Id = 0x71138086;
constexpr uint8_t kRegBankSelect = 0x4E;  // Winbond
constexpr uint8_t kRegFanEnable = 0x4D;   // Winbond
constexpr uint8_t kRegSubClients = 0x4A;  // Winbond / AS99127F
constexpr uint8_t kRegGlConfig = 0x03;    // GL520SM: bit 4 turns 0Eh into VIN4
constexpr uint8_t kGlVin4Bit = 0x10;

// A temperature sensor whose register 00h holds a fixed word.
class FixedWordSensor : public sim::SmbusSlave {
 public:
  explicit FixedWordSensor(uint16_t w) : word(w) {}
  std::optional<uint8_t> smbReadByte(uint8_t) override { return static_cast<uint8_t>(word >> 8); }
  bool smbWriteByte(uint8_t, uint8_t) override { return true; }
  std::optional<uint16_t> smbReadWord(uint8_t) override { return word; }
  uint16_t word;
};

// A machine with a PIIX4-type SMBus host; chips are added per test.
struct Bench {
  Bench() : host(sim::AddSmbusHost(machine, sim::SmbusHostFamily::Piix4, kSmbBase, bus)) {
    rig.detect.pm.VendorDevice = kPiix4Id;
    rig.detect.pm.SmbBase = kSmbBase;
    rig.settings.MainChipPortAddress = kIsaBase;
  }
  sim::MonitorChip& AddChip(ChipModelKind model, int32_t kind, bool smbus) {
    sim::MonitorChip& chip = sim::AddMonitorChip(machine, model, &bus,
                                                 smbus || !sim::IsIsaCapable(model) ? -1 : kIsaBase,
                                                 smbus ? kChipAddress : -1);
    rig.detect.chip.ChipKind = kind;
    rig.detect.chip.MainSmbAddress = smbus ? kChipAddress : -1;
    rig.settings.MainChipSMBUse = smbus;
    return chip;
  }
  sim::SimMachine machine;
  sim::SmbusBus bus;
  sim::SmbusHost& host;
  test::MonitorRig rig{machine};
};

class WinbondPaths : public ::testing::TestWithParam<bool> {};

TEST_P(WinbondPaths, FansTempsAndVoltsReadThroughEitherPath) {
  Bench b;
  sim::MonitorChip& chip = b.AddChip(ChipModelKind::W83782D, kind::W83782D, GetParam());
  chip.setFan(0, FanInput{Signal::constant(4411), 2, true});
  chip.setTemp(0, Signal::constant(40));
  chip.setTemp(1, Signal::constant(45.5));
  chip.setVolt(5, VoltInput{Signal::constant(100), true});
  chip.setVolt(7, VoltInput{Signal::constant(200), true});
  b.rig.settings.VoltPrecision = 2;

  EXPECT_EQ(ReadFanChannel(b.rig.ctx, 0), "4411RPM");
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 0), "40.0C / 104.0F");
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 1), "45.5C / 113.5F");
  EXPECT_EQ(ReadVoltChannel(b.rig.ctx, 5), "-6.687V");
  EXPECT_EQ(ReadVoltChannel(b.rig.ctx, 7), "+5.376V");
  // Every register read goes back to bank 0 except a bank-5 input over the
  // SMBus, which stays there.
  EXPECT_EQ(chip.reg(0, kRegBankSelect) & 0x07, GetParam() ? 5 : 0);
  ReadTempChannel(b.rig.ctx, 2);
  EXPECT_EQ(chip.reg(0, kRegBankSelect) & 0x07, 0);
}

INSTANTIATE_TEST_SUITE_P(IsaAndSmbus, WinbondPaths, ::testing::Bool());

TEST(FanRead, OneFanPulsePerRevolution) {
  Bench b;
  sim::MonitorChip& chip = b.AddChip(ChipModelKind::W83782D, kind::W83782D, false);
  chip.setFan(1, FanInput{Signal::constant(6000), 1, true});
  b.rig.settings.Fan2PPR = 2;
  b.rig.detect.FanDivisor = {2, 4, 2};  // clock divisor 2 times the setting
  EXPECT_EQ(ReadFanChannel(b.rig.ctx, 1), "6000RPM");
}

TEST(FanRead, MissingFanAndMissingInputAreErrors) {
  Bench b;
  sim::MonitorChip& chip = b.AddChip(ChipModelKind::Lm80, kind::LM80, true);
  chip.setFan(0, FanInput{Signal::constant(3000), 2, true});
  EXPECT_EQ(ReadFanChannel(b.rig.ctx, 2), "N/A [Err]");
  EXPECT_TRUE(b.rig.channels[2].inError);
  EXPECT_EQ(ReadFanChannel(b.rig.ctx, 1), "N/A [Err]");  // no fan on the pin
  EXPECT_FALSE(ReadFanChannel(b.rig.ctx, 0).ends_with("[Err]"));
  EXPECT_FALSE(b.rig.channels[0].inError);
}

TEST(FanRead, GenesysFansShareOneWord) {
  Bench b;
  sim::MonitorChip& chip = b.AddChip(ChipModelKind::Gl518SM, kind::GL518SM, true);
  chip.setFan(0, FanInput{Signal::constant(2400), 2, true});
  chip.setFan(1, FanInput{Signal::constant(4000), 2, true});
  b.rig.detect.FanDivisor = {1, 1, 2};  // the part's power-on divisors
  EXPECT_NEAR(std::stoi(ReadFanChannel(b.rig.ctx, 0)), 2400, 30);
  EXPECT_NEAR(std::stoi(ReadFanChannel(b.rig.ctx, 1)), 4000, 60);
}

TEST(TempRead, WordSensorHalfDegreeCountsAwayFromZero) {
  Bench b;
  b.AddChip(ChipModelKind::Lm78, kind::LM78, false);
  FixedWordSensor sensor(0xFF80);
  b.bus.attach(0x48, &sensor);
  b.rig.settings.Temp2SMBUse = true;
  b.rig.settings.Temp2SMBAddress = 6;  // 48h
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 1), "-1.5C / 30.5F");
  sensor.word = 0x2D80;
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 1), "45.5C / 113.5F");
  b.bus.setSilent(0x48, true);
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 1), "N/A");
  b.bus.setSilent(0x48, false);
  // Without the auxiliary sensor an LM78 has no second temperature.
  b.rig.settings.Temp2SMBUse = false;
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 1), "N/A");
}

TEST(TempRead, ByteSensorRemoteAndAdjustor) {
  Bench b;
  b.AddChip(ChipModelKind::Lm78, kind::LM78, false);
  sim::MonitorChip& max = sim::AddMonitorChip(b.machine, ChipModelKind::Max1617, &b.bus, -1, 0x4C);
  max.setTemp(0, Signal::constant(30));
  max.setTemp(1, Signal::constant(55));
  b.rig.detect.chip.SmbTempSensorType = kSensorByte;
  b.rig.settings.Temp2SMBUse = b.rig.settings.Temp3SMBUse = true;
  b.rig.settings.Temp2SMBAddress = b.rig.settings.Temp3SMBAddress = 10;  // 4Ch
  b.rig.settings.Temp3Adjustor = -5;
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 1), "30.0C / 86.0F");
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 2), "50.0C / 122.0F");
}

TEST(TempRead, AuxIndexOutsideTheListHasNoReading) {
  Bench b;
  b.AddChip(ChipModelKind::Lm78, kind::LM78, false);
  sim::AddMonitorChip(b.machine, ChipModelKind::Lm75, &b.bus, -1, 0x48);
  b.rig.settings.Temp3SMBUse = true;
  for (int32_t index : {-1, 14, 1000}) {
    b.rig.settings.Temp3SMBAddress = index;
    EXPECT_EQ(ReadTempChannel(b.rig.ctx, 2), "N/A") << index;
  }
}

TEST(TempRead, AsusSubClientCorrection) {
  Bench b;
  b.AddChip(ChipModelKind::As99127FWb, kind::AS99127F_WB, true);
  b.rig.detect.chip.SmbTempSensorType = kind::AS99127F_WB;
  FixedWordSensor sub(0x2800);  // 40 degrees in the sub-client's own scale
  b.bus.attach(0x4B, &sub);
  b.rig.detect.SubClientIndex = 9;  // 4Bh
  b.rig.settings.Temp2SMBAddress = 9;
  b.rig.settings.Temp3SMBAddress = 9;
  b.rig.settings.Temp3SMBUse = true;  // the chip itself is the auxiliary sensor
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 1), "52.0C / 125.0F");
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 2), "52.0C / 125.0F");
  sub.word = 0x6E00;  // 110: outside the corrected range
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 1), "110.0C / 230.0F");
  sub.word = 0x2800;
  b.rig.detect.SubClientIndex = 8;  // another sub-client reads as it is
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 1), "40.0C / 104.0F");
}

TEST(TempRead, AsusSubClientsShowTheBoardTemperatures) {
  Bench b;
  sim::MonitorChip& chip = b.AddChip(ChipModelKind::As99127FWb, kind::AS99127F_WB, true);
  b.rig.detect.chip.SmbTempSensorType = kind::AS99127F_WB;
  const int32_t first = 6 + (chip.reg(0, kRegSubClients) & 0x07);
  const int32_t second = 6 + ((chip.reg(0, kRegSubClients) >> 4) & 0x07);
  b.rig.detect.SubClientIndex = first;
  b.rig.settings.Temp2SMBAddress = first;
  b.rig.settings.Temp3SMBAddress = second;
  chip.setTemp(1, Signal::constant(52));
  chip.setTemp(2, Signal::constant(38));
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 1), "52.0C / 125.0F");
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 2), "38.0C / 100.0F");
}

// Detection flags move one input to another register of the same chip.
TEST(VoltRead, DetectionFlagsPickTheAlternativeRegister) {
  {
    Bench b;
    sim::MonitorChip& chip = b.AddChip(ChipModelKind::Lm87, kind::LM87, true);
    chip.setVolt(0, VoltInput{Signal::constant(192), true});  // 20h
    chip.setVolt(5, VoltInput{Signal::constant(141), true});  // 25h
    b.rig.settings.VoltPrecision = 2;
    EXPECT_EQ(ReadVoltChannel(b.rig.ctx, 1), "+2.496V");
    b.rig.detect.DualCoreVoltage = true;  // second core voltage in 25h
    EXPECT_EQ(ReadVoltChannel(b.rig.ctx, 1), "+1.988V");
  }
  {
    Bench b;
    sim::MonitorChip& chip = b.AddChip(ChipModelKind::Gl520SM, kind::GL520SM, true);
    chip.setReg(0, kRegGlConfig, static_cast<uint8_t>(chip.reg(0, kRegGlConfig) | kGlVin4Bit));
    chip.setVolt(4, VoltInput{Signal::constant(126), true});  // VIN4 in 0Eh
    b.rig.settings.VoltPrecision = 2;
    EXPECT_EQ(ReadVoltChannel(b.rig.ctx, 5), "N/A");
    b.rig.detect.chip.Gl520Vin4Mode = true;
    EXPECT_EQ(ReadVoltChannel(b.rig.ctx, 5), "-11.970V");
  }
}

TEST(FailedReads, KeepTheErrorFlags) {
  Bench b;
  sim::MonitorChip& chip = b.AddChip(ChipModelKind::W83782D, kind::W83782D, true);
  chip.setTemp(0, Signal::constant(90));
  chip.setVolt(0, VoltInput{Signal::constant(250), true});
  b.rig.settings.Temp1Limit = 80;
  b.rig.settings.Volt1ULimit = 200;
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 0), "90.0C / 194.0F [Err]");
  EXPECT_EQ(ReadVoltChannel(b.rig.ctx, 0), "+4.0V [Err]");
  chip.setVanished(true);
  EXPECT_EQ(ReadTempChannel(b.rig.ctx, 0), "N/A");
  EXPECT_EQ(ReadVoltChannel(b.rig.ctx, 0), "N/A");
  EXPECT_TRUE(b.rig.channels[3].inError);
  EXPECT_TRUE(b.rig.channels[6].inError);
  EXPECT_EQ(ReadFanChannel(b.rig.ctx, 0), "N/A [Err]");
}

TEST(FanCounter, SwitchesOneBitAndKeepsTheOthers) {
  for (bool smbus : {false, true}) {
    Bench b;
    sim::MonitorChip& chip = b.AddChip(ChipModelKind::W83782D, kind::W83782D, smbus);
    chip.setReg(0, kRegFanEnable, 0x15);
    SetFanCounter(b.rig.ctx, 1, false);
    EXPECT_EQ(chip.reg(0, kRegFanEnable), 0x11) << smbus;
    SetFanCounter(b.rig.ctx, 1, true);
    EXPECT_EQ(chip.reg(0, kRegFanEnable), 0x15) << smbus;
  }
}

TEST(FanCounter, FailedReadWritesNothing) {
  Bench b;
  sim::MonitorChip& chip = b.AddChip(ChipModelKind::W83783S, kind::W83783S, true);
  chip.setReg(0, kRegFanEnable, 0x15);
  b.bus.setSilent(kChipAddress, true);
  SetFanCounter(b.rig.ctx, 0, false);
  b.bus.setSilent(kChipAddress, false);
  EXPECT_EQ(chip.reg(0, kRegFanEnable), 0x15);
}

TEST(FanCounter, OtherChipsAreLeftAlone) {
  Bench b;
  sim::MonitorChip& chip = b.AddChip(ChipModelKind::Lm78, kind::LM78, false);
  b.machine.resetAccessCount();
  SetFanCounter(b.rig.ctx, 0, false);
  EXPECT_EQ(b.machine.accessCount(), 0u);
  (void)chip;
}

}  // namespace
}  // namespace kev
