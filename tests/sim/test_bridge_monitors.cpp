// The monitors built into the SiS 5595 and the VIA south bridges.
#include <gtest/gtest.h>

#include "sim/board.h"
#include "sim/integrated.h"
#include "test_board_util.h"

namespace kev::sim {
namespace {

using namespace kev::sim::testing;

std::unique_ptr<SimBoard> Load(const std::string& text) {
  auto r = LoadBoardJson(text, "test");
  EXPECT_TRUE(r.ok()) << r.error().text();
  return r.take();
}

class Sis5595 : public ::testing::Test {
 protected:
  static constexpr uint16_t kBase = 0x0290;
  void SetUp() override {
    board_ = Load(R"({"south_bridge": {"kind": "SiS5595", "monitor_base": "0x290"},
      "chips": [{"id": "m", "kind": "SiS5595", "fans": [{"rpm": 4500}, null],
                 "temps": [40], "volts": [{"raw": 120}, {"volts": 3.2}]}]})");
  }
  SimMachine& m() { return board_->machine(); }
  std::unique_ptr<SimBoard> board_;
};

TEST_F(Sis5595, StartBitReadsBackAndMeasuredRegistersAreReadOnly) {
  IsaWrite(m(), kBase, 0x40, 0x01);
  EXPECT_EQ(IsaRead(m(), kBase, 0x40), 0x01);
  EXPECT_EQ(IsaRead(m(), kBase, 0x20), 120);
  EXPECT_EQ(IsaRead(m(), kBase, 0x21), 200);  // 3.2 V at 16 mV per step
  IsaWrite(m(), kBase, 0x20, 0x00);
  EXPECT_EQ(IsaRead(m(), kBase, 0x20), 120);
  IsaWrite(m(), kBase, 0x2B, 0x77);  // a limit register keeps its value
  EXPECT_EQ(IsaRead(m(), kBase, 0x2B), 0x77);
}

TEST_F(Sis5595, TemperatureSettlesAfterStartThenFollowsInput) {
  IsaWrite(m(), kBase, 0x40, 0x01);
  int lowReads = 0;
  uint8_t v = 0;
  for (int i = 0; i < 10 && (v = IsaRead(m(), kBase, 0x24)) < 26; ++i) ++lowReads;
  EXPECT_GT(lowReads, 0);
  EXPECT_EQ(v, 2 * 40 + 114);
  board_->chipInputs("m")->setTemp(0, Signal::constant(-10));
  EXPECT_EQ(IsaRead(m(), kBase, 0x24), 2 * -10 + 114);
}

TEST_F(Sis5595, DivisorChangeHalvesCountAndMissingFanReadsFullScale) {
  const uint8_t at2 = IsaRead(m(), kBase, 0x28);
  EXPECT_EQ(at2, 150);  // 1350000 / (2 x 4500)
  const uint8_t div = IsaRead(m(), kBase, 0x47);
  IsaWrite(m(), kBase, 0x47, static_cast<uint8_t>((div & ~0x30) | 0x20));  // fan 1: /4
  EXPECT_EQ(IsaRead(m(), kBase, 0x28), 75);
  EXPECT_EQ(IsaRead(m(), kBase, 0x29), 0xFF);
}

TEST_F(Sis5595, VanishedMonitorFloats) {
  board_->setChipVanished("m", true);
  EXPECT_EQ(IsaRead(m(), kBase, 0x40), 0xFF);
}

class Via686 : public ::testing::Test {
 protected:
  void SetUp() override {
    board_ = Load(R"({"host_bridge": {"kind": "KT133"},
      "south_bridge": {"kind": "VT82C686A", "monitor_base": "0xEC00"},
      "chips": [{"id": "m", "kind": "VT82C686A", "fans": [{"rpm": 4411}, {"rpm": 9000}],
                 "temps": [40, -60], "volts": [{"volts": 1.252}, {"volts": 3.107},
                 {"raw": 300}, {"raw": 77}]}]})");
  }
  SimMachine& m() { return board_->machine(); }
  uint8_t Reg(uint8_t r) { return m().inb(static_cast<uint16_t>(0xEC00 + r)); }
  std::unique_ptr<SimBoard> board_;
};

TEST_F(Via686, EnableBitAndBaseRegisterPlaceTheMonitor) {
  m().outb(0xEC40, 0x01);
  EXPECT_EQ(Reg(0x40), 0x01);
  PciWrite8(m(), 7, 4, 0x74, 0x00);
  EXPECT_EQ(Reg(0x40), 0xFF);
  PciWrite16(m(), 7, 4, 0x70, 0xE801);
  PciWrite8(m(), 7, 4, 0x74, 0x01);
  EXPECT_EQ(Reg(0x40), 0xFF);
  EXPECT_EQ(m().inb(0xE840), 0x01);
}

TEST_F(Via686, VoltagesWrapPastFullScale) {
  EXPECT_EQ(Reg(0x22), 100);  // 1.252 V: (1252 x 2.1024 - 133) / 25
  EXPECT_EQ(Reg(0x23), 0);    // 3.107 V: code 256 keeps only its low byte
  EXPECT_EQ(Reg(0x24), 300 - 256);
  EXPECT_EQ(Reg(0x25), 77);
  m().outb(0xEC25, 0x00);  // read-only
  EXPECT_EQ(Reg(0x25), 77);
}

TEST_F(Via686, TemperaturesUseTheThermistorCode) {
  EXPECT_EQ(Reg(0x20), 0xA7);  // first code showing 40 degrees
  EXPECT_EQ(Reg(0x21), 0x0F);  // below the range: the coldest code
  EXPECT_EQ(ViaMonitor::TempCode(200), 0xF3);
}

TEST_F(Via686, FanCountsFollowDivisorAndOverflow) {
  EXPECT_EQ(Reg(0x29), 153);  // 1350000 / (2 x 4411)
  EXPECT_EQ(Reg(0x2A), 75);
  m().outb(0xEC47, static_cast<uint8_t>((Reg(0x47) & ~0xF0) | 0x30));
  EXPECT_EQ(Reg(0x29), 38);   // fan 1 /8
  EXPECT_EQ(Reg(0x2A), 150);  // fan 2 /1
  board_->chipInputs("m")->setFan(1, FanInput{Signal::constant(500), 2, true});
  EXPECT_EQ(Reg(0x2A), 0xFF);  // too slow for the counter
}

}  // namespace
}  // namespace kev::sim
