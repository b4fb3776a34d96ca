#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hw/sim_test_support.h"
#include "hw/upcicfg.h"
#include "sim/pci.h"

namespace kev {
namespace {

using test::Trace;
using ::testing::ElementsAre;

class PciConfigTest : public ::testing::Test {
 protected:
  PciConfigTest() : host(m), lpc(0x8086, 0x2413, 0x02) {
    host.attach(0, 31, 0, &lpc);
    lpc.set32(0x40, 0x44332211);
    lpc.set32(0xF0, 0xDDCCBBAA);
    lpc.setWritableRange(0x40, 0xFF);
  }
  sim::SimMachine m;
  sim::PciHost host;
  sim::PciFunction lpc;
};

TEST_F(PciConfigTest, DwordReadSelectsReadsAndDisables) {
  m.startTrace();
  EXPECT_EQ(PCIcfg_rdd(m, 0, 31, 0, 0), 0x24138086u);
  EXPECT_THAT(Trace(m), ElementsAre("out32 0CF8h 8000F800h", "in32 0CFCh 24138086h",
                                    "out32 0CF8h 0000F800h"));

  m.startTrace(true);
  PCIcfg_rdb2(m, 0, 31, 0, 0x40);
  EXPECT_THAT(test::DelaysAfterEach(m), ElementsAre(1, 1, 1));
}

TEST_F(PciConfigTest, LaneReadsFollowTheOperationNotTheOffset) {
  EXPECT_EQ(PCIcfg_rdb0(m, 0, 31, 0, 0x43), 0x11u);
  EXPECT_EQ(PCIcfg_rdb1(m, 0, 31, 0, 0x40), 0x22u);
  EXPECT_EQ(PCIcfg_rdb1(m, 0, 31, 0, 0x41), 0x22u);
  EXPECT_EQ(PCIcfg_rdb2(m, 0, 31, 0, 0x40), 0x33u);
  EXPECT_EQ(PCIcfg_rdb3(m, 0, 31, 0, 0x40), 0x44u);
  EXPECT_EQ(PCIcfg_rdwo(m, 0, 31, 0, 0xF2), 0xBBAAu);

  m.startTrace();
  EXPECT_EQ(PCIcfg_rdwe(m, 0, 31, 0, 0xF2), 0xDDCCu);
  EXPECT_THAT(Trace(m),
              ElementsAre("out32 0CF8h 8000F8F0h", "in16 0CFEh DDCCh", "out32 0CF8h 0000F8F0h"));
}

TEST_F(PciConfigTest, LaneWritesKeepTheOtherBytes) {
  m.startTrace();
  PCIcfg_wtwe(m, 0, 31, 0, 0xF2, 0xFFFF1234);
  EXPECT_EQ(lpc.get32(0xF0), 0x1234BBAAu);
  EXPECT_THAT(Trace(m), ElementsAre("out32 0CF8h 8000F8F0h", "in32 0CFCh DDCCBBAAh",
                                    "out32 0CFCh 1234BBAAh", "out32 0CF8h 0000F8F0h"));

  PCIcfg_wtwo(m, 0, 31, 0, 0xF0, 0x5678);
  EXPECT_EQ(lpc.get32(0xF0), 0x12345678u);
  PCIcfg_wtb0(m, 0, 31, 0, 0x40, 0xA0);
  PCIcfg_wtb1(m, 0, 31, 0, 0x40, 0xA1);
  PCIcfg_wtb2(m, 0, 31, 0, 0x40, 0x1A2);
  EXPECT_EQ(lpc.get32(0x40), 0x44A2A1A0u);
  PCIcfg_wtb3(m, 0, 31, 0, 0x43, 0xA3);
  EXPECT_EQ(lpc.get32(0x40), 0xA3A2A1A0u);

  m.startTrace(true);
  PCIcfg_wtd(m, 0, 31, 0, 0x40, 0x01020304);
  EXPECT_EQ(lpc.get32(0x40), 0x01020304u);
  EXPECT_THAT(test::DelaysAfterEach(m), ElementsAre(1, 1, 1));
  // A lane write reads the dword first: one delay after each of four accesses.
  m.startTrace(true);
  PCIcfg_wtb1(m, 0, 31, 0, 0x40, 0x99);
  EXPECT_EQ(lpc.get32(0x40), 0x01029904u);
  EXPECT_THAT(test::DelaysAfterEach(m), ElementsAre(1, 1, 1, 1));
}

TEST_F(PciConfigTest, LocationFieldsWrapToTheirWidths) {
  EXPECT_EQ(PciConfigAddress(0, 31, 0, 0), 0x8000F800u);
  EXPECT_EQ(PciConfigAddress(256, 32, 8, 0x103), 0x80000000u);
  EXPECT_EQ(PciConfigAddress(0x12, 0x05, 0x03, 0x47), 0x80122B44u);

  sim::PciFunction host0(0x8086, 0x7190, 0x03);
  host.attach(0, 0, 0, &host0);
  EXPECT_EQ(PCIcfg_rdd(m, 256, 32, 8, 0), 0x71908086u);
}

TEST_F(PciConfigTest, EmptySlotReadsAllOnes) {
  EXPECT_EQ(PCIcfg_rdd(m, 0, 7, 3, 0), 0xFFFFFFFFu);
  EXPECT_EQ(PCIcfg_rdwe(m, 0, 7, 3, 0), 0xFFFFu);
  EXPECT_EQ(PCIcfg_rdb3(m, 1, 0, 0, 0), 0xFFu);
}

}  // namespace
}  // namespace kev
