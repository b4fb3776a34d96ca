#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hw/sim_test_support.h"
#include "hw/uit8712f.h"
#include "hw/uns_isa.h"
#include "hw/upc87366.h"
#include "hw/uportio.h"
#include "hw/uvt82c686a.h"
#include "hw/uwb_isa.h"
#include "sim/superio.h"

namespace kev {
namespace {

using test::DelaysAfterEach;
using test::Trace;
using ::testing::Each;
using ::testing::ElementsAre;

TEST(PortHelpers, MaskThePortAndDelayTwice) {
  sim::SimMachine m;
  test::PortRam ram(m, 0x0290, 8);
  m.startTrace(true);
  PIObt_outp(m, 0x10291, 0x1A5);
  PIOwd_outp(m, 0x0292, 0x12345678);
  EXPECT_EQ(PIObt_inp(m, 0x0291), 0xA5u);
  EXPECT_EQ(PIOwd_inp(m, 0xF0292), 0x5678u);
  EXPECT_THAT(DelaysAfterEach(m), ElementsAre(2, 2, 2, 2));
  m.startTrace();
  PIObt_inp(m, 0x0297);
  EXPECT_THAT(Trace(m), ElementsAre("in8 0297h 00h"));
}

class IsaChipTest : public ::testing::Test {
 protected:
  IsaChipTest() : chip(m, 0x0295) {}
  sim::SimMachine m;
  test::IndexPair chip;
};

TEST_F(IsaChipTest, Lm78PairReadsAndWritesThroughIndex) {
  chip.regs[0x28] = 0x99;
  m.startTrace();
  EXPECT_EQ(NS_ISAread(m, 0x290, 0x28), 0x99u);
  NS_ISAwrite(m, 0x290, 0x2B, 0xC0);
  EXPECT_EQ(NS_ISAcheck(m, 0x290), 0x2Bu);
  EXPECT_THAT(Trace(m), ElementsAre("out8 0295h 28h", "in8 0296h 99h", "out8 0295h 2Bh",
                                    "out8 0296h C0h", "in8 0295h 2Bh"));
  EXPECT_EQ(chip.regs[0x2B], 0xC0);

  m.startTrace(true);
  NS_ISAread(m, 0x290, 0x28);
  EXPECT_THAT(DelaysAfterEach(m), ElementsAre(2, 2));
  EXPECT_EQ(NS_ISAcheck(m, 0x390), 0xFFu);
}

TEST_F(IsaChipTest, WinbondSelectsBankAndRestoresBankZero) {
  chip.regs[0x4F] = 0x5C;
  m.startTrace();
  EXPECT_EQ(WB_ISAread(m, 0x290, 0x4F, 0x80), 0x5Cu);
  EXPECT_THAT(Trace(m), ElementsAre("out8 0295h 4Eh", "out8 0296h 80h", "out8 0295h 4Fh",
                                    "in8 0296h 5Ch", "out8 0295h 4Eh", "out8 0296h 80h"));

  m.startTrace();
  WB_ISAwrite(m, 0x290, 0x50, 0xFF, 0x11);
  EXPECT_THAT(Trace(m), ElementsAre("out8 0295h 4Eh", "out8 0296h 87h", "out8 0295h 50h",
                                    "out8 0296h 11h", "out8 0295h 4Eh", "out8 0296h 80h"));
  EXPECT_EQ(chip.regs[0x4E], 0x80);

  m.startTrace(true);
  WB_ISAread(m, 0x290, 0x50, 0x85);
  EXPECT_THAT(DelaysAfterEach(m), Each(2));
  EXPECT_EQ(WB_ISAcheck(m, 0x290), 0x4Eu);
}

TEST(ViaMonitor, RegistersAreDirectPortsWithoutDelays) {
  sim::SimMachine m;
  test::PortRam ram(m, 0xEC00, 0x80);
  ram.at(0xEC20) = 0x7E;
  m.startTrace(true);
  EXPECT_EQ(VT82C686Aread(m, 0xEC00, 0x20), 0x7Eu);
  VT82C686Awrite(m, 0xEC00, 0x41, 0x1FF);
  EXPECT_THAT(Trace(m), ElementsAre("in8 EC20h 7Eh", "out8 EC41h FFh"));
}

// Leaving writes 02h to configuration register 02h, which closes the
// configuration space, so no later write to 2Eh lands in a register.
TEST(IteConfig, EntersAndLeavesAroundEachAccess) {
  sim::SimMachine m;
  sim::IteEc ec(m.clock());
  sim::IteSuperIo superio(m, 0x12, ec, 0x290);
  m.startTrace();
  EXPECT_EQ(IT8712Fread(m, 0x20), 0x87u);
  EXPECT_THAT(Trace(m),
              ElementsAre("out8 002Eh 87h", "out8 002Eh 01h", "out8 002Eh 55h", "out8 002Eh 55h",
                          "out8 002Eh 20h", "in8 002Fh 87h", "out8 002Eh 02h", "out8 002Fh 02h"));
  EXPECT_FALSE(superio.configOpen());
  m.startTrace(true);
  IT8712Fwrite(m, 0x07, 0x04);
  EXPECT_THAT(DelaysAfterEach(m), ElementsAre(1, 1, 1, 1, 1, 1, 1, 0));
  EXPECT_EQ(superio.global(0x07), 0x04);
  EXPECT_FALSE(superio.configOpen());
}

TEST(Pc87366, ConfigurationAndLogicalDeviceBase) {
  sim::SimMachine m;
  test::IndexPair superio(m, 0x2E);
  superio.regs[0x60] = 0x0E;
  superio.regs[0x61] = 0x40;
  m.startTrace(true);
  EXPECT_EQ(PC87366rd_bad(m, 0x2E, 0x0D), 0x0E40u);
  EXPECT_EQ(superio.regs[0x07], 0x0D);
  EXPECT_THAT(DelaysAfterEach(m), Each(1));
  m.startTrace();
  PC87366wt_scr(m, 0x2E, 0x30, 0x01);
  EXPECT_EQ(PC87366rd_scr(m, 0x2E, 0x30), 0x01u);
  EXPECT_THAT(Trace(m),
              ElementsAre("out8 002Eh 30h", "out8 002Fh 01h", "out8 002Eh 30h", "in8 002Fh 01h"));
}

TEST(Pc87366, ChannelSelectOnlyForChannelRegisters) {
  sim::SimMachine m;
  test::PortRam ram(m, 0x0E00, 0x100);
  ram.at(0x0E4B) = 0xB0;
  m.startTrace();
  EXPECT_EQ(PC87366rd_vlm(m, 0x0E40, 0x0B, 3), 0xB0u);
  PC87366rd_vlm(m, 0x0E40, 0x08, 3);
  PC87366wt_tms(m, 0x0E67, 0x1F, 5, 0x42);
  PC87366rd_tms(m, 0x0E60, 0x09, 5);
  EXPECT_THAT(Trace(m), ElementsAre("out8 0E49h 03h", "in8 0E4Bh B0h", "in8 0E48h 00h",
                                    "out8 0E69h 05h", "out8 0E6Fh 42h", "in8 0E69h 05h"));
  m.startTrace(true);
  PC87366wt_vlm(m, 0x0E40, 0x0A, 1, 0x33);
  EXPECT_THAT(DelaysAfterEach(m), ElementsAre(1, 1));
}

TEST(Pc87366, FanModuleIgnoresLowBaseBits) {
  sim::SimMachine m;
  test::PortRam ram(m, 0x0E00, 0x100);
  ram.at(0x0E23) = 0x64;
  m.startTrace();
  EXPECT_EQ(PC87366rd_fsm(m, 0x0E27, 0x03), 0x64u);
  PC87366wt_fsm(m, 0x0E2F, 0x11, 0x07);
  EXPECT_THAT(Trace(m), ElementsAre("in8 0E23h 64h", "out8 0E21h 07h"));
}

}  // namespace
}  // namespace kev
