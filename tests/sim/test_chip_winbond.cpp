// The Winbond parts and the AS99127F: banks, vendor ID byte select, divisor
// extension bits, fan counter switches and the sub-client devices.
#include <gtest/gtest.h>

#include "sim/chips.h"
#include "test_chip_access.h"

namespace kev::sim {
namespace {

using testing::IsaPair;
using testing::SmbDev;

constexpr uint16_t kBase = 0x290;
constexpr uint8_t kMain = 0x2D;
constexpr uint8_t kTemp1 = 0x27;
constexpr uint8_t kFan1 = 0x28;
constexpr uint8_t kFan3 = 0x2A;
constexpr uint8_t kFanDiv = 0x47;
constexpr uint8_t kSubAddr = 0x4A;
constexpr uint8_t kPinCtl = 0x4B;
constexpr uint8_t kFanInOut = 0x4D;
constexpr uint8_t kBank = 0x4E;
constexpr uint8_t kVendor = 0x4F;
constexpr uint8_t kBankTemp = 0x50;
constexpr uint8_t kBankHalf = 0x51;
constexpr uint8_t kBankConfig = 0x52;
constexpr uint8_t kChipId = 0x58;
constexpr uint8_t kVbat = 0x5D;

FanInput Fan(double rpm) { return {Signal::constant(rpm), 2, true}; }

// Reads a register in a bank the way the program's banked path does.
int BankedRead(SmbDev& d, uint8_t bank, uint8_t reg) {
  d.write(kBank, bank);
  const int v = d.read(reg);
  d.write(kBank, 0x80);
  return v;
}

TEST(WinbondIdentity, VendorBytesAndChipIdOfEveryPart) {
  struct Case {
    ChipModelKind kind;
    int vendor;
    int chipId;
  };
  const Case cases[] = {
      {ChipModelKind::W83781D, 0x5CA3, 0x10},    {ChipModelKind::W83627HF, 0x5CA3, 0x21},
      {ChipModelKind::W83782D, 0x5CA3, 0x30},    {ChipModelKind::W83783S, 0x5CA3, 0x40},
      {ChipModelKind::As99127FWb, 0x5CA3, 0x31}, {ChipModelKind::As99127FAs, 0x12C3, 0x31},
  };
  for (const Case& c : cases) {
    SimMachine m;
    SmbusBus bus;
    AddMonitorChip(m, c.kind, &bus, -1, kMain);
    SmbDev d{bus, kMain};
    const int vendor = BankedRead(d, 0x80, kVendor) * 256 + BankedRead(d, 0x00, kVendor);
    EXPECT_EQ(vendor, c.vendor) << ChipModelName(c.kind);
    EXPECT_EQ(BankedRead(d, 0x80, kChipId), c.chipId) << ChipModelName(c.kind);
  }
  SimMachine m;
  AddMonitorChip(m, ChipModelKind::W83697HF, nullptr, kBase, -1);
  AddMonitorChip(m, ChipModelKind::WinbondOther, nullptr, 0x2A0, -1);
  IsaPair isa{m, kBase};
  isa.write(kBank, 0x80);
  EXPECT_EQ(isa.read(kChipId), 0x60);
  IsaPair other{m, 0x2A0};
  other.write(kBank, 0x80);
  EXPECT_EQ(other.read(kVendor), 0x5C);
  for (int listed : {0x10, 0x21, 0x30, 0x40, 0x60, 0x31}) EXPECT_NE(other.read(kChipId), listed);
}

struct W83782dFixture : ::testing::Test {
  SimMachine m;
  SmbusBus bus;
  MonitorChip& chip = AddMonitorChip(m, ChipModelKind::W83782D, &bus, kBase, kMain);
  IsaPair isa{m, kBase};
};

TEST_F(W83782dFixture, BankRegisterKeepsOnlyItsBitsAndSelectsTheBankedRange) {
  isa.write(kBank, 0xFF);
  EXPECT_EQ(isa.read(kBank), 0x87);
  EXPECT_EQ(isa.read(kVendor), 0x5C);
  isa.write(kBank, 0x07);
  EXPECT_EQ(isa.read(kVendor), 0xA3);
  isa.write(kVendor, 0x00);  // read-only
  EXPECT_EQ(isa.read(kVendor), 0xA3);
  chip.setTemp(1, Signal::constant(50));
  isa.write(kBank, 0x01);
  EXPECT_EQ(isa.read(kBankTemp), 50);
  EXPECT_NE(isa.read(kChipId), 0x30);                // the chip ID lives in bank 0 only
  EXPECT_EQ(isa.read(kTemp1), chip.reg(0, kTemp1));  // below 50h every bank is the same
  isa.write(kBank, 0x80);
  isa.write(kChipId, 0x99);
  EXPECT_EQ(isa.read(kChipId), 0x30);
}

TEST_F(W83782dFixture, TemperaturesWithHalfDegrees) {
  chip.setTemp(0, Signal::constant(41.2));
  chip.setTemp(1, Signal::constant(45.5));
  chip.setTemp(2, Signal::constant(-1.5));
  EXPECT_EQ(chip.reg(0, kTemp1), 41);
  EXPECT_EQ(chip.reg(1, kBankTemp), 45);
  EXPECT_EQ(chip.reg(1, kBankHalf), 0x80);
  EXPECT_EQ(chip.reg(2, kBankTemp), 0xFE);  // -1.5 as 9-bit two's complement
  EXPECT_EQ(chip.reg(2, kBankHalf), 0x80);
}

TEST_F(W83782dFixture, StopBitOfABankSensorFreezesIt) {
  chip.setTemp(1, Signal::constant(30));
  isa.write(kBank, 0x01);
  isa.write(kBankConfig, 0x01);
  chip.setTemp(1, Signal::constant(60));
  EXPECT_EQ(isa.read(kBankTemp), 30);
  isa.write(kBankConfig, 0x00);
  EXPECT_EQ(isa.read(kBankTemp), 60);
}

TEST_F(W83782dFixture, Bank5CarriesTheEighthAndNinthInputs) {
  chip.setVolt(7, {Signal::constant(2.0), false});
  chip.setVolt(8, {Signal::constant(3.0), false});
  isa.write(kBank, 0x85);
  EXPECT_EQ(isa.read(0x50), 125);
  EXPECT_EQ(isa.read(0x51), 188);
}

TEST_F(W83782dFixture, EightStepDivisorUsesTheExtensionBits) {
  chip.setFan(2, Fan(300));
  EXPECT_EQ(isa.read(kFan3), 255);  // divisor 2: 2250 overflows
  isa.write(kPinCtl, static_cast<uint8_t>(isa.read(kPinCtl) | 0xC0));
  EXPECT_EQ(isa.read(kFan3), 255);  // divisor 8: 562
  isa.write(kVbat, 0x80);           // third bit: divisor 128
  EXPECT_EQ(isa.read(kFan3), 35);
  chip.setFan(0, Fan(4500));
  isa.write(kFanDiv, 0x00);  // fan 1 code 000: divisor 1
  EXPECT_EQ(isa.read(kFan1), 255);
  isa.write(kVbat, 0xA0);  // fan 1 code 100: divisor 16
  EXPECT_EQ(isa.read(kFan1), 19);
}

TEST(WinbondDivisor, FourStepPartIgnoresRegister5D) {
  SimMachine m;
  MonitorChip& chip = AddMonitorChip(m, ChipModelKind::W83781D, nullptr, kBase, -1);
  IsaPair isa{m, kBase};
  chip.setFan(2, Fan(1000));
  isa.write(kPinCtl, 0xC0);
  isa.write(kVbat, 0xE0);
  EXPECT_EQ(isa.read(kFan3), 169);  // divisor 8 only
}

TEST_F(W83782dFixture, FanCounterSwitchIn4D) {
  chip.setFan(0, Fan(3000));
  EXPECT_EQ(isa.read(kFan1), 225);
  isa.write(kFanInOut, static_cast<uint8_t>(isa.read(kFanInOut) & 0xFE));
  EXPECT_EQ(isa.read(kFan1), 255);
  isa.write(kFanInOut, static_cast<uint8_t>(isa.read(kFanInOut) | 0x01));
  EXPECT_EQ(isa.read(kFan1), 225);
}

TEST_F(W83782dFixture, DiodeBitsAreWritable) {
  isa.write(kBank, 0x80);
  isa.write(kVbat, 0x0E);
  EXPECT_EQ(isa.read(kVbat) & 0x0E, 0x0E);
}

TEST_F(W83782dFixture, SubclientsFollowRegister4A) {
  chip.setTemp(1, Signal::constant(45.5));
  chip.setTemp(2, Signal::constant(20));
  // Power-on 01h: temperature 2 at 49h, temperature 3 at 48h.
  EXPECT_EQ((SmbDev{bus, 0x49}.readWord(0x00)), 0x2D80);
  EXPECT_EQ((SmbDev{bus, 0x48}.readWord(0x00)), 0x1400);
  SmbDev main{bus, kMain};
  ASSERT_TRUE(main.write(kSubAddr, 0x5A));  // first disabled (bit 3), second at 4Dh
  EXPECT_EQ(bus.find(0x49), nullptr);
  EXPECT_EQ(bus.find(0x4A), nullptr);
  EXPECT_EQ(bus.find(0x48), nullptr);
  EXPECT_EQ((SmbDev{bus, 0x4D}.readWord(0x00)), 0x1400);
  ASSERT_TRUE(main.write(kSubAddr, 0xB3));  // first at 4Bh, second disabled (bit 7)
  EXPECT_EQ((SmbDev{bus, 0x4B}.read(0x00)), 45);
  EXPECT_EQ(bus.find(0x4D), nullptr);
}

TEST_F(W83782dFixture, SubclientRegistersAreTheBankSensorRegisters) {
  SmbDev sub{bus, 0x49};
  ASSERT_TRUE(sub.write(0x01, 0x01));  // configuration: stop
  isa.write(kBank, 0x01);
  EXPECT_EQ(isa.read(kBankConfig), 0x01);
  ASSERT_TRUE(sub.writeWord(0x03, 0x5500));  // over-temperature 85
  EXPECT_EQ(isa.read(0x55), 0x55);
  EXPECT_EQ(sub.readWord(0x02), 0x4B00);     // hysteresis power-on 75
  ASSERT_TRUE(sub.writeWord(0x00, 0x1234));  // the temperature is read-only
  EXPECT_NE(sub.readWord(0x00), 0x1234);
}

TEST_F(W83782dFixture, VanishedChipTakesItsSubclientsAlong) {
  chip.setVanished(true);
  EXPECT_EQ((SmbDev{bus, 0x49}.readWord(0x00)), -1);
  EXPECT_EQ((SmbDev{bus, kMain}.read(kChipId)), -1);
  EXPECT_EQ(isa.read(kVendor), 0xFF);
}

TEST(W83783s, OneSubclientTwoDiodeBitsNoSecondInput) {
  SimMachine m;
  SmbusBus bus;
  MonitorChip& chip = AddMonitorChip(m, ChipModelKind::W83783S, &bus, -1, kMain);
  SmbDev d{bus, kMain};
  chip.setTemp(1, Signal::constant(30));
  EXPECT_EQ((SmbDev{bus, 0x49}.read(0x00)), 30);
  EXPECT_EQ(bus.find(0x48), nullptr);  // no third sensor
  ASSERT_TRUE(d.write(kSubAddr, 0x74));
  EXPECT_EQ(d.read(kSubAddr), 0x04);  // bits 7-4 not implemented
  EXPECT_NE(bus.find(0x4C), nullptr);
  d.write(kBank, 0x80);
  d.write(kVbat, 0x0E);
  EXPECT_EQ(d.read(kVbat) & 0x0E, 0x06);  // sensors 1 and 2 only
  EXPECT_EQ(d.read(0x21), 0xFF);
  d.write(kBank, 0x02);
  EXPECT_EQ(d.read(kBankTemp), 0xFF);  // no bank 2 sensor
}

TEST(W83697hf, IsaOnlyWithoutSubclientRegister) {
  SimMachine m;
  AddMonitorChip(m, ChipModelKind::W83697HF, nullptr, kBase, -1);
  IsaPair isa{m, kBase};
  EXPECT_EQ(isa.read(kSubAddr), 0xFF);
}

TEST(As99127f, FirstSubclientReportsTheBoardScale) {
  SimMachine m;
  SmbusBus bus;
  MonitorChip& chip = AddMonitorChip(m, ChipModelKind::As99127FAs, &bus, -1, kMain);
  chip.setTemp(1, Signal::constant(52));
  chip.setTemp(2, Signal::constant(40));
  const int raw = SmbDev{bus, 0x49}.readWord(0x00);
  const int t = static_cast<int8_t>(raw >> 8);
  EXPECT_EQ(((t * 60) / 43 + 50) / 2, 52);
  EXPECT_EQ((SmbDev{bus, 0x48}.readWord(0x00)), 0x2800);  // second sub-client plain
}

}  // namespace
}  // namespace kev::sim
