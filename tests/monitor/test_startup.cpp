#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "monitor/startup.h"
#include "settings/settings_io.h"
#include "sim/board.h"
#include "sim/superio.h"

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

// What a BIOS may leave behind on a real board: an SMBus base never
// programmed, PC87366 monitor blocks not set up, an SMBus host that is not
// there. Start-up, board switch included, writes no system-board port (the
// Super-I/O configuration ports aside) and stays within a small budget.
struct UnsetBoard {
  const char* name;
  const char* json;
  std::function<void(sim::SimBoard&)> fault;
  int32_t smbBase;                  // as detection should take it
  std::vector<std::string> panels;  // expected texts per channel; empty: not checked
};

std::vector<std::string> LowPortWrites(const sim::SimMachine& m) {
  std::vector<std::string> out;
  for (const sim::TraceEntry& e : m.trace()) {
    const bool superIoConfig = e.port == 0x2E || e.port == 0x2F || e.port == 0x4E || e.port == 0x4F;
    if (e.dir == sim::TraceEntry::Dir::Out && e.port < 0x100 && !superIoConfig)
      out.push_back(sim::ToString(e));
  }
  return out;
}

TEST(StartupSequence, UnsetHardwareIsLeftAlone) {
  const std::string na = "N/A", err = "N/A [Err]";
  const std::vector<UnsetBoard> boards{
      {"PIIX4 base at its reset value",
       R"({"south_bridge": {"kind": "PIIX4E", "smbus_base": "0x0"},
           "chips": [{"kind": "W83781D", "smbus": "0x2D"}]})",
       nullptr,
       -1,
       {}},
      {"ICH2 un-hidden without a base",
       R"({"south_bridge": {"kind": "ICH2", "smbus_base": "0x0", "smbus_hidden": true},
           "chips": [{"kind": "W83782D", "smbus": "0x2D"}]})",
       nullptr,
       -1,
       {}},
      {"SiS 630 PM space at 0",
       R"({"south_bridge": {"kind": "SiS630", "smbus_base": "0x0"},
           "chips": [{"kind": "W83781D", "smbus": "0x2D"}]})",
       nullptr,
       -1,
       {}},
      {"dead SMBus host",
       R"({"south_bridge": {"kind": "PIIX4E", "smbus_base": "0x5000"},
           "chips": [{"kind": "W83781D", "smbus": "0x2D"}]})",
       [](sim::SimBoard& b) { b.removeSmbusHost(); },
       0x5000,
       {}},
      {"PC87366 fan block at 0, voltage block inactive",
       R"({"south_bridge": {"kind": "PIIX4E", "smbus_base": "0x5000"},
           "chips": [{"id": "main", "kind": "PC87366", "fsm_base": "0x0", "temps": [40, 45, 50]}]})",
       [](sim::SimBoard& b) {
         auto* sio = dynamic_cast<sim::Pc87366*>(b.chipInputs("main"));
         ASSERT_NE(sio, nullptr);
         sio->setLdnResources(sim::Pc87366::kLdnVlm, 0x0E10, false);
       },
       0x5000,
       {err, err, err, "40.0C / 104.0F", "45.0C / 113.0F", "50.0C / 122.0F", na, na, na, na, na, na,
        na, na, na}},
  };
  for (const UnsetBoard& c : boards) {
    SCOPED_TRACE(c.name);
    MemoryRegistry reg;
    MonitorSettings stored;
    stored.ASMS = true;
    for (int ch = 1; ch <= kChannelCount; ++ch) ChannelChecked(stored, ch) = true;
    StoreSettings(reg, stored);
    Process p(reg, sim::LoadBoardJson(c.json, c.name));
    ASSERT_TRUE(p.sim);
    if (c.fault) c.fault(*p.sim);
    sim::SimMachine& m = p.sim->machine();
    m.resetAccessCount();
    m.startTrace();
    ASSERT_TRUE(p.run());
    EXPECT_LT(m.accessCount(), 100'000u);
    EXPECT_EQ(LowPortWrites(m), std::vector<std::string>{});
    EXPECT_EQ(p.detect.pm.SmbBase, c.smbBase);
    if (!c.panels.empty()) {
      EXPECT_EQ(p.host.panels, c.panels);
    }
  }
}

TEST(StartupSequence, StartDirectoryGetsOneTrailingDelimiter) {
  EXPECT_EQ(WithTrailingDelimiter("/tmp"), "/tmp/");
  EXPECT_EQ(WithTrailingDelimiter("/"), "/");
  EXPECT_EQ(WithTrailingDelimiter(""), "./");
}

}  // namespace
}  // namespace kev
