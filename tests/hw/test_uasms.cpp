#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hw/sim_test_support.h"
#include "hw/uasms.h"
#include "sim/pci.h"
#include "sim/superio.h"

namespace kev {
namespace {

using test::Trace;
using ::testing::ElementsAre;

class BoardSwitchTest : public ::testing::Test {
 protected:
  BoardSwitchTest() : ram(m, 0xE400, 0x100) {}
  sim::SimMachine m;
  test::PortRam ram;
};

TEST_F(BoardSwitchTest, ShiftedByteSwitch) {
  ram.at(0xE437) = 0xFF;
  m.startTrace(true);
  ASMS1set(m, 0xE437, 0xE7, 3, 1);
  EXPECT_EQ(ram.at(0xE437), 0xEF);  // bits 4-3 = 01, the rest kept
  EXPECT_THAT(Trace(m), ElementsAre("in8 E437h FFh", "out8 E437h EFh"));

  ram.at(0xE437) = 0x00;
  ASMS1set(m, 0xE437, 0xE7, 3, 6);  // only value AND mask reaches the lines
  EXPECT_EQ(ram.at(0xE437), 0x10);
}

TEST_F(BoardSwitchTest, PlainByteSwitches) {
  ram.at(0xE410) = 0xF0;
  ASMS3set(m, 0xE410, 0xFC, 0x03, 0x07);
  EXPECT_EQ(ram.at(0xE410), 0xF3);
  ram.at(0xE411) = 0x0F;
  ASMS4set(m, 0xE411, 0x0E, 0x30, 0xFF);
  EXPECT_EQ(ram.at(0xE411), 0x3E);
}

TEST_F(BoardSwitchTest, WordSwitchAtBasePlusOffset) {
  ram.at(0xE42C) = 0x34;
  ram.at(0xE42D) = 0x12;
  m.startTrace(true);
  ASMS5set(m, 0xE400, 0x2C, 0xFF0F, 0x00F0, 0x0050);
  EXPECT_THAT(Trace(m), ElementsAre("in16 E42Ch 1234h", "out16 E42Ch 1254h"));
}

// Only on a Winbond chip, and the exit key closes the configuration space.
TEST(BoardSwitchSuperIo, WinbondGpioRegister) {
  sim::SimMachine m;
  sim::WinbondSuperIo superio(m, 0x2E, 0x52);
  superio.setLdnReg(0x08, 0xF1, 0xFF);
  m.startTrace(true);
  ASMS2set(m, 0x2E, 0xE7, 3, 2);
  EXPECT_EQ(superio.ldnReg(0x08, 0xF1), 0xF7);
  EXPECT_FALSE(superio.configOpen());
  EXPECT_THAT(Trace(m),
              ElementsAre("out8 002Eh 87h", "out8 002Eh 87h", "out8 002Eh 20h", "in8 002Fh 52h",
                          "out8 002Eh 07h", "out8 002Fh 08h", "out8 002Eh F1h", "in8 002Fh FFh",
                          "out8 002Eh F1h", "out8 002Fh F7h", "out8 002Eh AAh"));

  sim::SimMachine other;
  sim::WinbondSuperIo notWinbond(other, 0x2E, 0xE9);
  notWinbond.setLdnReg(0x08, 0xF1, 0xFF);
  ASMS2set(other, 0x2E, 0xE7, 3, 2);
  EXPECT_EQ(notWinbond.ldnReg(0x08, 0xF1), 0xFF);
  EXPECT_FALSE(notWinbond.configOpen());
}

TEST(BoardSwitchPci, LowWordOnlyAndConfigClosedAfter) {
  sim::SimMachine m;
  sim::PciHost host(m);
  sim::PciFunction lpc(0x8086, 0x2440, 0x01);
  lpc.setWritableRange(0x00, 0xFF);
  lpc.set32(0xE4, 0xAABBCCDD);
  host.attach(0, 31, 0, &lpc);

  m.startTrace(true);
  ASMS6set(m, 0x8000F8E4, 0x00FF, 0x0F00, 0x0500);
  EXPECT_EQ(lpc.get32(0xE4), 0xAABB05DDu);
  EXPECT_THAT(Trace(m), ElementsAre("out32 0CF8h 8000F8E4h", "in32 0CFCh AABBCCDDh",
                                    "out32 0CFCh AABB05DDh", "out32 0CF8h 0000F8E4h"));

  ASMS6set(m, 0x8000F8E4, 0, 0xFFFFFFFF, 0x12345678);
  EXPECT_EQ(lpc.get32(0xE4), 0xAABB5678u);
}

}  // namespace
}  // namespace kev
