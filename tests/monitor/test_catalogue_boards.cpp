// End to end on the catalogue boards: a board sets fan speeds, temperatures
// and pin voltages; after detection and one cycle the panels show them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "detect/detect.h"
#include "monitor/sampling.h"
#include "monitor_rig.h"
#include "sim/board.h"

namespace kev {
namespace {

std::string WithoutErr(std::string text) {
  const std::string suffix = " [Err]";
  if (text.ends_with(suffix)) text.resize(text.size() - suffix.size());
  return text;
}

// The board's monitoring chip: the first chip that is not a plain sensor.
std::string MainChipId(sim::SimBoard& board) {
  for (const std::string& id : board.chipIds()) {
    const std::string k = board.chipKind(id);
    if (k != "LM75" && k != "MAX1617") return id;
  }
  return {};
}

struct Sampled {
  std::unique_ptr<sim::SimBoard> board;
  std::unique_ptr<test::MonitorRig> rig;
  sim::HwmonInputs* inputs = nullptr;
};

Sampled DetectAndSample(const std::string& name) {
  Sampled s;
  sim::BoardResult r = sim::LoadCatalogueBoard(name);
  if (!r) ADD_FAILURE() << r.error().text();
  if (!r) return s;
  s.board = r.take();
  s.rig = std::make_unique<test::MonitorRig>(s.board->machine());
  const std::string id = MainChipId(*s.board);
  s.inputs = id.empty() ? nullptr : s.board->chipInputs(id);
  MonitorSettings& st = s.rig->settings;
  if (s.inputs != nullptr) {
    for (int n = 0; n < kFanCount; ++n) FanPPR(st, n) = s.inputs->fan(n).pulsesPerRev == 1 ? 2 : 1;
  }
  st.VoltPrecision = 2;
  PortIo& io = s.board->machine();
  EnableIchSmbus(io);
  DetectPmDevice(io, st, 0, s.rig->detect);
  DetectChip(io, st, s.rig->detect);
  ConfigureChip(io, st, s.rig->detect);
  for (int c = 1; c <= kChannelCount; ++c) ChannelChecked(st, c) = true;
  SampleAllChannels(s.rig->ctx);
  return s;
}

// Inputs 1 and 3 of these kinds measure the pin directly at 16 mV per step.
bool DirectVoltInputs(int32_t k) {
  return (k >= kind::LM78Compatible && k <= kind::LM79) ||
         (k >= kind::WinbondChip && k <= kind::W83697HF) || k == kind::AS99127F_WB ||
         k == kind::AS99127F_AS || k == kind::IT8705F || k == kind::IT8712F;
}

class CatalogueBoard : public ::testing::TestWithParam<std::string> {};

TEST_P(CatalogueBoard, PanelsShowThePhysicalInputs) {
  Sampled s = DetectAndSample(GetParam());
  ASSERT_TRUE(s.rig);
  test::MonitorRig& rig = *s.rig;
  const int32_t k = rig.detect.chip.ChipKind;
  std::map<int, std::string>& panels = rig.host.panels;
  ASSERT_EQ(panels.size(), static_cast<size_t>(kChannelCount));
  if (k <= 0 || s.inputs == nullptr) {
    for (int c = 1; c <= kChannelCount; ++c) {
      EXPECT_EQ(WithoutErr(panels[c]), "N/A") << c;
    }
    return;
  }
  const uint64_t now = s.board->machine().clock().nowMs();
  for (int n = 0; n < kFanCount; ++n) {
    const sim::FanInput& f = s.inputs->fan(n);
    const std::string& text = panels[n + 1];
    if (text.starts_with("N/A")) {
      EXPECT_EQ(text, "N/A [Err]");
      continue;
    }
    ASSERT_TRUE(f.present) << "fan " << n + 1 << ": " << text;
    const double rpm = f.rpm.at(now);
    EXPECT_NEAR(std::stoi(text), rpm, rpm * 0.04 + 10) << "fan " << n + 1;
  }
  for (int n = 0; n < kTempCount; ++n) {
    const std::string text = WithoutErr(panels[n + 4]);
    if (text == "N/A") continue;
    double expected = s.inputs->tempC(n);
    if (k == kind::IT8705F && n == 1) expected -= 32;  // this part's second sensor reads low
    EXPECT_NEAR(std::stod(text), expected, 2.0) << "temp " << n + 1 << ": " << text;
  }
  EXPECT_NE(WithoutErr(panels[4]), "N/A") << "temp 1";
  EXPECT_NE(WithoutErr(panels[7]), "N/A") << "volt 1";
  if (DirectVoltInputs(k)) {
    for (int n : {0, 2}) {
      const sim::VoltInput& v = s.inputs->volt(n);
      if (v.raw) continue;
      const std::string text = WithoutErr(panels[n + 7]);
      EXPECT_NEAR(std::stod(text), s.inputs->voltValue(n), 0.017) << "volt " << n + 1;
    }
  }
}

// The chip answers both on its port and on the SMBus.
bool ReachableBothWays(const Sampled& s) {
  const HwMonitorChip& chip = s.rig->detect.chip;
  return chip.FoundOnPort && chip.MainSmbFound && chip.ChipKind > 0;
}
bool SampledOverSmbus(const Sampled& s) { return s.rig->settings.MainChipSMBUse; }

// The catalogue boards on which a condition holds after detection.
std::vector<std::string> BoardsWhere(bool (*holds)(const Sampled&)) {
  std::vector<std::string> names;
  for (const std::string& name : sim::CatalogueBoardNames()) {
    const Sampled s = DetectAndSample(name);
    if (s.rig && holds(s)) names.push_back(name);
  }
  return names;
}

std::string BoardTestName(const ::testing::TestParamInfo<std::string>& board) {
  std::string n = board.param;
  for (char& ch : n) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return n;
}

INSTANTIATE_TEST_SUITE_P(All, CatalogueBoard, ::testing::ValuesIn(sim::CatalogueBoardNames()),
                         BoardTestName);

class BothWaysBoard : public ::testing::TestWithParam<std::string> {};

TEST_P(BothWaysBoard, BothAccessPathsAgree) {
  Sampled s = DetectAndSample(GetParam());
  ASSERT_TRUE(s.rig);
  test::MonitorRig& rig = *s.rig;
  const std::map<int, std::string> first = rig.host.panels;
  rig.settings.MainChipSMBUse = !rig.settings.MainChipSMBUse;
  SampleAllChannels(rig.ctx);
  EXPECT_EQ(rig.host.panels, first);
}

INSTANTIATE_TEST_SUITE_P(All, BothWaysBoard, ::testing::ValuesIn(BoardsWhere(ReachableBothWays)),
                         BoardTestName);

class SmbusSampledBoard : public ::testing::TestWithParam<std::string> {};

TEST_P(SmbusSampledBoard, StalledBusEndsTheCycleWithNoReadings) {
  Sampled s = DetectAndSample(GetParam());
  ASSERT_TRUE(s.rig);
  test::MonitorRig& rig = *s.rig;
  s.board->setSmbusStuckBusy(true, true);
  SampleAllChannels(rig.ctx);
  for (int c = 1; c <= kChannelCount; ++c) {
    EXPECT_EQ(WithoutErr(rig.host.panels[c]), "N/A") << c;
  }
}

INSTANTIATE_TEST_SUITE_P(All, SmbusSampledBoard, ::testing::ValuesIn(BoardsWhere(SampledOverSmbus)),
                         BoardTestName);

// The lists above come from detection; a fault there must not empty them.
TEST(CatalogueBoardLists, EachConditionHoldsOnSomeBoard) {
  EXPECT_FALSE(BoardsWhere(ReachableBothWays).empty());
  EXPECT_FALSE(BoardsWhere(SampledOverSmbus).empty());
}

}  // namespace
}  // namespace kev
