// LM80, LM81 and LM87 on the SMBus: the register behaviour identification
// and configuration depend on.
#include <gtest/gtest.h>

#include "sim/chips.h"
#include "test_chip_access.h"

namespace kev::sim {
namespace {

using testing::SmbDev;

constexpr uint8_t kAddr = 0x2C;
FanInput Fan(double rpm) { return {Signal::constant(rpm), 2, true}; }

struct Lm80Fixture : ::testing::Test {
  SimMachine m;
  SmbusBus bus;
  MonitorChip& chip = AddMonitorChip(m, ChipModelKind::Lm80, &bus, -1, kAddr);
  SmbDev d{bus, kAddr};
};

TEST_F(Lm80Fixture, AnswersTheIdentificationProbesAsAnLm80) {
  chip.setReg(0, 0x09, 0x49);        // reserved, as one real part holds it
  EXPECT_EQ(d.read(0x49), 0x49);     // its alias, not an LM78 chip ID
  ASSERT_TRUE(d.write(0x49, 0x00));  // reserved registers ignore the host
  EXPECT_EQ(d.read(0xC9), 0x49);
  ASSERT_TRUE(d.write(0x00, 0x01));
  EXPECT_EQ(d.read(0x00) & 0x01, 0x01);
  // Six address bits: 40h is the configuration register again.
  EXPECT_EQ(d.read(0x40), d.read(0x00));
  ASSERT_TRUE(d.write(0x6A, 0x5C));  // a limit register through its alias
  EXPECT_EQ(d.read(0x2A), 0x5C);
  EXPECT_EQ(d.read(0xEA), 0x5C);
}

TEST_F(Lm80Fixture, TemperatureWithHalfDegreeIn06) {
  chip.setTemp(0, Signal::constant(25.5));
  EXPECT_EQ(d.read(0x27), 25);
  EXPECT_EQ(d.read(0x06) & 0x80, 0x80);
  chip.setTemp(0, Signal::constant(25));
  EXPECT_EQ(d.read(0x06) & 0x80, 0);
  chip.setTemp(0, Signal::constant(-0.5));
  EXPECT_EQ(d.read(0x27), 0xFF);
  EXPECT_EQ(d.read(0x06) & 0xF0, 0x80);
  ASSERT_TRUE(d.write(0x06, 0xF8));  // fraction bits are read-only; bit 3: eighths
  chip.setTemp(0, Signal::constant(20.375));
  EXPECT_EQ(d.read(0x27), 20);
  EXPECT_EQ(d.read(0x06), 0x68);  // 3/8 in bits 7-5, mode bit kept
}

TEST_F(Lm80Fixture, DivisorFieldsIn05AndTenMillivoltSteps) {
  chip.setFan(0, Fan(3000));
  chip.setFan(1, Fan(3000));
  EXPECT_EQ(d.read(0x28), 225);
  ASSERT_TRUE(d.write(0x05, 0x28));  // fan 1 code 10, fan 2 code 10: divisor 4
  EXPECT_EQ(d.read(0x28), 113);
  EXPECT_EQ(d.read(0x29), 113);
  chip.setVolt(2, {Signal::constant(2.5), false});
  EXPECT_EQ(d.read(0x22), 250);
  ASSERT_TRUE(d.write(0x22, 0x00));
  EXPECT_EQ(d.read(0x22), 250);
}

TEST(Lm87, IdentificationAndCompanyId) {
  SimMachine m;
  SmbusBus bus;
  AddMonitorChip(m, ChipModelKind::Lm87, &bus, -1, 0x2D);
  AddMonitorChip(m, ChipModelKind::Lm81, &bus, -1, 0x2E);
  SmbDev lm87{bus, 0x2D};
  SmbDev lm81{bus, 0x2E};
  EXPECT_EQ(lm87.read(0x49) & 0xFE, 0x80);
  EXPECT_EQ(lm81.read(0x49) & 0xFE, 0x80);
  EXPECT_EQ(lm87.read(0x3E), 0x02);
  EXPECT_EQ(lm81.read(0x3E), 0x01);
  ASSERT_TRUE(lm87.write(0x3E, 0x00));
  EXPECT_EQ(lm87.read(0x3E), 0x02);
  ASSERT_TRUE(lm87.write(0x40, 0x01));
  EXPECT_NE(lm87.read(0x40), 0);
}

TEST(Lm87, TemperaturesVoltagesAndFans) {
  SimMachine m;
  SmbusBus bus;
  MonitorChip& chip = AddMonitorChip(m, ChipModelKind::Lm87, &bus, -1, 0x2D);
  SmbDev d{bus, 0x2D};
  chip.setTemp(0, Signal::constant(35));
  chip.setTemp(1, Signal::constant(50));
  chip.setTemp(2, Signal::constant(-5));
  chip.setVolt(0, {Signal::constant(2.5), false});  // 192 steps at the nominal rail
  chip.setVolt(4, {Signal::constant(12.0), false});
  EXPECT_EQ(d.read(0x27), 35);
  EXPECT_EQ(d.read(0x26), 50);
  EXPECT_EQ(d.read(0x20), 192);
  EXPECT_EQ(d.read(0x24), 192);
  ASSERT_TRUE(d.write(0x16, 0x04));  // 20h becomes the second remote sensor
  EXPECT_EQ(d.read(0x20), 0xFB);
  chip.setFan(1, Fan(2000));
  EXPECT_EQ(d.read(0x29), 255);      // divisor 2: 337 overflows
  ASSERT_TRUE(d.write(0x47, 0x90));  // fan 2 code 10
  EXPECT_EQ(d.read(0x29), 169);
}

// The registers a profile dump of 13h-4Dh and 80h shows, at their datasheet
// power-on values, and the lock bits of configuration register 2.
TEST(Lm87, RegistersAroundTheLm78SetAtPowerOn) {
  SimMachine m;
  SmbusBus bus;
  AddMonitorChip(m, ChipModelKind::Lm87, &bus, -1, 0x2E);
  SmbDev d{bus, 0x2E};
  EXPECT_EQ(d.read(0x13), 0x46);  // 70 degrees
  EXPECT_EQ(d.read(0x14), 0x55);  // 85 degrees
  EXPECT_EQ(d.read(0x15), 0x00);
  EXPECT_EQ(d.read(0x17), 0x46);
  EXPECT_EQ(d.read(0x18), 0x55);
  EXPECT_EQ(d.read(0x19), 0xFF);  // DAC at full scale
  EXPECT_EQ(d.read(0x3F), 0x06);
  EXPECT_EQ(d.read(0x46), 0x00);
  EXPECT_EQ(d.read(0x4A), 0x00);
  EXPECT_EQ(d.read(0x4C), 0x00);
  EXPECT_EQ(d.read(0x4D), 0x00);
  EXPECT_EQ(d.read(0x80), 0x20);
  ASSERT_TRUE(d.write(0x15, 0x5A));
  EXPECT_EQ(d.read(0x15), 0x00);

  ASSERT_TRUE(d.write(0x13, 0x40));
  EXPECT_EQ(d.read(0x13), 0x40);
  ASSERT_TRUE(d.write(0x4A, 0x06));  // lock both hardware limits
  ASSERT_TRUE(d.write(0x13, 0x30));
  ASSERT_TRUE(d.write(0x14, 0x30));
  ASSERT_TRUE(d.write(0x17, 0x30));  // the second pair stays adjustable
  EXPECT_EQ(d.read(0x13), 0x40);
  EXPECT_EQ(d.read(0x14), 0x55);
  EXPECT_EQ(d.read(0x17), 0x30);
}

TEST(Lm81, AddressRegisterShowsItsPinsAndModeRegisters) {
  SimMachine m;
  SmbusBus bus;
  AddMonitorChip(m, ChipModelKind::Lm81, &bus, -1, 0x2E);
  SmbDev d{bus, 0x2E};
  EXPECT_EQ(d.read(0x48), 0x2E);
  ASSERT_TRUE(d.write(0x48, 0x10));
  EXPECT_EQ(d.read(0x48), 0x2E);
  EXPECT_EQ(d.read(0x19), 0xFF);
  EXPECT_EQ(d.read(0x4B), 0x01);
  EXPECT_EQ(d.read(0x4C), 0x44);
  EXPECT_EQ(d.read(0x4D), 0x00);
}

}  // namespace
}  // namespace kev::sim
