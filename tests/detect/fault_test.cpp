// Detection and set-up on faulty hardware: a stuck or colliding SMBus must
// not stall them, and a chip that is gone ends in "not found" values.
#include <gtest/gtest.h>

#include "detect_fixture.h"

namespace kev::test {
namespace {

// Generous bound on the port accesses of a whole detection on a dead bus:
// every transaction gives up after its poll budgets and restart bound.
constexpr uint64_t kMaxAccesses = 20'000'000;

struct Outcome {
  MonitorSettings s = FirstRunSettings();
  DetectState st;
  uint64_t accesses = 0;
};

Outcome Detect(sim::SimBoard& b) {
  Outcome r;
  b.machine().resetAccessCount();
  RunDetection(b.machine(), r.s, r.st);
  r.accesses = b.machine().accessCount();
  return r;
}

void ExpectNothingFound(const Outcome& r) {
  EXPECT_FALSE(r.st.chip.MainSmbFound);
  EXPECT_EQ(r.st.chip.MainSmbAddress, -1);
  EXPECT_EQ(r.st.chip.ChipVendor, -1);
  EXPECT_EQ(r.st.chip.ChipKind, kind::Unknown);
  EXPECT_FALSE(r.st.chip.FoundOnPort);
  EXPECT_EQ(r.st.FanDivisor, (std::array<int32_t, 3>{2, 2, 2}));
  EXPECT_EQ(r.s.Temp2SMBAddress, -1);
  EXPECT_EQ(r.s.Temp3SMBAddress, -1);
}

TEST(Faults, HostStuckBusyForGoodEndsInNotFound) {
  auto b = CatalogueBoard("amd761-amd766-w83782d");
  ASSERT_TRUE(b);
  b->setSmbusStuckBusy(true, true);
  const Outcome r = Detect(*b);
  ExpectNothingFound(r);
  EXPECT_LT(r.accesses, kMaxAccesses);
}

TEST(Faults, HostStuckBusyUntilItsResetStillFindsTheChip) {
  auto b = CatalogueBoard("amd761-amd766-w83782d");
  ASSERT_TRUE(b);
  b->setSmbusStuckBusy(true, false);
  const Outcome r = Detect(*b);
  EXPECT_EQ(r.st.chip.ChipKind, kind::W83782D);
  EXPECT_EQ(r.st.chip.MainSmbAddress, 0x2D);
}

TEST(Faults, EndlessCollisionsEndInNotFound) {
  for (const char* board : {"ali-m1535-lm78", "440gx-dual-lm87", "p3b-as99127f-wb"}) {
    auto b = CatalogueBoard(board);
    ASSERT_TRUE(b);
    b->injectSmbusCollisions(1'000'000'000);
    const Outcome r = Detect(*b);
    ExpectNothingFound(r);
    EXPECT_LT(r.accesses, kMaxAccesses) << board;
  }
}

TEST(Faults, AFewCollisionsAreRetriedAway) {
  auto b = CatalogueBoard("440gx-dual-lm87");
  ASSERT_TRUE(b);
  b->injectSmbusCollisions(3);
  const Outcome r = Detect(*b);
  EXPECT_EQ(r.st.chip.ChipKind, kind::LM87);
  EXPECT_EQ(r.st.chip.MainSmbAddress, 0x2E);
}

TEST(Faults, VanishedChipIsNotFoundOnEitherBus) {
  // (A PC87366 is known by its Super-I/O ID, which stays when its monitor goes.)
  for (const char* board : {"p2b-piix4-w83781d", "amd761-amd766-w83782d", "sis5600-sis5595",
                            "i850-ich2-it8712f-smbus", "440lx-gl518sm-lm75"}) {
    auto b = CatalogueBoard(board);
    ASSERT_TRUE(b);
    if (!b->setChipVanished("main", true)) {
      ADD_FAILURE() << board << " has no chip \"main\" that can vanish";
      continue;
    }
    const Outcome r = Detect(*b);
    SCOPED_TRACE(board);
    ExpectNothingFound(r);
  }
}

TEST(Faults, SmbusChipVanishingBeforeSetUpLeavesSettingsAndChipAlone) {
  auto b = CatalogueBoard("amd761-amd766-w83782d");
  ASSERT_TRUE(b);
  MonitorSettings s = FirstRunSettings();
  DetectState st;
  EnableIchSmbus(b->machine());
  DetectPmDevice(b->machine(), s, 0, st);
  DetectChip(b->machine(), s, st);
  ASSERT_EQ(st.chip.ChipKind, kind::W83782D);
  sim::MonitorChip* chip = Chip(*b, "main");
  ASSERT_NE(chip, nullptr);
  const uint8_t subClients = chip->reg(0, 0x4A);
  const uint8_t vbat = chip->reg(0, 0x5D);

  b->setChipVanished("main", true);
  ConfigureChip(b->machine(), s, st);
  EXPECT_EQ(st.FanDivisor, (std::array<int32_t, 3>{2, 2, 2}));
  EXPECT_EQ(s.Temp2SMBAddress, -1);  // no sub-client address read
  EXPECT_EQ(s.Temp3SMBAddress, -1);
  EXPECT_FALSE(s.Sensor1OnDieDiode);  // no diode mode read either
  EXPECT_FALSE(s.Sensor2OnDieDiode);
  EXPECT_FALSE(s.Sensor3OnDieDiode);
  b->setChipVanished("main", false);
  EXPECT_EQ(chip->reg(0, 0x4A), subClients);
  EXPECT_EQ(chip->reg(0, 0x5D), vbat);
}

TEST(Faults, IsaChipVanishingBeforeSetUpDoesNotStall) {
  auto b = CatalogueBoard("p2b-piix4-w83781d");
  ASSERT_TRUE(b);
  MonitorSettings s = FirstRunSettings();
  DetectState st;
  DetectPmDevice(b->machine(), s, 0, st);
  DetectChip(b->machine(), s, st);
  ASSERT_EQ(st.chip.ChipKind, kind::W83781D);
  b->setChipVanished("main", true);
  b->machine().resetAccessCount();
  ConfigureChip(b->machine(), s, st);
  EXPECT_LT(b->machine().accessCount(), 10'000u);
  EXPECT_FALSE(s.MainChipSMBUse);
}

}  // namespace
}  // namespace kev::test
