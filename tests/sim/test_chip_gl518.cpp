// GL518SM and GL520SM: identification quirks, the 16-bit fan register and
// the offset temperature scale.
#include <gtest/gtest.h>

#include "sim/chips.h"
#include "test_chip_access.h"

namespace kev::sim {
namespace {

using testing::SmbDev;

constexpr uint8_t kAddr = 0x2C;
constexpr uint8_t kChipId = 0x00;
constexpr uint8_t kConfig = 0x03;
constexpr uint8_t kTemp = 0x04;
constexpr uint8_t kFans = 0x07;
constexpr uint8_t kFanLimits = 0x08;
constexpr uint8_t kVin3 = 0x0D;
constexpr uint8_t kTemp2Vin4 = 0x0E;
constexpr uint8_t kMisc = 0x0F;
constexpr uint8_t kVin1 = 0x14;
constexpr uint8_t kVdd = 0x15;

FanInput Fan(double rpm) { return {Signal::constant(rpm), 2, true}; }

struct GlFixture : ::testing::Test {
  SimMachine m;
  SmbusBus bus;
  MonitorChip& gl518 = AddMonitorChip(m, ChipModelKind::Gl518SM, &bus, -1, kAddr);
  MonitorChip& gl520 = AddMonitorChip(m, ChipModelKind::Gl520SM, &bus, -1, 0x2D);
  SmbDev d518{bus, kAddr};
  SmbDev d520{bus, 0x2D};
};

TEST_F(GlFixture, ChipIdSurvivesTheLm80ProbeAndNoLm78Answer) {
  for (SmbDev* d : {&d518, &d520}) {
    d->write(0x4E, 0x80);
    EXPECT_EQ(d->read(0x49), 0xFF);
    d->write(0x40, 0x01);
    d->write(0x49, 0x00);
    EXPECT_EQ(d->read(0x49), 0xFF);
    EXPECT_TRUE(d->write(kChipId, 0x01));
  }
  const int c518 = d518.read(kChipId);
  const int c520 = d520.read(kChipId);
  EXPECT_EQ(c518, 0x80);
  EXPECT_EQ(c520, 0x20);
  EXPECT_EQ(c518 & 0x01, 0);
  EXPECT_EQ(c518 & 0xA0, 0x80);
  EXPECT_EQ(c520 & 0xA0, 0x20);
}

TEST_F(GlFixture, FanWordHighByteIsFanOneAndDivisorsIn0F) {
  gl518.setFan(0, Fan(3000));
  gl518.setFan(1, Fan(6000));
  // 8 kHz over two pulses: 480000 / (divisor * rpm); power-on divisor 1.
  EXPECT_EQ(d518.readWord(kFans), 160 << 8 | 80);
  ASSERT_TRUE(d518.write(kMisc, 0x40));  // fan 1 divisor 2
  EXPECT_EQ(d518.readWord(kFans), 80 << 8 | 80);
  ASSERT_TRUE(d518.write(kMisc, 0x20));  // fan 2 divisor 4
  EXPECT_EQ(d518.readWord(kFans), 160 << 8 | 20);
  EXPECT_EQ(d518.read(kFans), 160);  // a byte read gives the first byte
  ASSERT_TRUE(d518.writeWord(kFans, 0x0102));
  EXPECT_EQ(d518.readWord(kFans), 160 << 8 | 20);
  ASSERT_TRUE(d518.writeWord(kFanLimits, 0x1234));
  EXPECT_EQ(d518.readWord(kFanLimits), 0x1234);
}

TEST_F(GlFixture, TemperatureOffsetsAndVoltageSteps) {
  gl518.setTemp(0, Signal::constant(25));
  gl520.setTemp(0, Signal::constant(25));
  gl520.setTemp(1, Signal::constant(40));
  EXPECT_EQ(d518.read(kTemp), 25 + 119);
  EXPECT_EQ(d520.read(kTemp), 25 + 130);
  EXPECT_EQ(d520.read(kTemp2Vin4), 40 + 130);
  gl520.setVolt(4, {Signal::constant(1.9), false});
  ASSERT_TRUE(d520.write(kConfig, static_cast<uint8_t>(d520.read(kConfig) | 0x10)));
  EXPECT_EQ(d520.read(kTemp2Vin4), 100);  // VIN4 in place of the second sensor
  gl518.setVolt(0, {Signal::constant(3.3), false});
  gl518.setVolt(2, {Signal::constant(1.9), false});
  gl518.setVolt(3, {Signal::constant(5.0), false});
  EXPECT_EQ(d518.read(kVin1), 174);
  EXPECT_EQ(d518.read(kVin3), 100);
  EXPECT_EQ(d518.read(kVdd), 211);
  EXPECT_EQ(d518.read(kTemp2Vin4), 0xFF);  // the GL518SM has no 0Eh
}

TEST_F(GlFixture, StartBitStopsConversions) {
  gl518.setTemp(0, Signal::constant(30));
  ASSERT_TRUE(d518.write(kConfig, 0x00));
  gl518.setTemp(0, Signal::constant(60));
  EXPECT_EQ(d518.read(kTemp), 30 + 119);
  ASSERT_TRUE(d518.write(kConfig, 0x40));
  EXPECT_EQ(d518.read(kTemp), 60 + 119);
  ASSERT_TRUE(d518.write(kTemp, 0x00));
  EXPECT_EQ(d518.read(kTemp), 60 + 119);
}

TEST_F(GlFixture, VanishedChipNacksWordsToo) {
  gl518.setVanished(true);
  EXPECT_EQ(d518.readWord(kFans), -1);
  EXPECT_EQ(d518.read(kChipId), -1);
}

}  // namespace
}  // namespace kev::sim
