// Every catalogue board through the whole first-run detection: what someone
// who knows the board expects of the PM device, the chip and its set-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "detect_fixture.h"

namespace kev::test {
namespace {

constexpr int32_t kAny = -2;  // not checked on this board

struct Expect {
  const char* board;
  uint32_t vendorDevice;  // FFFFFFFFh: no PM device
  int32_t device, function, smbBase;
  bool dualCoreVoltage;
  int32_t kind;
  bool foundOnPort;
  int32_t mainSmbAddress;
  int32_t port;  // MainChipPortAddress after detection
  std::array<int32_t, 3> divisors;
  bool smbUse, smbOnly;
  int32_t temp2 = -1, temp3 = -1;  // Temp2SMBAddress / Temp3SMBAddress
  int32_t sensorType = kSensorWord;
  int32_t subClient = -1;
};

// Divisors follow from the fan speeds: a count of 1350000 / (rpm x divisor)
// (8000 Hz parts: 480000) must stay at 254 or below; a stopped fan walks to
// the largest divisor.
// board, PM identifier, device, function, SMBus base, dual core voltage, chip
// kind, found on port, SMBus address, port, divisors, SMBus use, SMBus only
// [, Temp 2 / Temp 3 sensor index, sensor type, sub-client index]
// clang-format off
const Expect kBoards[] = {
    {"440bx-noagp-lm78j", 0x71138086, 7, 3, 0x5000, false, kind::LM78J, true, -1, 0x290, {2, 4, 2}, false, false},
    {"440bx-pc87366-4e", 0x71138086, 7, 3, 0x5000, false, kind::PC87366, true, -1, 0x4E, {1, 8, 8}, false, false},
    {"440bx-w83783s", 0x71138086, 7, 3, 0x5000, false, kind::W83783S, false, 0x2D, 0x290, {2, 2, 4}, true, true, 7},
    {"440gx-dual-lm87", 0x71138086, 7, 3, 0x5000, true, kind::LM87, false, 0x2E, 0x290, {2, 2, 2}, true, true},
    {"440lx-gl518sm-lm75", 0x71138086, 7, 3, 0x5000, false, kind::GL518SM, false, 0x2C, 0x290, {1, 1, 2}, true, true},
    {"440lx-no-chip", 0x71138086, 7, 3, 0x5000, false, kind::Unknown, false, -1, 0x290, {2, 2, 2}, true, false},
    {"ali-m1535-lm78", 0x710110B9, 17, 0, 0x6000, false, kind::LM78, false, 0x2D, 0x290, {2, 2, 2}, true, false},
    {"amd751-amd756-lm79", 0x740B1022, 7, 3, 0x5000, false, kind::LM79, true, -1, 0x290, {2, 2, 2}, false, false},
    {"amd761-amd766-lm80", 0x74131022, 7, 3, 0x5000, false, kind::LM80, false, 0x2C, 0x290, {2, 4, 2}, true, true},
    {"amd761-amd766-w83782d", 0x74131022, 7, 3, 0x6000, false, kind::W83782D, false, 0x2D, 0x290, {2, 4, 128}, true, false, 7, 6},
    {"amd761-amd768-lm81", 0x74431022, 7, 3, 0x5000, false, kind::LM81, false, 0x2C, 0x290, {2, 2, 2}, true, true},
    {"apollo-vt8231", 0x82351106, 17, 4, 0x5000, false, kind::VT8231, true, -1, 0x6000, {2, 8, 2}, false, false},
    {"apollo-vt82c596b-3051-winbond", 0x30511106, 7, 3, 0x5000, false, kind::WinbondChip, true, -1, 0x290, {2, 2, 8}, false, false},
    {"apollo-vt82c596b-gl520sm-max1617", 0x30501106, 7, 3, 0x5000, false, kind::GL520SM, false, 0x2D, 0x290, {1, 1, 2}, true, true},
    {"cusl2-as99127f-as", 0x24438086, 31, 3, 0xE800, false, kind::AS99127F_AS, false, 0x2D, 0x290, {2, 4, 8}, true, true, 7, 6, kind::AS99127F_AS, 7},
    {"demo", 0x71138086, 7, 3, 0x5000, false, kind::W83782D, true, -1, 0x290, {2, kAny, 2}, false, false},
    {"i810-ich-w83781d", 0x24138086, 31, 3, 0x5000, false, kind::W83781D, true, -1, 0x290, {2, 4, 8}, false, false},
    {"i810-ich0-lm78", 0x24238086, 31, 3, 0x5000, false, kind::LM78, true, -1, 0x290, {2, 4, 2}, false, false},
    {"i815-ich2-hidden-w83627hf", 0x24438086, 31, 3, 0x5000, false, kind::W83627HF, true, -1, 0x290, {2, 4, 128}, false, false},
    {"i815-pc87366-2e", 0x24438086, 31, 3, 0x5000, false, kind::PC87366, true, -1, 0x2E, {1, 1, 8}, false, false},
    {"i830m-ich3m-max1617", 0x24838086, 31, 3, 0x1100, false, kind::Unknown, false, -1, 0x290, {2, 2, 2}, true, false},
    {"i850-ich2-it8712f-smbus", 0x24438086, 31, 3, 0x5000, false, kind::IT8712F, true, 0x2D, 0x290, {2, 4, 8}, false, false},
    {"kt133-vt82c686a", 0x30571106, 7, 4, 0x5000, false, kind::VT82C686A, true, -1, 0xEC00, {2, 4, 2}, false, false},
    {"kt133a-vt82c686b", 0x30571106, 7, 4, 0x5000, false, kind::VT82C686A, true, -1, 0xE800, {2, 4, 2}, false, false},
    {"kt266-vt8233-w83697hf", 0x82311106, 17, 0, 0x0400, false, kind::W83697HF, true, -1, 0x290, {2, 4, 128}, false, false},
    {"kt266-vt8233c-w83782d", 0x30741106, 17, 0, 0x0400, false, kind::W83782D, false, 0x2D, 0x290, {2, 4, 128}, true, false, 7, 6},
    {"p2b-piix4-w83781d", 0x71138086, 7, 3, 0x5000, false, kind::W83781D, true, -1, 0x290, {2, 2, 8}, false, false},
    {"p3b-as99127f-wb", 0x71138086, 7, 3, 0x5000, false, kind::AS99127F_WB, false, 0x2D, 0x290, {2, 2, 8}, true, true, 7, 6, kind::AS99127F_WB, 7},
    {"sis5600-sis5595", 0x00081039, 1, 0, 0x5000, false, kind::SiS5595, true, -1, 0x290, {2, 4, 2}, false, false},
    {"sis630-it8712f", 0x06301039, 1, 0, 0x5000, false, kind::IT8712F, true, -1, 0x290, {2, 4, 8}, false, false},
    {"sis630-pm-off-it8705f", 0x06301039, -1, -1, -1, false, kind::IT8705F, true, -1, 0x290, {2, 4, 8}, false, false},
};
// clang-format on

const Expect* Find(const std::string& name) {
  for (const Expect& e : kBoards) {
    if (name == e.board) return &e;
  }
  return nullptr;
}

TEST(Catalogue, EveryBoardHasItsExpectations) {
  for (const std::string& name : sim::CatalogueBoardNames()) {
    EXPECT_NE(Find(name), nullptr) << "no expectations for catalogue board " << name;
  }
}

class CatalogueBoards : public ::testing::TestWithParam<Expect> {};

TEST_P(CatalogueBoards, FirstRunDetectionAndSetUp) {
  const Expect& e = GetParam();
  const auto names = sim::CatalogueBoardNames();
  if (std::find(names.begin(), names.end(), e.board) == names.end()) {
    FAIL() << "expectations for " << e.board << ", which the catalogue no longer has";
  }
  auto b = CatalogueBoard(e.board);
  ASSERT_TRUE(b);
  MonitorSettings s = FirstRunSettings();
  DetectState st;
  RunDetection(b->machine(), s, st);

  EXPECT_EQ(static_cast<uint32_t>(st.pm.VendorDevice), e.vendorDevice);
  EXPECT_EQ(st.pm.PciDevice, e.device);
  EXPECT_EQ(st.pm.PciFunction, e.function);
  EXPECT_EQ(st.pm.SmbBase, e.smbBase);
  EXPECT_EQ(st.DualCoreVoltage, e.dualCoreVoltage);

  EXPECT_EQ(st.chip.ChipKind, e.kind) << ChipName(st.chip.ChipKind);
  EXPECT_EQ(st.chip.FoundOnPort, e.foundOnPort);
  EXPECT_EQ(st.chip.MainSmbAddress, e.mainSmbAddress);
  EXPECT_EQ(st.chip.MainSmbFound, e.mainSmbAddress != -1);
  EXPECT_EQ(s.MainChipPortAddress, e.port);

  for (size_t n = 0; n < 3; ++n) {
    if (e.divisors[n] != kAny) {
      EXPECT_EQ(st.FanDivisor[n], e.divisors[n]) << "fan " << n + 1;
    }
  }
  EXPECT_EQ(s.MainChipSMBUse, e.smbUse);
  EXPECT_EQ(st.chip.MainSmbOnly, e.smbOnly);
  EXPECT_EQ(s.MainChipPortAddressUse, false);
  EXPECT_EQ(s.Temp2SMBAddress, e.temp2);
  EXPECT_EQ(s.Temp3SMBAddress, e.temp3);
  EXPECT_EQ(st.chip.SmbTempSensorType, e.sensorType);
  EXPECT_EQ(st.SubClientIndex, e.subClient);
}

INSTANTIATE_TEST_SUITE_P(Detect, CatalogueBoards, ::testing::ValuesIn(kBoards),
                         [](const ::testing::TestParamInfo<Expect>& i) {
                           std::string n = i.param.board;
                           std::replace(n.begin(), n.end(), '-', '_');
                           return n;
                         });

TEST(Catalogue, LaterRunGivesTheSameChipAndDivisors) {
  for (const Expect& e : kBoards) {
    auto b = sim::LoadCatalogueBoard(e.board);
    if (!b.ok()) continue;
    MonitorSettings s = FirstRunSettings();
    DetectState first;
    RunDetection(b->machine(), s, first);
    s.SettingsDefaulted = false;
    DetectState later;
    DetectPmDevice(b->machine(), s, 0, later);
    DetectChip(b->machine(), s, later);
    ConfigureChip(b->machine(), s, later);
    EXPECT_EQ(later.chip.ChipKind, first.chip.ChipKind) << e.board;
    EXPECT_EQ(later.FanDivisor, first.FanDivisor) << e.board;
    EXPECT_EQ(s.MainChipPortAddress, e.port) << e.board;
  }
}

}  // namespace
}  // namespace kev::test
