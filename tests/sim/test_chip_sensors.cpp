// The auxiliary temperature sensors: LM75-style word sensor and the
// MAX1617-style byte sensor.
#include <gtest/gtest.h>

#include "sim/chips.h"
#include "test_chip_access.h"

namespace kev::sim {
namespace {

using testing::SmbDev;

struct SensorFixture : ::testing::Test {
  SimMachine m;
  SmbusBus bus;
  MonitorChip& lm75 = AddMonitorChip(m, ChipModelKind::Lm75, &bus, -1, 0x4C);
  MonitorChip& max = AddMonitorChip(m, ChipModelKind::Max1617, &bus, -1, 0x18);
  SmbDev word{bus, 0x4C};
  SmbDev byte{bus, 0x18};
};

TEST_F(SensorFixture, WordSensorHalfDegreesInTwosComplement) {
  lm75.setTemp(0, Signal::constant(45.5));
  EXPECT_EQ(word.readWord(0x00), 0x2D80);
  lm75.setTemp(0, Signal::constant(-0.5));
  EXPECT_EQ(word.readWord(0x00), 0xFF80);
  lm75.setTemp(0, Signal::constant(-25));
  EXPECT_EQ(word.readWord(0x00), 0xE700);
  EXPECT_EQ(word.read(0x00), 0xE7);
}

TEST_F(SensorFixture, WordSensorIsNotTakenForAByteSensor) {
  const int fe = word.read(0xFE);
  EXPECT_NE(fe, 0x4D);
  EXPECT_NE(word.read(0xFE), 0x49);
  EXPECT_NE(fe, -1);
}

TEST_F(SensorFixture, WordSensorLimitsAndShutdown) {
  EXPECT_EQ(word.readWord(0x02), 0x4B00);
  EXPECT_EQ(word.readWord(0x03), 0x5000);
  ASSERT_TRUE(word.writeWord(0x03, 0x3C80));
  EXPECT_EQ(word.readWord(0x03), 0x3C80);
  lm75.setTemp(0, Signal::constant(20));
  ASSERT_TRUE(word.writeWord(0x00, 0x7F00));
  EXPECT_EQ(word.readWord(0x00), 0x1400);
  ASSERT_TRUE(word.write(0x01, 0x01));  // shutdown
  lm75.setTemp(0, Signal::constant(70));
  EXPECT_EQ(word.readWord(0x00), 0x1400);
  ASSERT_TRUE(word.write(0x01, 0x00));
  EXPECT_EQ(word.readWord(0x00), 0x4600);
}

TEST_F(SensorFixture, ByteSensorIdentityAndReadings) {
  EXPECT_EQ(byte.read(0xFE), 0x4D);
  max.setTemp(0, Signal::constant(31));
  max.setTemp(1, Signal::constant(-5));
  EXPECT_EQ(byte.read(0x00), 31);
  EXPECT_EQ(byte.read(0x01), 0xFB);
  ASSERT_TRUE(byte.write(0x00, 0x10));  // read addresses ignore writes
  EXPECT_EQ(byte.read(0x00), 31);
}

TEST_F(SensorFixture, ByteSensorConfigurationThroughWriteAddresses) {
  ASSERT_TRUE(byte.write(0x09, 0x00));
  ASSERT_TRUE(byte.write(0x0A, 0x07));
  ASSERT_TRUE(byte.write(0x0D, 0x48));
  ASSERT_TRUE(byte.write(0x0E, 0xBF));
  EXPECT_EQ(byte.read(0x03), 0x00);
  EXPECT_EQ(byte.read(0x04), 0x07);
  EXPECT_EQ(byte.read(0x07), 0x48);
  EXPECT_EQ(byte.read(0x08), 0xBF);
  ASSERT_TRUE(byte.write(0x0A, 0xFF));
  EXPECT_EQ(byte.read(0x04), 0x07);  // three rate bits
  max.setTemp(1, Signal::constant(80));
  EXPECT_EQ(byte.read(0x02) & 0x10, 0x10);  // remote above its high limit
  max.setTemp(1, Signal::constant(40));
  EXPECT_EQ(byte.read(0x02) & 0x10, 0);
}

TEST_F(SensorFixture, ByteSensorStandbyAndOneShot) {
  max.setTemp(0, Signal::constant(30));
  ASSERT_TRUE(byte.write(0x09, 0x40));
  max.setTemp(0, Signal::constant(50));
  EXPECT_EQ(byte.read(0x00), 30);
  ASSERT_TRUE(byte.write(0x0F, 0x00));
  EXPECT_EQ(byte.read(0x00), 50);
}

TEST_F(SensorFixture, VanishedSensorsNack) {
  lm75.setVanished(true);
  max.setVanished(true);
  EXPECT_EQ(word.readWord(0x00), -1);
  EXPECT_EQ(byte.read(0x00), -1);
  EXPECT_FALSE(byte.write(0x09, 0x00));
}

}  // namespace
}  // namespace kev::sim
