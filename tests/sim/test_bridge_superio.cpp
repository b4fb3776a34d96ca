// The PC87366 and ITE Super-I/O parts with their monitoring blocks.
#include <gtest/gtest.h>

#include "sim/board.h"
#include "test_board_util.h"

namespace kev::sim {
namespace {

using namespace kev::sim::testing;

std::unique_ptr<SimBoard> Load(const std::string& text) {
  auto r = LoadBoardJson(text, "test");
  EXPECT_TRUE(r.ok()) << r.error().text();
  return r.take();
}

class Pc87366Test : public ::testing::Test {
 protected:
  void SetUp() override {
    board_ = Load(R"({"chips": [{"id": "sio", "kind": "PC87366", "config_port": "0x4E",
      "fsm_base": "0xE00", "vlm_base": "0xE10", "tms_base": "0xE20",
      "fans": [{"rpm": 3000}], "temps": [45, -5, 30],
      "volts": [{"raw": 10}, {"raw": 11}, {"raw": 12}, {"raw": 13}, {"raw": 14}, {"raw": 15},
                {"raw": 16}, {"raw": 17}, {"raw": 18}, {"raw": 19}, {"raw": 20}, {"raw": 21},
                {"raw": 22}, {"volts": 1.5}]}]})");
  }
  SimMachine& m() { return board_->machine(); }
  uint16_t LdnBase(uint8_t ldn) {
    SioWrite(m(), 0x4E, 0x07, ldn);
    return static_cast<uint16_t>(SioRead(m(), 0x4E, 0x60) << 8 | SioRead(m(), 0x4E, 0x61));
  }
  uint8_t Channel(uint16_t base, uint8_t channel, uint8_t reg) {
    m().outb(static_cast<uint16_t>(base + 0x09), channel);
    return m().inb(static_cast<uint16_t>(base + reg));
  }
  std::unique_ptr<SimBoard> board_;
};

TEST_F(Pc87366Test, AnswersAtItsOwnConfigurationPortWithoutKey) {
  EXPECT_EQ(SioRead(m(), 0x4E, 0x20), 0xE9);
  EXPECT_EQ(SioRead(m(), 0x2E, 0x20), 0xFF);
  EXPECT_EQ(LdnBase(0x09), 0x0E00);
  EXPECT_EQ(LdnBase(0x0D), 0x0E10);
  EXPECT_EQ(LdnBase(0x0E), 0x0E20);
}

TEST_F(Pc87366Test, ChannelSelectPicksVoltageAndTemperatureBanks) {
  EXPECT_EQ(Channel(0xE10, 3, 0x0B), 13);
  EXPECT_EQ(Channel(0xE10, 9, 0x0B), 19);
  EXPECT_EQ(Channel(0xE10, 13, 0x0B), 128);   // 1.5 V of 3 V full scale
  EXPECT_EQ(Channel(0xE10, 14, 0x0B), 0xFF);  // no such channel
  EXPECT_EQ(Channel(0xE20, 0, 0x0B), 45);
  EXPECT_EQ(Channel(0xE20, 1, 0x0B), 0xFB);
  EXPECT_EQ(Channel(0xE20, 3, 0x0B), 0xFF);
  EXPECT_EQ(m().inb(0xE29), 3);  // the select register keeps the bank
}

TEST_F(Pc87366Test, DisabledChannelHoldsItsLastValue) {
  EXPECT_EQ(Channel(0xE10, 5, 0x0B), 15);
  m().outb(0xE1A, 0x00);  // channel 5 status: disabled
  board_->chipInputs("sio")->setVolt(5, VoltInput{Signal::constant(99), true});
  EXPECT_EQ(Channel(0xE10, 5, 0x0B), 15);
  m().outb(0xE1A, 0x01);
  EXPECT_EQ(Channel(0xE10, 5, 0x0B), 99);
  EXPECT_EQ(Channel(0xE10, 5, 0x0A), 0x01);
}

TEST_F(Pc87366Test, FanDivisorFieldScalesCountIgnoringBaseLowBits) {
  EXPECT_EQ(m().inb(0xE07), 160);  // 480000 / (1 x 3000)
  const uint8_t status = m().inb(0xE08);
  m().outb(0xE08, static_cast<uint8_t>((status & ~0x60) | 0x20));  // /2
  EXPECT_EQ(m().inb(0xE07), 80);
  EXPECT_EQ(m().inb(0xE0A), 0xFF);  // fan 2 not connected
  m().outb(0xE07, 0x12);            // counts are read-only
  EXPECT_EQ(m().inb(0xE07), 80);
}

TEST_F(Pc87366Test, LogicalDeviceFollowsBaseAndActivation) {
  SioWrite(m(), 0x4E, 0x07, 0x0E);
  SioWrite(m(), 0x4E, 0x30, 0x00);
  EXPECT_EQ(Channel(0xE20, 0, 0x0B), 0xFF);
  SioWrite(m(), 0x4E, 0x60, 0x0F);
  SioWrite(m(), 0x4E, 0x61, 0x40);
  SioWrite(m(), 0x4E, 0x30, 0x01);
  EXPECT_EQ(Channel(0xF40, 0, 0x0B), 45);
}

class Ite : public ::testing::Test {
 protected:
  void SetUp() override {
    board_ = Load(R"({"south_bridge": {"kind": "ICH2"}, "chips": [{"id": "ec",
      "kind": "IT8712F", "isa": "0x290", "smbus": "0x2D",
      "fans": [{"rpm": 4500}, {"rpm": 2250}, {"rpm": 1000}], "temps": [40, -3, 30],
      "volts": [{"volts": 1.6}, {"raw": 7}]}]})");
  }
  SimMachine& m() { return board_->machine(); }
  void Enter() {
    for (int k : {0x87, 0x01, 0x55, 0x55}) m().outb(0x2E, static_cast<uint8_t>(k));
  }
  std::unique_ptr<SimBoard> board_;
};

TEST_F(Ite, ConfigurationOpensWithKeyAndClosesThroughRegister02) {
  EXPECT_EQ(SioRead(m(), 0x2E, 0x20), 0xFF);
  m().outb(0x2E, 0x87);
  m().outb(0x2E, 0x87);  // a Winbond key does not open it
  EXPECT_EQ(SioRead(m(), 0x2E, 0x20), 0xFF);
  Enter();
  EXPECT_EQ(SioRead(m(), 0x2E, 0x20), 0x87);
  EXPECT_EQ(SioRead(m(), 0x2E, 0x21), 0x12);
  SioWrite(m(), 0x2E, 0x02, 0x02);
  EXPECT_EQ(m().inb(0x2F), 0xFF);
}

TEST_F(Ite, LogicalDevice4PlacesTheEnvironmentController) {
  EXPECT_EQ(IsaRead(m(), 0x290, 0x58), 0x90);
  Enter();
  SioWrite(m(), 0x2E, 0x07, 0x04);
  EXPECT_EQ(SioRead(m(), 0x2E, 0x30) & 1, 1);
  EXPECT_EQ(SioRead(m(), 0x2E, 0x60), 0x02);
  EXPECT_EQ(SioRead(m(), 0x2E, 0x61), 0x90);
  SioWrite(m(), 0x2E, 0x30, 0x00);
  EXPECT_EQ(IsaRead(m(), 0x290, 0x58), 0xFF);
  SioWrite(m(), 0x2E, 0x61, 0xA0);
  SioWrite(m(), 0x2E, 0x30, 0x01);
  EXPECT_EQ(IsaRead(m(), 0x2A0, 0x58), 0x90);
  EXPECT_EQ(IsaRead(m(), 0x290, 0x58), 0xFF);
}

TEST_F(Ite, DivisorFieldsChangeCounts) {
  EXPECT_EQ(IsaRead(m(), 0x290, 0x0D), 150);   // /2 at power-on
  EXPECT_EQ(IsaRead(m(), 0x290, 0x0E), 0xFF);  // 2250 rpm at /2 overflows
  EXPECT_EQ(IsaRead(m(), 0x290, 0x0F), 0xFF);
  IsaWrite(m(), 0x290, 0x0B, 0x02 | (0x03 << 3) | 0x40);  // fan 1 /4, fan 2 /8, fan 3 /8
  EXPECT_EQ(IsaRead(m(), 0x290, 0x0D), 75);
  EXPECT_EQ(IsaRead(m(), 0x290, 0x0E), 75);
  EXPECT_EQ(IsaRead(m(), 0x290, 0x0F), 169);
}

TEST_F(Ite, ReadingsFollowInputsOnlyWhileStarted) {
  EXPECT_EQ(IsaRead(m(), 0x290, 0x20), 100);  // 1.6 V at 16 mV per step
  EXPECT_EQ(IsaRead(m(), 0x290, 0x21), 7);
  EXPECT_EQ(IsaRead(m(), 0x290, 0x2A), 0xFD);
  IsaWrite(m(), 0x290, 0x00, 0x00);
  board_->chipInputs("ec")->setTemp(0, Signal::constant(60));
  EXPECT_EQ(IsaRead(m(), 0x290, 0x29), 40);
  IsaWrite(m(), 0x290, 0x00, 0x01);
  EXPECT_EQ(IsaRead(m(), 0x290, 0x29), 60);
}

TEST_F(Ite, SameRegistersOverTheSmbus) {
  uint8_t v = 0;
  ASSERT_EQ(board_->smbus().readByte(0x2D, 0x58, v), SmbusResult::Ok);
  EXPECT_EQ(v, 0x90);
  ASSERT_EQ(board_->smbus().writeByte(0x2D, 0x0B, 0x02), SmbusResult::Ok);
  EXPECT_EQ(IsaRead(m(), 0x290, 0x0D), 75);
  board_->setChipVanished("ec", true);
  EXPECT_EQ(board_->smbus().readByte(0x2D, 0x58, v), SmbusResult::NoAck);
  EXPECT_EQ(IsaRead(m(), 0x290, 0x58), 0xFF);
}

}  // namespace
}  // namespace kev::sim
