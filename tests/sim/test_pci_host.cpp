#include <gtest/gtest.h>

#include <vector>

#include "sim/pci.h"

namespace kev::sim {
namespace {

constexpr uint16_t kAddr = 0xCF8;
constexpr uint16_t kData = 0xCFC;

class PciHostTest : public ::testing::Test {
 protected:
  PciHostTest() : host(m), fn(0x1106, 0x3057, 0x40) {
    fn.set32(0x70, 0x44332211);
    host.attach(0, 7, 4, &fn);
  }
  SimMachine m;
  PciHost host;
  PciFunction fn;
};

TEST_F(PciHostTest, OnlyDwordWritesLatchTheAddress) {
  m.outl(kAddr, 0x80003C73);
  EXPECT_EQ(host.address(), 0x80003C70u);  // bits 1-0 read as zero
  EXPECT_EQ(m.inl(kAddr), 0x80003C70u);
  m.outb(kAddr, 0x00);
  m.outw(0xCFA, 0x0000);
  EXPECT_EQ(host.address(), 0x80003C70u);
  EXPECT_EQ(m.inl(kData), 0x44332211u);
}

TEST_F(PciHostTest, LanesOfTheDataWindow) {
  m.outl(kAddr, 0x80003C70);
  EXPECT_EQ(m.inb(0xCFD), 0x22);
  EXPECT_EQ(m.inb(0xCFF), 0x44);
  EXPECT_EQ(m.inw(0xCFE), 0x4433);

  fn.setWritable(0x72, 0xFF);
  fn.setWritable(0x73, 0x0F);
  m.outb(0xCFE, 0xAA);
  m.outw(0xCFC, 0xBBBB);  // bytes 70h-71h are read-only
  m.outb(0xCFF, 0xFF);
  EXPECT_EQ(fn.get32(0x70), 0x4FAA2211u);
}

TEST_F(PciHostTest, WriteHookSeesOldAndNewValues) {
  std::vector<int> seen;
  fn.setWritable(0x71, 0xF0);
  fn.onWrite([&](uint8_t ofs, uint8_t oldV, uint8_t newV) {
    seen.insert(seen.end(), {ofs, oldV, newV});
  });
  m.outl(kAddr, 0x80003C70);
  m.outb(0xCFD, 0xFF);
  EXPECT_EQ(seen, (std::vector<int>{0x71, 0x22, 0xF2}));
}

TEST_F(PciHostTest, AllOnesWhenDisabledEmptyOrHidden) {
  m.outl(kAddr, 0x00003C70);
  EXPECT_EQ(m.inl(kData), 0xFFFFFFFFu);
  m.outl(kAddr, 0x80003D70);  // function 5: empty
  EXPECT_EQ(m.inl(kData), 0xFFFFFFFFu);
  EXPECT_EQ(m.inw(0xCFE), 0xFFFF);

  fn.setHidden(true);
  fn.setWritable(0x70, 0xFF);
  m.outl(kAddr, 0x80003C70);
  EXPECT_EQ(m.inl(kData), 0xFFFFFFFFu);
  m.outb(kData, 0x00);
  fn.setHidden(false);
  EXPECT_EQ(m.inl(kData), 0x44332211u);
}

TEST_F(PciHostTest, DecodesBusDeviceFunction) {
  PciFunction other(0x8086, 0x7113, 0x02);
  host.attach(2, 31, 7, &other);
  EXPECT_EQ(host.find(2, 31, 7), &other);
  m.outl(kAddr, 0x8002FF00);
  EXPECT_EQ(m.inl(kData), 0x71138086u);
  m.outl(kAddr, 0x8002FF08);
  EXPECT_EQ(m.inb(kData), 0x02);
}

}  // namespace
}  // namespace kev::sim
