#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/startup.h"
#include "settings/settings_io.h"
#include "sim/board.h"

namespace kev {
namespace {

// Records what the start-up asks of the window, in order.
class RecordingHost : public StartupHost {
 public:
  std::vector<std::string> calls;
  std::vector<std::string> panels = std::vector<std::string>(kChannelCount, "unset");

  void SettingsLoaded(MonitorSettings& s) override {
    calls.push_back("loaded defaulted=" + std::to_string(s.SettingsDefaulted));
  }
  void ApplyTransparency(int32_t percent) override {
    calls.push_back("transparency " + std::to_string(percent));
  }
  void AddTrayIcon() override { calls.push_back("tray"); }
  void SetRefreshVisible(bool visible) override {
    calls.push_back(std::string("refresh ") + (visible ? "shown" : "hidden"));
  }
  void SetPanelText(int channel, const std::string& text) override {
    if (calls.empty() || calls.back() != "sample") calls.push_back("sample");
    panels[static_cast<size_t>(channel - 1)] = text;
  }
  bool WindowVisible() const override { return false; }
  void OpenWindow(bool alarm) override { calls.push_back("open " + std::to_string(alarm)); }
  void SetTrayImage(bool) override {}
  bool ShowCountDown(const std::string&) override { return true; }
  void PlaySoundAsync(const std::string&) override {}
  bool SaveSettings() override { return true; }
  bool PowerPrivilege(PowerAction) override { return false; }
  bool RequestPower(PowerAction) override { return false; }
};

// One process's worth of monitor state on a simulated board.
struct Process {
  explicit Process(MemoryRegistry& reg, sim::BoardResult board = sim::LoadCatalogueBoard("demo"))
      : sim(board.take()), registry(reg) {
    env.registry = &registry;
    env.currentDirectory = [] { return std::string("/home/user"); };
  }
  std::optional<StartupReport> run() { return startup.Run(ctx, detect, rows, host, env); }

  std::unique_ptr<sim::SimBoard> sim;
  MemoryRegistry& registry;
  MonitorSettings settings;
  DetectState detect;
  ChannelSet channels = MakeChannels();
  RecordingHost host;
  PosixLogFileSystem files;
  MonitorContext ctx{sim->machine(),        settings, detect, channels, host, {}, {},
                     SystemLogSeams(files), {}};
  RowModel rows{settings, detect, channels};
  StartupEnv env;
  StartupSequence startup;
};

// A board whose only monitor is a PC87366 Super-I/O.
sim::BoardResult Pc87366Board() {
  return sim::LoadBoardJson(R"({"host_bridge": {"kind": "440BX"},
      "south_bridge": {"kind": "PIIX4E", "smbus_base": "0x5000"},
      "chips": [{"id": "main", "kind": "PC87366"}]})",
                            "pc87366");
}

void StoreSettings(MemoryRegistry& reg, const MonitorSettings& s) {
  ASSERT_TRUE(SaveSettings(reg, s).ok);
}

TEST(StartupSequence, RunsItsStepsInOrderAndOnlyOnce) {
  MemoryRegistry reg;
  Process p(reg);
  ASSERT_TRUE(p.sim);
  const auto report = p.run();
  ASSERT_TRUE(report);
  EXPECT_EQ(p.host.calls, (std::vector<std::string>{"loaded defaulted=1", "transparency 0", "tray",
                                                    "refresh hidden", "sample"}));
  for (const std::string& text : p.host.panels) EXPECT_EQ(text, "Ignore");
  EXPECT_EQ(p.ctx.StartDirectory, "/home/user/");
  EXPECT_TRUE(p.startup.done());

  p.host.calls.clear();
  EXPECT_FALSE(p.run());
  EXPECT_TRUE(p.host.calls.empty());
}

TEST(StartupSequence, FirstStartPresetsApplyOnceAndTheFlagIsCleared) {
  MemoryRegistry reg;
  {
    Process first(reg, Pc87366Board());
    ASSERT_TRUE(first.sim);
    first.run();
    ASSERT_EQ(first.detect.chip.ChipKind, kind::PC87366);
    EXPECT_FALSE(first.settings.SettingsDefaulted);
    EXPECT_EQ(first.settings.Volt1CaptionIndex, 10);
    EXPECT_EQ(first.rows.ChannelLabel(7), "VBAT");
    EXPECT_EQ(first.settings.Volt1PositionIndex, 8);
    // The user then renames Volt 1; the next start must keep that.
    first.settings.Volt1CaptionIndex = 3;
    first.settings.Volt1PositionIndex = 0;
    first.settings.Volt6PositionIndex = 8;
    StoreSettings(reg, first.settings);
  }
  Process second(reg, Pc87366Board());
  second.run();
  EXPECT_EQ(second.host.calls.front(), "loaded defaulted=0");
  EXPECT_EQ(second.rows.ChannelLabel(7), "VINR0");
  EXPECT_EQ(second.rows.row(7).slotTop, SlotTop(ChannelGroup::Volt, 0));
}

TEST(StartupSequence, RefreshButtonAndWindowFollowTheSettings) {
  MemoryRegistry reg;
  MonitorSettings stored;
  stored.IntervalTime = 0;
  stored.MonitorWindowMode = true;
  stored.TransparencyPercentage = 40;
  StoreSettings(reg, stored);
  Process p(reg);
  p.run();
  EXPECT_EQ(p.host.calls, (std::vector<std::string>{"loaded defaulted=0", "transparency 40", "tray",
                                                    "refresh shown", "sample", "open 0"}));
}

TEST(StartupSequence, WindowStaysHiddenAndNoTransparencyOffNt5) {
  MemoryRegistry reg;
  Process p(reg);
  p.ctx.os.platformId = kPlatform9x;
  p.run();
  for (const std::string& c : p.host.calls) {
    EXPECT_EQ(c.find("open"), std::string::npos);
    EXPECT_EQ(c.find("transparency"), std::string::npos);
  }
}

TEST(StartupSequence, BoardSwitchComesFromTheCommandLine) {
  MemoryRegistry reg;
  Process p(reg);
  p.env.args = {"/ASMS2", "--other", "/asms1"};
  EXPECT_EQ(p.run()->AsmsMode, 1u);
}

TEST(StartupSequence, StartDirectoryGetsOneTrailingDelimiter) {
  EXPECT_EQ(WithTrailingDelimiter("/tmp"), "/tmp/");
  EXPECT_EQ(WithTrailingDelimiter("/"), "/");
  EXPECT_EQ(WithTrailingDelimiter(""), "./");
}

}  // namespace
}  // namespace kev
