// LM78, LM78-J and LM79 on the ISA pair and the SMBus.
#include <gtest/gtest.h>

#include <stdexcept>

#include "sim/chips.h"
#include "test_chip_access.h"

namespace kev::sim {
namespace {

using testing::IsaPair;
using testing::SmbDev;

constexpr uint16_t kBase = 0x290;
constexpr uint8_t kIn0 = 0x20;
constexpr uint8_t kIn3 = 0x23;
constexpr uint8_t kTemp = 0x27;
constexpr uint8_t kFan1 = 0x28;
constexpr uint8_t kFan2 = 0x29;
constexpr uint8_t kFan3 = 0x2A;
constexpr uint8_t kLimit = 0x2B;
constexpr uint8_t kConfig = 0x40;
constexpr uint8_t kStatus1 = 0x41;
constexpr uint8_t kMask1 = 0x43;
constexpr uint8_t kFanDiv = 0x47;
constexpr uint8_t kSerial = 0x48;
constexpr uint8_t kChipId = 0x49;
constexpr uint8_t kBankSel = 0x4E;
constexpr uint8_t kVendor = 0x4F;

FanInput Fan(double rpm) { return {Signal::constant(rpm), 2, true}; }

struct Lm78Fixture : ::testing::Test {
  SimMachine m;
  SmbusBus bus;
  MonitorChip& chip = AddMonitorChip(m, ChipModelKind::Lm78, &bus, kBase, 0x2D);
  IsaPair isa{m, kBase};
};

TEST(Lm78Identity, ChipIdBitsOfEachPart) {
  SimMachine m;
  const std::pair<ChipModelKind, int> parts[] = {
      {ChipModelKind::Lm78, 0x00}, {ChipModelKind::Lm78J, 0x40}, {ChipModelKind::Lm79, 0xC0}};
  uint16_t base = 0x290;
  for (const auto& [kind, id] : parts) {
    AddMonitorChip(m, kind, nullptr, base, -1);
    IsaPair isa{m, base};
    EXPECT_EQ(isa.read(kChipId) & 0xFE, id) << ChipModelName(kind);
    base = static_cast<uint16_t>(base + 0x10);
  }
}

TEST_F(Lm78Fixture, IndexPortAnswersAndWinbondRegistersAreAbsent) {
  isa.read(kTemp);
  EXPECT_EQ(m.inb(kBase + 5), kTemp);  // the index port reads back, busy clear
  isa.write(kBankSel, 0x80);
  const int high = isa.read(kVendor);
  isa.write(kBankSel, 0x00);
  const int low = isa.read(kVendor);
  EXPECT_NE(high * 256 + low, 0x5CA3);
  EXPECT_NE(high * 256 + low, 0x12C3);
}

TEST_F(Lm78Fixture, ReadOnlyRegistersIgnoreWrites) {
  chip.setTemp(0, Signal::constant(30));
  const uint8_t id = isa.read(kChipId);
  isa.write(kChipId, 0x5A);
  isa.write(kTemp, 0x01);
  isa.write(kStatus1, 0xFF);
  EXPECT_EQ(isa.read(kChipId), id);
  EXPECT_EQ(isa.read(kTemp), 30);
  EXPECT_EQ(isa.read(kStatus1), 0);
  chip.setReg(0, kFanDiv, 0x53);  // VID pins 3
  isa.write(kFanDiv, 0xAC);       // divisor fields take 1010, VID stays
  EXPECT_EQ(isa.read(kFanDiv), 0xA3);
  isa.write(kLimit, 0x77);
  EXPECT_EQ(isa.read(kLimit), 0x77);
}

TEST_F(Lm78Fixture, DivisorFieldsChangeTheCount) {
  chip.setFan(0, Fan(3000));
  chip.setFan(1, Fan(3000));
  chip.setFan(2, Fan(3000));
  // 22.5 kHz over two pulses: 1350000 / (divisor * rpm).
  EXPECT_EQ(isa.read(kFan1), 225);  // power-on divisor 2
  isa.write(kFanDiv, 0x00);         // both divisor 1: 450 overflows
  EXPECT_EQ(isa.read(kFan1), 255);
  isa.write(kFanDiv, 0x20);  // fan 1 divisor 4
  EXPECT_EQ(isa.read(kFan1), 113);
  isa.write(kFanDiv, 0xF0);  // both divisor 8
  EXPECT_EQ(isa.read(kFan1), 56);
  EXPECT_EQ(isa.read(kFan2), 56);
  EXPECT_EQ(isa.read(kFan3), 225);  // fan 3 divides by 2 always
}

TEST_F(Lm78Fixture, MissingOrStoppedFanReadsFullScale) {
  EXPECT_EQ(isa.read(kFan1), 255);
  chip.setFan(0, Fan(0));
  EXPECT_EQ(isa.read(kFan1), 255);
}

TEST_F(Lm78Fixture, TemperatureAndVoltagesFromPhysicalValues) {
  chip.setTemp(0, Signal::constant(45.4));
  EXPECT_EQ(isa.read(kTemp), 45);
  chip.setTemp(0, Signal::constant(-10));
  EXPECT_EQ(isa.read(kTemp), 0xF6);
  chip.setVolt(0, {Signal::constant(2.0), false});  // 16 mV per step
  chip.setVolt(3, {Signal::constant(200), true});   // raw register value
  EXPECT_EQ(isa.read(kIn0), 125);
  EXPECT_EQ(isa.read(kIn3), 200);
  chip.setVolt(0, {Signal::constant(5.0), false});  // above full scale
  EXPECT_EQ(isa.read(kIn0), 255);
}

TEST_F(Lm78Fixture, ReadingsFollowTheClock) {
  chip.setTemp(0, Signal::ramp(20, 60, 0, 4000));
  EXPECT_EQ(isa.read(kTemp), 20);
  m.clock().advanceMs(2000);
  EXPECT_EQ(isa.read(kTemp), 40);
}

TEST_F(Lm78Fixture, InitializationStopsMonitoringAndRestoresDefaults) {
  chip.setTemp(0, Signal::constant(30));
  isa.write(kMask1, 0xFF);
  isa.write(kFanDiv, 0xF0);
  isa.write(kLimit, 0x42);
  isa.write(kConfig, 0x80);
  EXPECT_EQ(isa.read(kConfig) & 0x81, 0);  // start and init bits clear
  EXPECT_EQ(isa.read(kMask1), 0);
  EXPECT_EQ(isa.read(kFanDiv) & 0xF0, 0x50);
  EXPECT_EQ(isa.read(kLimit), 0x42);  // value RAM survives
  // Stopped: the temperature register holds its last conversion.
  chip.setTemp(0, Signal::constant(70));
  EXPECT_EQ(isa.read(kTemp), 30);
  isa.write(kConfig, 0x01);
  EXPECT_EQ(isa.read(kTemp), 70);
}

TEST_F(Lm78Fixture, SmbusSeesTheSameRegistersAndMovesWithRegister48h) {
  SmbDev smb{bus, 0x2D};
  chip.setTemp(0, Signal::constant(33));
  EXPECT_EQ(smb.read(kTemp), 33);
  EXPECT_EQ(smb.read(kSerial), 0x2D);
  ASSERT_TRUE(smb.write(kSerial, 0x2A));
  EXPECT_EQ(smb.read(kTemp), -1);
  EXPECT_EQ((SmbDev{bus, 0x2A}.read(kTemp)), 33);
  EXPECT_EQ(isa.read(kSerial), 0x2A);
}

TEST_F(Lm78Fixture, VanishedChipFloatsOnIsaAndNacksOnSmbus) {
  chip.setVanished(true);
  EXPECT_EQ(m.inb(kBase + 5), 0xFF);
  EXPECT_EQ(isa.read(kChipId), 0xFF);
  EXPECT_EQ((SmbDev{bus, 0x2D}.read(kChipId)), -1);
  EXPECT_FALSE((SmbDev{bus, 0x2D}.write(kConfig, 1)));
  chip.setVanished(false);
  EXPECT_EQ(isa.read(kChipId) & 0xFE, 0);
}

TEST(ChipFactory, NamesRoundTripAndPlacementsFollowThePart) {
  for (ChipModelKind k : AllChipModelKinds()) EXPECT_EQ(ChipModelKindFromName(ChipModelName(k)), k);
  EXPECT_FALSE(ChipModelKindFromName("LM99").has_value());
  SimMachine m;
  SmbusBus bus;
  EXPECT_THROW(AddMonitorChip(m, ChipModelKind::Lm80, &bus, 0x290, -1), std::invalid_argument);
  EXPECT_THROW(AddMonitorChip(m, ChipModelKind::W83697HF, &bus, -1, 0x2D), std::invalid_argument);
  EXPECT_THROW(AddMonitorChip(m, ChipModelKind::W83783S, &bus, 0x290, 0x2D), std::invalid_argument);
  EXPECT_THROW(AddMonitorChip(m, ChipModelKind::Lm78, nullptr, -1, 0x2D), std::invalid_argument);
  EXPECT_THROW(AddMonitorChip(m, ChipModelKind::Lm78, &bus, 0xFFFC, -1), std::invalid_argument);
  EXPECT_EQ(m.inb(0x295), 0xFF);  // nothing was left mapped
  EXPECT_EQ(bus.find(0x2D), nullptr);
}

}  // namespace
}  // namespace kev::sim
