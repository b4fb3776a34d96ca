// South and host bridges as the configuration mechanism shows them.
#include <gtest/gtest.h>

#include "sim/board.h"
#include "test_board_util.h"

namespace kev::sim {
namespace {

using namespace kev::sim::testing;

std::unique_ptr<SimBoard> Board(const std::string& south, const std::string& extra = "",
                                const std::string& host = R"({"kind": "440BX"})") {
  const std::string text = R"({"host_bridge": )" + host + R"(, "south_bridge": {"kind": ")" +
                           south + R"(", "smbus_base": "0x5000")" + extra + R"(}, "chips": []})";
  auto r = LoadBoardJson(text, "test");
  EXPECT_TRUE(r.ok()) << r.error().text();
  return r.take();
}

TEST(SouthBridge, Piix4RevisionTellsPiix4eAndBaseRegisterHoldsSmbusBase) {
  auto plain = Board("PIIX4");
  auto e = Board("PIIX4E");
  EXPECT_EQ(PciRead32(plain->machine(), 7, 3, 0), 0x71138086u);
  EXPECT_EQ(PciRead8(plain->machine(), 7, 3, 0x08) & 0x02, 0);
  EXPECT_EQ(PciRead8(e->machine(), 7, 3, 0x08) & 0x02, 0x02);
  EXPECT_EQ(PciRead32(plain->machine(), 7, 3, 0x90) & 0xFFFE, 0x5000u);
  // PIIX4 host status register: idle, not a floating bus.
  EXPECT_NE(plain->machine().inb(0x5000), 0xFF);
}

TEST(SouthBridge, IchLpcBitHidesSmbusFunctionUntilCleared) {
  auto b = Board("ICH2", R"(, "smbus_hidden": true)");
  SimMachine& m = b->machine();
  EXPECT_EQ(PciRead32(m, 31, 0, 0), 0x24408086u);
  EXPECT_EQ(PciRead32(m, 31, 3, 0), 0xFFFFFFFFu);
  PciWrite8(m, 31, 3, 0x20, 0x00);  // a hidden function ignores writes
  const uint32_t f2 = PciRead32(m, 31, 0, 0xF0) >> 16;
  EXPECT_EQ(f2 & 0x08, 0x08u);
  PciWrite16(m, 31, 0, 0xF2, static_cast<uint16_t>(f2 & ~0x08u));
  EXPECT_EQ(PciRead32(m, 31, 3, 0), 0x24438086u);
  EXPECT_EQ(PciRead32(m, 31, 3, 0x20) & 0xFFFE, 0x5000u);
  PciWrite16(m, 31, 0, 0xF2, static_cast<uint16_t>(f2 | 0x08u));
  EXPECT_EQ(PciRead32(m, 31, 3, 0), 0xFFFFFFFFu);
}

TEST(SouthBridge, IchVariantsDifferInTheLpcBridge) {
  EXPECT_EQ(PciRead32(Board("ICH2-M")->machine(), 31, 0, 0), 0x244C8086u);
  EXPECT_EQ(PciRead32(Board("ICH")->machine(), 31, 0, 0), 0x24108086u);
  EXPECT_EQ(PciRead32(Board("ICH0")->machine(), 31, 0, 0), 0x24208086u);
  EXPECT_EQ(PciRead32(Board("ICH3-M")->machine(), 31, 0, 0), 0x248C8086u);
}

TEST(SouthBridge, Sis630PmSpaceDecodesOnlyWithRegister40Bit7) {
  auto b = Board("SiS630", R"(, "pm_enabled": false)", "null");
  SimMachine& m = b->machine();
  EXPECT_EQ(PciRead32(m, 0, 0, 0), 0x06301039u);
  EXPECT_EQ(PciRead32(m, 1, 0, 0x74) & 0xFFFE, 0x5000u);
  EXPECT_EQ(PciRead8(m, 1, 0, 0x40) & 0x80, 0);
  EXPECT_EQ(m.inb(0x5080), 0xFF);  // SMBus status floats
  EXPECT_EQ(m.inw(0x503A), 0xFFFF);
  PciWrite8(m, 1, 0, 0x40, 0x80);
  EXPECT_NE(m.inb(0x5080), 0xFF);
  m.outw(0x503A, 0x1234);  // the board-switch word keeps what is written
  EXPECT_EQ(m.inw(0x503A), 0x1234);
  EXPECT_EQ(m.inb(0x503B), 0x12);
  PciWrite8(m, 1, 0, 0x40, 0x00);
  EXPECT_EQ(m.inb(0x5080), 0xFF);
}

TEST(SouthBridge, Sis5595HasItsFunctionOneAndMonitorBase) {
  auto b = Board("SiS5595", R"(, "monitor_base": "0x0290")", R"({"kind": "SiS5600"})");
  SimMachine& m = b->machine();
  EXPECT_EQ(PciRead32(m, 1, 0, 0), 0x00081039u);
  EXPECT_EQ(PciRead32(m, 1, 1, 0), 0x00091039u);
  EXPECT_EQ(PciRead32(m, 1, 0, 0x68) & 0xFFF8, 0x0290u);
  EXPECT_EQ(PciRead32(m, 1, 0, 0x90) & 0xFFFE, 0x5000u);
}

TEST(SouthBridge, AliBaseInHighWordAndSwitchRegisterWritable) {
  auto b = Board("M1535D+", "", R"({"kind": "M1541"})");
  SimMachine& m = b->machine();
  EXPECT_EQ(PciRead32(m, 17, 0, 0), 0x710110B9u);
  EXPECT_EQ((PciRead32(m, 17, 0, 0xE0) >> 16) & 0xFFFE, 0x5000u);
  m.outl(0xCF8, 0x800088B8);
  m.outl(0xCFC, 0xABCD0040);
  EXPECT_EQ(PciRead32(m, 17, 0, 0xB8), 0xABCD0040u);
}

TEST(SouthBridge, AmdAndViaBaseRegisters) {
  EXPECT_EQ(PciRead32(Board("AMD-768")->machine(), 7, 3, 0x58) & 0xFFFE, 0x5000u);
  EXPECT_EQ(PciRead32(Board("VT8233")->machine(), 17, 0, 0xB0) & 0xFFFE, 0x5000u);
  EXPECT_EQ(PciRead32(Board("VT8233C")->machine(), 17, 0, 0xD0) & 0xFFFE, 0x5000u);
  EXPECT_EQ(PciRead8(Board("VT82C686B")->machine(), 7, 4, 0x08) & 0x40, 0x40);
  EXPECT_EQ(PciRead8(Board("VT82C686A")->machine(), 7, 4, 0x08) & 0x40, 0);
}

TEST(SouthBridge, GpioLatchesHoldWhatTheSwitchWrites) {
  auto piix4 = Board("PIIX4");
  piix4->machine().outb(0xE437, 0x5A);
  EXPECT_EQ(piix4->machine().inb(0xE437), 0x5A);
  auto via = Board("VT82C686A");
  via->machine().outb(0xE44D, 0x09);
  EXPECT_EQ(via->machine().inb(0xE44D), 0x09);
  EXPECT_EQ(Board("VT82C596B")->machine().inb(0xE44D), 0x00);
}

TEST(HostBridge, AgpVariantsDifferInIdentifierBit17) {
  auto withAgp = Board("PIIX4", "", R"({"kind": "440GX"})");
  auto noAgp = Board("PIIX4", "", R"({"kind": "440GX", "agp": false})");
  EXPECT_EQ(PciRead32(withAgp->machine(), 0, 0, 0), 0x71A08086u);
  EXPECT_NE(PciRead32(withAgp->machine(), 1, 0, 0), 0xFFFFFFFFu);  // AGP bridge
  const uint32_t id = PciRead32(noAgp->machine(), 0, 0, 0);
  EXPECT_NE(id, 0x71A08086u);
  EXPECT_EQ(id & ~(1u << 17), 0x71A08086u);
  EXPECT_EQ(PciRead32(noAgp->machine(), 1, 0, 0), 0xFFFFFFFFu);
}

TEST(HostBridge, Register50Bit15ClearMeansTwoCoreVoltages) {
  auto single = Board("PIIX4", "", R"({"kind": "440BX"})");
  auto dual = Board("PIIX4", "", R"({"kind": "440BX", "dual_core_voltage": true})");
  EXPECT_EQ(PciRead32(single->machine(), 0, 0, 0x50) & 0x8000, 0x8000u);
  EXPECT_EQ(PciRead32(dual->machine(), 0, 0, 0x50) & 0x8000, 0u);
  EXPECT_EQ(PciRead32(Board("VT82C686A", "", R"({"kind": "KT133"})")->machine(), 0, 0, 0),
            0x03051106u);
}

TEST(SuperIo, WinbondLogicalDevice8RegisterF1KeepsSwitchBits) {
  auto r = LoadBoardJson(
      R"({"south_bridge": {"kind": "ICH2"}, "superio": {"kind": "Winbond"}, "chips": []})", "t");
  ASSERT_TRUE(r.ok()) << r.error().text();
  SimMachine& m = r.board().machine();
  SioWrite(m, 0x2E, 0x07, 0x08);  // ignored: configuration closed
  m.outb(0x2E, 0x87);
  m.outb(0x2E, 0x87);
  EXPECT_EQ(SioRead(m, 0x2E, 0x20), 0x52);
  SioWrite(m, 0x2E, 0x20, 0x00);  // chip ID is read-only
  EXPECT_EQ(SioRead(m, 0x2E, 0x20), 0x52);
  SioWrite(m, 0x2E, 0x07, 0x08);
  SioWrite(m, 0x2E, 0xF1, 0x10);
  SioWrite(m, 0x2E, 0x07, 0x07);
  EXPECT_EQ(SioRead(m, 0x2E, 0xF1), 0x00);  // another device's register
  SioWrite(m, 0x2E, 0x07, 0x08);
  EXPECT_EQ(SioRead(m, 0x2E, 0xF1), 0x10);
  m.outb(0x2E, 0xAA);  // exit
  EXPECT_EQ(m.inb(0x2F), 0xFF);
}

}  // namespace
}  // namespace kev::sim
