// The group step: panels, hidden and unchecked rows, logs, actions, tray.
#include <gtest/gtest.h>

#include <future>

#include "monitor/sampling.h"
#include "monitor_rig.h"
#include "sim/chips.h"

namespace kev {
namespace {

using sim::ChipModelKind;
using sim::FanInput;
using sim::Signal;
using sim::VoltInput;

// An LM78 on the ISA pair with a healthy fan 1, a stalled fan 2 and no fan 3.
struct SamplingTest : ::testing::Test {
  SamplingTest() : chip(sim::AddMonitorChip(machine, ChipModelKind::Lm78, nullptr, 0x290, -1)) {
    rig.settings.MainChipPortAddress = 0x290;
    rig.detect.chip.ChipKind = kind::LM78;
    chip.setFan(0, FanInput{Signal::constant(4411), 2, true});
    chip.setTemp(0, Signal::constant(30));
    for (int v = 0; v < 7; ++v) chip.setVolt(v, VoltInput{Signal::constant(100), true});
    chip.setVolt(4, VoltInput{Signal::constant(200), true});
    for (int c = 1; c <= kChannelCount; ++c) ChannelChecked(rig.settings, c) = true;
  }
  sim::SimMachine machine;
  sim::MonitorChip& chip;
  test::MonitorRig rig{machine};
};

TEST_F(SamplingTest, PanelsShowEveryChannel) {
  SampleAllChannels(rig.ctx);
  EXPECT_EQ(rig.host.panels[1], "4411RPM");
  EXPECT_EQ(rig.host.panels[2], "N/A [Err]");
  EXPECT_EQ(rig.host.panels[4], "30.0C / 86.0F");
  EXPECT_EQ(rig.host.panels[5], "N/A");
  EXPECT_EQ(rig.host.panels[11], "+12.2V");
  EXPECT_EQ(rig.host.panels[14], "N/A");  // the LM78 has seven inputs
  for (const SensorChannel& c : rig.channels) EXPECT_EQ(rig.host.panels[c.number], c.valueText);
}

TEST_F(SamplingTest, UncheckedRowsShowIgnoreOrNothingAndDropTheirError) {
  SampleAllChannels(rig.ctx);
  ASSERT_TRUE(rig.channels[1].inError);
  rig.settings.CheckBoxFan2 = false;
  rig.settings.CheckBoxFan3 = false;
  rig.settings.Fan3CaptionIndex = 1;  // hidden row
  rig.settings.LoggingFan2 = true;
  rig.settings.ErrAct2Switch = rig.settings.HoldErrAct2 = true;
  SampleAllChannels(rig.ctx);
  EXPECT_EQ(rig.host.panels[2], "Ignore");
  EXPECT_EQ(rig.host.panels[3], "");
  EXPECT_FALSE(rig.channels[1].inError);
  EXPECT_FALSE(rig.channels[2].inError);
  EXPECT_TRUE(rig.files.files.empty());
  EXPECT_TRUE(rig.host.events.empty());
}

TEST_F(SamplingTest, TrayFollowsTheFlagsAfterEachGroup) {
  rig.settings.CheckBoxFan2 = rig.settings.CheckBoxFan3 = false;
  rig.settings.Volt5ULimit = 150;
  SampleAllChannels(rig.ctx);
  EXPECT_EQ(rig.host.tray, (std::vector<bool>{false, false, true}));
}

TEST_F(SamplingTest, ActionsRunOncePerChannelInError) {
  rig.settings.ErrAct2Switch = rig.settings.HoldErrAct2 = true;
  rig.settings.SoundFile1 = "fan.wav";
  rig.settings.SoundFile3 = "volt.wav";
  rig.settings.Volt5ULimit = 150;
  SampleAllChannels(rig.ctx);
  // Fans 2 and 3 have no reading; Volt 5 is above its window. Missing
  // temperatures and voltages never were in error.
  EXPECT_EQ(rig.host.events,
            (std::vector<std::string>{"sound:fan.wav", "sound:fan.wav", "sound:volt.wav"}));
}

TEST_F(SamplingTest, LogsGoToTheStartOrTheChosenDirectory) {
  rig.settings.LoggingFan1 = true;
  rig.settings.LoggingVolt5 = true;
  rig.channels[0].ChannelLabel = "CPU Fan";
  SampleAllChannels(rig.ctx);
  FlushLogs(rig.ctx);
  EXPECT_EQ(rig.files.files["/start/FAN_1.LOG"], "2001/05/12 13:45:10 [CPU Fan] : 4411RPM\r\n");
  EXPECT_EQ(rig.files.files["/start/VOLT_5.LOG"], "2001/05/12 13:45:10 : +12.2V\r\n");
  rig.settings.LogFileDirectory = "/var/kev/";
  SampleAllChannels(rig.ctx);
  FlushLogs(rig.ctx);
  EXPECT_EQ(rig.files.files.count("/var/kev/FAN_1.LOG"), 1u);
}

// Lines reach the files on the writer's thread: in order, one old line out
// per new line at the cap, and a failed write switches that channel off.
TEST_F(SamplingTest, LogWriterKeepsOrderAndCapAndSwitchesOffAfterAFailure) {
  rig.settings.LoggingFan1 = rig.settings.LoggingTemp1 = true;
  std::string expected;
  for (int i = 0; expected.size() < 1024; ++i) expected += "old " + std::to_string(i) + "\r\n";
  rig.files.files["/start/FAN_1.LOG"] = expected;
  rig.files.failing = {test::MemoryLogFiles::kAppend};  // the new TEMP_1.LOG cannot start
  for (int tick = 0; tick < 5; ++tick) {
    rig.now.second = tick;
    SampleAllChannels(rig.ctx);
    expected = expected.substr(expected.find("\r\n") + 2) + FormatLogLine(rig.now, "", "4411RPM");
  }
  FlushLogs(rig.ctx);
  EXPECT_EQ(rig.files.files["/start/FAN_1.LOG"], expected);
  EXPECT_TRUE(rig.settings.LoggingFan1);
  EXPECT_FALSE(rig.settings.LoggingTemp1);
  rig.files.failing.clear();
  SampleAllChannels(rig.ctx);
  FlushLogs(rig.ctx);
  EXPECT_EQ(rig.files.files.count("/start/TEMP_1.LOG"), 0u);
}

// A disk that hangs until released.
class HungFiles : public LogFileSystem {
 public:
  Open SizeOf(const std::string&, uint64_t& size) override {
    if (!entered_) {
      entered_ = true;
      hung_.set_value();
    }
    released_.wait();
    size = 0;
    return Open::Missing;
  }
  bool ReadAll(const std::string&, std::string&) override { return false; }
  bool Append(const std::string&, std::string_view) override { return true; }
  bool Replace(const std::string&, std::string_view) override { return true; }
  void Release() { release_.set_value(); }
  void WaitUntilHung() { hung_.get_future().wait(); }

 private:
  bool entered_ = false;  // on the writer's thread only
  std::promise<void> hung_;
  std::promise<void> release_;
  std::shared_future<void> released_ = release_.get_future().share();
};

// A hung disk neither holds a flush past its deadline nor lets lines pile
// up unseen: a dropped line counts as a failed write of its channel.
TEST(LogWriterTest, HungDiskDropsLinesAsFailuresAndFlushGivesUp) {
  HungFiles files;
  LogWriter writer(LogSeams{{}, [] { return uint64_t{1} << 30; }, &files}, 2);
  writer.Submit(1, "/logs/FAN_1.LOG", 100, "line\r\n");
  files.WaitUntilHung();
  for (int i = 0; i < 2; ++i) writer.Submit(1, "/logs/FAN_1.LOG", 100, "line\r\n");
  writer.Submit(4, "/logs/TEMP_1.LOG", 100, "line\r\n");  // beyond the queue
  EXPECT_FALSE(writer.Flush(std::chrono::milliseconds(50)));
  EXPECT_TRUE(writer.TakeFailure(4));
  EXPECT_EQ(writer.DroppedLines(), 1u);
  files.Release();
  writer.Flush();
  EXPECT_FALSE(writer.TakeFailure(1));
}

TEST_F(SamplingTest, CyclesInsideTheCountDownStayConsistent) {
  rig.settings.ErrAct3Switch = rig.settings.HoldErrAct3 = true;
  int boxes = 0;
  rig.host.onCountDown = [&](const std::string&) {
    ++boxes;
    SampleAllChannels(rig.ctx);  // ticks keep coming while the box is open
    SampleAllChannels(rig.ctx);
    return true;
  };
  SampleAllChannels(rig.ctx);
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(rig.host.panels[1], "4411RPM");
  EXPECT_EQ(rig.host.tray.size(), 9u);
}

TEST_F(SamplingTest, VanishedChipStillEndsTheCycle) {
  chip.setVanished(true);
  SampleAllChannels(rig.ctx);
  EXPECT_EQ(rig.host.panels[1], "N/A [Err]");
  EXPECT_EQ(rig.host.panels[11], "N/A");
}

}  // namespace
}  // namespace kev
