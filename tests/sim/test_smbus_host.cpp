#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "sim/smbus_host.h"

namespace kev::sim {
namespace {

// Registers on the bus; the word transfers are the bus default.
class TinySlave : public SmbusSlave {
 public:
  std::array<uint8_t, 256> regs{};
  std::optional<uint8_t> smbReadByte(uint8_t c) override { return regs[c]; }
  bool smbWriteByte(uint8_t c, uint8_t v) override {
    regs[c] = v;
    return true;
  }
};

constexpr uint8_t kSlave = 0x2D;
constexpr uint8_t kRead = kSlave * 2 + 1;
constexpr uint8_t kWrite = kSlave * 2;

TEST(SmbusBusTest, DefaultWordCollisionsAndSilence) {
  SmbusBus bus;
  TinySlave chip;
  chip.regs[0x10] = 0x3C;
  bus.attach(kSlave, &chip);
  uint16_t w = 0;
  EXPECT_EQ(bus.readWord(kSlave, 0x10, w), SmbusResult::Ok);
  EXPECT_EQ(w, 0x3C3C);  // no auto-increment: the register twice
  EXPECT_EQ(bus.writeWord(kSlave, 0x11, 0x1234), SmbusResult::Ok);
  EXPECT_EQ(chip.regs[0x11], 0x34);  // the low byte is last on the bus

  bus.injectCollisions(2);
  uint8_t b = 0;
  EXPECT_EQ(bus.readByte(kSlave, 0x10, b), SmbusResult::Collision);
  EXPECT_EQ(bus.writeByte(kSlave, 0x10, 1), SmbusResult::Collision);
  EXPECT_EQ(bus.readByte(kSlave, 0x10, b), SmbusResult::Ok);
  bus.setSilent(kSlave, true);
  EXPECT_EQ(bus.readByte(kSlave, 0x10, b), SmbusResult::NoAck);
  EXPECT_EQ(bus.readByte(0x50, 0x10, b), SmbusResult::NoAck);
  EXPECT_EQ(bus.transactions(), 7u);
}

class Piix4HostTest : public ::testing::Test {
 protected:
  Piix4HostTest() : host(AddSmbusHost(m, SmbusHostFamily::Piix4, 0x5000, bus)) {
    bus.attach(kSlave, &chip);
    chip.regs[0x27] = 0x5A;
  }
  void startByteRead(uint8_t address) {
    m.outb(0x5004, address);
    m.outb(0x5003, 0x27);
    m.outb(0x5002, 0x48);
  }
  SimMachine m;
  SmbusBus bus;
  TinySlave chip;
  SmbusHost& host;
};

TEST_F(Piix4HostTest, BusyThenLatchedOutcomeClearedByWritingOne) {
  startByteRead(kRead);
  EXPECT_EQ(m.inb(0x5000), 0x01);
  EXPECT_EQ(m.inb(0x5000), 0x02);
  EXPECT_EQ(m.inb(0x5005), 0x5A);
  m.outb(0x5000, 0x01);  // busy is not a latched bit: nothing clears
  EXPECT_EQ(m.inb(0x5000), 0x02);
  m.outb(0x5000, 0x02);
  EXPECT_EQ(m.inb(0x5000), 0x00);

  startByteRead(0x99);  // nobody at 4Ch
  m.inb(0x5000);
  EXPECT_EQ(m.inb(0x5000), 0x04);
  m.outb(0x5000, 0xFF);
  bus.injectCollisions(1);
  startByteRead(kRead);
  m.inb(0x5000);
  EXPECT_EQ(m.inb(0x5000), 0x08);
}

TEST_F(Piix4HostTest, StuckBusyAndKill) {
  host.setStuckBusy(true);
  startByteRead(kRead);
  EXPECT_EQ(host.starts(), 0u);
  EXPECT_EQ(m.inb(0x5000), 0x01);
  m.outb(0x5002, 0x02);  // kill
  EXPECT_EQ(m.inb(0x5000), 0x10);
  EXPECT_EQ(host.resets(), 1u);

  host.setStuckBusy(true, true);
  m.outb(0x5002, 0x02);
  EXPECT_EQ(m.inb(0x5000) & 0x01, 0x01);
}

TEST(AliHostTest, IdleBitSeparateStartAndTimeoutReset) {
  SimMachine m;
  SmbusBus bus;
  TinySlave chip;
  bus.attach(kSlave, &chip);
  SmbusHost& host = AddSmbusHost(m, SmbusHostFamily::Ali, 0x6000, bus);
  EXPECT_EQ(m.inb(0x6000), 0x04);
  m.outb(0x6003, kWrite);
  m.outb(0x6001, 0x20);
  m.outb(0x6007, 0x31);
  m.outb(0x6004, 0x77);
  EXPECT_EQ(host.starts(), 0u);
  m.outb(0x6002, 0xFF);
  EXPECT_EQ(m.inb(0x6000), 0x08);
  EXPECT_EQ(m.inb(0x6000), 0x14);
  EXPECT_EQ(chip.regs[0x31], 0x77);
  m.outb(0x6000, 0xFF);
  EXPECT_EQ(m.inb(0x6000), 0x04);

  host.setStuckBusy(true);
  EXPECT_EQ(m.inb(0x6000), 0x08);
  m.outb(0x6001, 0x0C);
  EXPECT_EQ(m.inb(0x6000), 0x04);
}

TEST(Sis630HostTest, BusyInTheExtraRegister) {
  SimMachine m;
  SmbusBus bus;
  TinySlave chip;
  chip.regs[0x40] = 0x12;
  bus.attach(kSlave, &chip);
  AddSmbusHost(m, SmbusHostFamily::Sis630, 0x0800, bus);
  m.outb(0x0884, kRead);
  m.outb(0x0885, 0x40);
  m.outb(0x0883, 0x13);
  EXPECT_EQ(m.inb(0x0882) & 0x01, 0x01);
  EXPECT_EQ(m.inb(0x0880), 0x08);
  EXPECT_EQ(m.inb(0x0882) & 0x01, 0x00);
  EXPECT_EQ(m.inb(0x0888), 0x12);
  EXPECT_EQ(m.inb(0x0889), 0x12);
}

TEST(Sis5595HostTest, RegistersBehindIndexAndData) {
  SimMachine m;
  SmbusBus bus;
  TinySlave chip;
  chip.regs[0x20] = 0xA7;
  bus.attach(kSlave, &chip);
  AddSmbusHost(m, SmbusHostFamily::Sis5595, 0x0C00, bus);
  auto reg = [&](uint8_t index, uint8_t value) {
    m.outb(0x0C38, index);
    m.outb(0x0C39, value);
  };
  reg(0x04, kRead);
  reg(0x05, 0x20);
  reg(0x02, 0x14);
  m.outb(0x0C38, 0x00);
  EXPECT_EQ(m.inb(0x0C38), 0x00);
  EXPECT_EQ(m.inb(0x0C39), 0x02);
  EXPECT_EQ(m.inb(0x0C39), 0x40);
  m.outb(0x0C38, 0x11);
  EXPECT_EQ(m.inb(0x0C39), 0xA7);
  EXPECT_EQ(m.inb(0x0C00), 0xFF);  // nothing else of the block is decoded
}

TEST(AmdHostTest, WordDataFirstByteInLowPort) {
  SimMachine m;
  SmbusBus bus;
  TinySlave chip;
  chip.regs[0x07] = 0x1A;
  bus.attach(kSlave, &chip);
  SmbusHost& host = AddSmbusHost(m, SmbusHostFamily::Amd, 0x5000, bus);
  m.outb(0x50E4, kRead);
  m.outb(0x50E8, 0x07);
  m.outb(0x50E2, 0x0B);
  EXPECT_EQ(m.inb(0x50E0), 0x08);
  EXPECT_EQ(m.inb(0x50E0), 0x10);
  EXPECT_EQ(m.inw(0x50E6), 0x1A1A);

  host.setStuckBusy(true);
  m.outb(0x50E2, 0x20);  // abort
  EXPECT_EQ(m.inb(0x50E0), 0x11);
}

}  // namespace
}  // namespace kev::sim
