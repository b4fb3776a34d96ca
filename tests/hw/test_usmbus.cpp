#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hw/sim_test_support.h"
#include "hw/usmbus.h"
#include "sim/pci.h"
#include "sim/smbus_host.h"

namespace kev {
namespace {

using sim::SmbusHostFamily;
using ::testing::ElementsAre;

constexpr uint32_t kSlave = 0x2D;
constexpr int kBudget = 8192;

struct FamilyCase {
  const char* name;
  SmbusHostFamily family;
  uint32_t pmId;
  uint16_t base;
};

const FamilyCase kFamilies[] = {
    {"Piix4", SmbusHostFamily::Piix4, 0x71138086, 0x5000},
    {"Ali", SmbusHostFamily::Ali, 0x710110B9, 0x6000},
    {"Sis630", SmbusHostFamily::Sis630, 0x06301039, 0x0800},
    {"Sis5595", SmbusHostFamily::Sis5595, 0x00081039, 0x0C00},
    {"Amd756", SmbusHostFamily::Amd, 0x740B1022, 0x5000},
    {"Amd766", SmbusHostFamily::Amd, 0x74131022, 0x5000},
    {"Amd768", SmbusHostFamily::Amd, 0x74431022, 0x5000},
};

class SmbusFamilyTest : public ::testing::TestWithParam<FamilyCase> {
 protected:
  SmbusFamilyTest() : host(sim::AddSmbusHost(m, GetParam().family, GetParam().base, bus)) {
    bus.attach(kSlave, &chip);
    chip.regs[0x28] = 0x1A;
    chip.regs[0x29] = 0x80;
  }
  int32_t readByte(uint32_t cmd) {
    return SMBrdb(m, GetParam().pmId, GetParam().base, kSlave, cmd);
  }
  int32_t readWord(uint32_t cmd) {
    return SMBrdw(m, GetParam().pmId, GetParam().base, kSlave, cmd);
  }

  sim::SimMachine m;
  sim::SmbusBus bus;
  test::RegisterSlave chip;
  sim::SmbusHost& host;
};

TEST_P(SmbusFamilyTest, ByteAndWordTransfers) {
  EXPECT_EQ(readByte(0x28), 0x1A);
  EXPECT_EQ(readWord(0x28), 0x1A80);

  EXPECT_EQ(SMBwtb(m, GetParam().pmId, GetParam().base, kSlave, 0x40, 0x5C), 0);
  EXPECT_EQ(chip.regs[0x40], 0x5C);
  EXPECT_EQ(SMBwtw(m, GetParam().pmId, GetParam().base, kSlave, 0x50, 0xBEEF), 0);
  EXPECT_EQ(chip.regs[0x50], 0xBE);
  EXPECT_EQ(chip.regs[0x51], 0xEF);
}

TEST_P(SmbusFamilyTest, MissingOrSilentSlaveFailsWithinOneBudget) {
  m.startTrace();
  EXPECT_EQ(SMBrdb(m, GetParam().pmId, GetParam().base, 0x4C, 0x00), -1);
  EXPECT_LT(m.trace().size(), size_t{kBudget});
  EXPECT_EQ(SMBwtb(m, GetParam().pmId, GetParam().base, 0x4C, 0x00, 0x12), -1);

  bus.setSilent(kSlave, true);
  EXPECT_EQ(readWord(0x28), -1);
  bus.setSilent(kSlave, false);
  EXPECT_EQ(readWord(0x28), 0x1A80);
}

TEST_P(SmbusFamilyTest, StuckHostIsResetAndUsed) {
  host.setStuckBusy(true);
  EXPECT_EQ(readByte(0x29), 0x80);
  EXPECT_EQ(host.resets(), 1u);

  host.setStuckBusy(true, /*survivesReset=*/true);
  EXPECT_EQ(readByte(0x29), -1);
  EXPECT_EQ(host.starts(), 1u);
}

TEST_P(SmbusFamilyTest, CollisionsRestartUpToTheBound) {
  bus.injectCollisions(3);
  EXPECT_EQ(readWord(0x28), 0x1A80);
  EXPECT_EQ(bus.transactions(), 4u);

  // One attempt plus 3 restarts, then the read gives up.
  bus.injectCollisions(1000);
  EXPECT_EQ(readByte(0x28), -1);
  EXPECT_EQ(bus.transactions(), 4u + 4u);
}

INSTANTIATE_TEST_SUITE_P(Families, SmbusFamilyTest, ::testing::ValuesIn(kFamilies),
                         [](const auto& p) { return std::string(p.param.name); });

class SmbusPiix4Test : public ::testing::Test {
 protected:
  SmbusPiix4Test() : host(sim::AddSmbusHost(m, SmbusHostFamily::Piix4, 0x5000, bus)) {
    bus.attach(kSlave, &chip);
  }
  sim::SimMachine m;
  sim::SmbusBus bus;
  test::RegisterSlave chip;
  sim::SmbusHost& host;
};

TEST_F(SmbusPiix4Test, ByteReadPortSequence) {
  chip.regs[0x27] = 0x2F;
  m.startTrace();
  EXPECT_EQ(SMBrdb(m, 0x71138086, 0x5000, kSlave, 0x27), 0x2F);
  // The host shows busy for the first status read after the start.
  EXPECT_THAT(test::Trace(m),
              ElementsAre("in8 5000h 00h", "out8 5000h 00h", "out8 5004h 5Bh", "out8 5003h 27h",
                          "out8 5002h 48h", "in8 5000h 01h", "in8 5000h 02h", "in8 5005h 2Fh"));
  // The status left by the read is cleared by writing it back.
  m.startTrace();
  EXPECT_EQ(SMBwtw(m, 0x71138086, 0x5000, kSlave, 0x27, 0x1234), 0);
  EXPECT_THAT(test::Trace(m), ElementsAre("in8 5000h 02h", "out8 5000h 02h", "out8 5004h 5Ah",
                                          "out8 5003h 27h", "out8 5005h 12h", "out8 5006h 34h",
                                          "out8 5002h 4Ch", "in8 5000h 01h", "in8 5000h 02h"));
  m.startTrace(true);
  SMBrdw(m, 0x71138086, 0x5000, kSlave, 0x27);
  const auto delays = test::DelaysAfterEach(m);
  EXPECT_TRUE(std::all_of(delays.begin(), delays.end(), [](int d) { return d == 2; }));
}

TEST_F(SmbusPiix4Test, UnknownIdsUseThePiix4Layout) {
  chip.regs[0x10] = 0x77;
  for (uint32_t id : {0u, 0xFFFFFFFFu, 0x30571106u, 0x24138086u})
    EXPECT_EQ(SMBrdb(m, id, 0x5000, kSlave, 0x10), 0x77) << std::hex << id;
}

TEST_F(SmbusPiix4Test, StuckHostGetsOneBudgetThenKill) {
  host.setStuckBusy(true);
  m.startTrace();
  EXPECT_EQ(SMBrdb(m, 0, 0x5000, kSlave, 0x00), 0);
  const auto trace = test::Trace(m);
  const auto kill = std::find(trace.begin(), trace.end(), "out8 5002h 02h");
  ASSERT_NE(kill, trace.end());
  EXPECT_EQ(std::count(trace.begin(), kill, "in8 5000h 01h"), kBudget);
}

TEST_F(SmbusPiix4Test, WriteCollisionIsNotRestarted) {
  bus.injectCollisions(1);
  EXPECT_EQ(SMBwtb(m, 0, 0x5000, kSlave, 0x00, 0x11), -1);
  EXPECT_EQ(bus.transactions(), 1u);
  EXPECT_EQ(chip.regs[0x00], 0x00);
}

// Where nothing decodes the base every status reads FFh: no host, given up
// at the first look. A base the BIOS never set, or one whose block would
// wrap past FFFFh onto system ports, is not touched at all.
TEST(SmbusNoHost, DeadOrUnprogrammedBaseFailsAtOnce) {
  sim::SimMachine m;
  for (const FamilyCase& f : kFamilies) {
    m.resetAccessCount();
    EXPECT_EQ(SMBrdw(m, f.pmId, 0x7000, kSlave, 0x00), -1) << f.name;
    EXPECT_LE(m.accessCount(), 6u) << f.name;  // one status look, delays included
    m.resetAccessCount();
    EXPECT_EQ(SMBwtb(m, f.pmId, 0x0000, kSlave, 0x00, 0x01), -1) << f.name;
    EXPECT_EQ(SMBrdb(m, f.pmId, 0x00F0, kSlave, 0x00), -1) << f.name;
    EXPECT_EQ(m.accessCount(), 0u) << f.name;
  }
  EXPECT_EQ(SMBrdb(m, 0x740B1022, 0xFF80, kSlave, 0x00), -1);  // AMD block ends at +E8h
  EXPECT_EQ(m.accessCount(), 0u);
}

TEST(SmbusAli, ProtocolBeforeCommandAndSeparateStart) {
  sim::SimMachine m;
  sim::SmbusBus bus;
  test::RegisterSlave chip;
  bus.attach(kSlave, &chip);
  sim::AddSmbusHost(m, SmbusHostFamily::Ali, 0x6000, bus);
  m.startTrace();
  EXPECT_EQ(SMBwtb(m, 0x710110B9, 0x6000, kSlave, 0x2B, 0x66), 0);
  EXPECT_THAT(test::Trace(m),
              ::testing::IsSupersetOf({"out8 6003h 5Ah", "out8 6001h 20h", "out8 6007h 2Bh",
                                       "out8 6004h 66h", "out8 6002h FFh"}));
  const auto t = test::Trace(m);
  auto pos = [&](const char* s) { return std::find(t.begin(), t.end(), s) - t.begin(); };
  EXPECT_LT(pos("out8 6001h 20h"), pos("out8 6007h 2Bh"));
  EXPECT_LT(pos("out8 6004h 66h"), pos("out8 6002h FFh"));

  // A collision on a write restarts on this family.
  bus.injectCollisions(1);
  EXPECT_EQ(SMBwtb(m, 0x710110B9, 0x6000, kSlave, 0x2B, 0x67), 0);
  EXPECT_EQ(chip.regs[0x2B], 0x67);
}

// Word read of register 27h (2Fh, 80h) at slave 2Dh, port by port: the idle
// step, the issue order and the registers of each family's layout.
struct SequenceCase {
  const char* name;
  SmbusHostFamily family;
  uint32_t pmId;
  uint16_t base;
  std::vector<std::string> wordRead;
};

class SmbusSequenceTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(SmbusSequenceTest, WordReadPortByPort) {
  const SequenceCase& c = GetParam();
  sim::SimMachine m;
  sim::SmbusBus bus;
  test::RegisterSlave chip;
  chip.regs[0x27] = 0x2F;
  chip.regs[0x28] = 0x80;
  bus.attach(kSlave, &chip);
  sim::AddSmbusHost(m, c.family, c.base, bus);
  m.startTrace();
  EXPECT_EQ(SMBrdw(m, c.pmId, c.base, kSlave, 0x27), 0x2F80);
  EXPECT_EQ(test::Trace(m), c.wordRead);
  m.startTrace(true);
  SMBrdw(m, c.pmId, c.base, kSlave, 0x27);
  EXPECT_THAT(test::DelaysAfterEach(m), ::testing::Each(2));
}

// Status cleared by writing FFh, then checked for the idle bit.
const std::vector<std::string> kAliWordRead = {
    "out8 6000h FFh", "in8 6000h 04h", "out8 6003h 5Bh", "out8 6001h 30h", "out8 6007h 27h",
    "out8 6002h FFh", "in8 6000h 08h", "in8 6000h 14h",  "in8 6004h 2Fh",  "in8 6005h 80h"};
// Both status registers are read and written back before the start.
const std::vector<std::string> kSis630WordRead = {
    "in8 0880h 00h",  "out8 0880h 00h", "in8 0882h 00h",  "out8 0882h 00h",
    "out8 0884h 5Bh", "out8 0885h 27h", "out8 0883h 13h", "in8 0880h 00h",
    "in8 0880h 08h",  "in8 0888h 2Fh",  "in8 0889h 80h"};
// The wait selects the status index once and then polls only the data port.
const std::vector<std::string> kSis5595WordRead = {
    "out8 0C38h 00h", "in8 0C39h 00h",  "out8 0C38h 00h", "out8 0C39h 00h", "out8 0C38h 04h",
    "out8 0C39h 5Bh", "out8 0C38h 05h", "out8 0C39h 27h", "out8 0C38h 02h", "out8 0C39h 16h",
    "out8 0C38h 00h", "in8 0C39h 02h",  "in8 0C39h 40h",  "out8 0C38h 11h", "in8 0C39h 2Fh",
    "out8 0C38h 12h", "in8 0C39h 80h"};
const std::vector<std::string> kAmdWordRead = {"in8 50E0h 00h",  "out8 50E0h 00h", "out8 50E4h 5Bh",
                                               "out8 50E8h 27h", "out8 50E2h 0Bh", "in8 50E0h 08h",
                                               "in8 50E0h 10h",  "in8 50E6h 2Fh",  "in8 50E7h 80h"};

const SequenceCase kSequences[] = {
    {"Ali", SmbusHostFamily::Ali, 0x710110B9, 0x6000, kAliWordRead},
    {"Sis630", SmbusHostFamily::Sis630, 0x06301039, 0x0800, kSis630WordRead},
    {"Sis5595", SmbusHostFamily::Sis5595, 0x00081039, 0x0C00, kSis5595WordRead},
    {"Amd", SmbusHostFamily::Amd, 0x74431022, 0x5000, kAmdWordRead},
};

INSTANTIATE_TEST_SUITE_P(Families, SmbusSequenceTest, ::testing::ValuesIn(kSequences),
                         [](const auto& p) { return std::string(p.param.name); });

// A host that stays busy gets one poll budget, then its family's reset.
TEST(SmbusReset, StuckHostsGetTheirFamilysResetWrites) {
  struct ResetCase {
    SmbusHostFamily family;
    uint32_t pmId;
    uint16_t base;
    std::vector<std::string> reset;
  };
  const ResetCase cases[] = {
      {SmbusHostFamily::Ali, 0x710110B9, 0x6000, {"out8 6001h 0Ch", "out8 6000h FFh"}},
      {SmbusHostFamily::Sis630, 0x06301039, 0x0800, {"out8 0883h 20h"}},
      {SmbusHostFamily::Sis5595, 0x00081039, 0x0C00, {"out8 0C38h 02h", "out8 0C39h 20h"}},
      {SmbusHostFamily::Amd, 0x740B1022, 0x5000, {"out8 50E2h 20h"}},
  };
  for (const ResetCase& c : cases) {
    sim::SimMachine m;
    sim::SmbusBus bus;
    test::RegisterSlave chip;
    bus.attach(kSlave, &chip);
    sim::AddSmbusHost(m, c.family, c.base, bus).setStuckBusy(true);
    m.startTrace();
    SMBrdb(m, c.pmId, c.base, kSlave, 0x00);
    const auto t = test::Trace(m);
    // The reset comes once, before the address register is loaded.
    const auto address = std::find_if(t.begin(), t.end(), [](const std::string& e) {
      return e.find(" 5Bh") != std::string::npos;
    });
    const auto reset = std::search(t.begin(), t.end(), c.reset.begin(), c.reset.end());
    ASSERT_NE(reset, t.end()) << std::hex << c.pmId;
    EXPECT_LT(reset, address) << std::hex << c.pmId;
    EXPECT_EQ(std::search(reset + 1, t.end(), c.reset.begin(), c.reset.end()), t.end());
  }
}

TEST(SmbusConfigReaders, ReadBusZeroIdentity) {
  sim::SimMachine m;
  sim::PciHost pci(m);
  sim::PciFunction pm(0x8086, 0x7113, 0x02);
  pm.set32(0x90, 0x00005001);
  pm.set32(0x40, 0x40C10000);
  pci.attach(0, 7, 3, &pm);
  sim::PciFunction other(0x1106, 0x3057, 0x40);
  pci.attach(1, 7, 3, &other);

  EXPECT_EQ(SMBrd_did(m, 7, 3), 0x71138086u);
  EXPECT_EQ(SMBrd_rid(m, 7, 3), 0x02u);
  EXPECT_EQ(SMBrdwo_bad(m, 7, 3, 0x92), 0x5000u);
  EXPECT_EQ(SMBrdwe_bad(m, 7, 3, 0x41), 0x40C0u);
  EXPECT_EQ(SMBrd_did(m, 8, 0), 0xFFFFFFFFu);

  // The base register is read as the low word of its dword; CF8h is closed after.
  m.startTrace();
  SMBrdwo_bad(m, 7, 3, 0x92);
  EXPECT_THAT(test::Trace(m),
              ElementsAre("out32 0CF8h 80003B90h", "in16 0CFCh 5001h", "out32 0CF8h 00003B90h"));
}

}  // namespace
}  // namespace kev
