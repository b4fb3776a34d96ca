#include <chrono>
#include <memory>
#include <optional>

#include "cli_fixture.h"
#include "monitor/system_power.h"
#include "sim/machine.h"

namespace kev::cli::testing {
namespace {

using CliSettings = CliTest;

TEST_F(CliSettings, WithoutSaveTheSettingsFileIsUntouched) {
  MonitorSettings s;
  s.IntervalTime = 3000;
  s.Fan1PositionIndex = 5;  // repaired in memory, never written back
  storeSettings(s);
  const std::string before = readFile(settingsPath());
  const auto stamp = std::filesystem::last_write_time(settingsPath());
  for (const char* cmd : {"report", "watch", "info", "profile"}) {
    std::vector<std::string> args{cmd, "--board", "demo"};
    if (args[0] == "watch") args.push_back("--count=3");
    EXPECT_EQ(runWithSettings(args).code, kExitOk) << cmd;
  }
  EXPECT_EQ(readFile(settingsPath()), before);
  EXPECT_EQ(std::filesystem::last_write_time(settingsPath()), stamp);
}

// Privilege given to a user who is not root: a stored port on a serial
// port is named and left alone while the run goes on; a privilege that
// cannot be given up stops the run before the settings are read.
TEST_F(CliSettings, PrivilegeIsGivenUpAndHoldsStoredPortsToTheChipBlocks) {
  MonitorSettings s;
  s.MainChipPortAddress = 0x3F8;
  storeSettings(s);
  env.dropPrivileges = [] { return PrivilegeDrop{true, ""}; };
  CliRun r = runWithSettings({"profile", "--board", testBoard()});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_NE(r.err.find("kevatra-cli: The chip port 3F8h from the settings is not used"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("PORTADRS:  00000290h"), std::string::npos) << r.out;

  env.dropPrivileges = [] { return PrivilegeDrop{false, "cannot give up privileges: test"}; };
  r = runWithSettings({"report", "--board", testBoard()});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_EQ(r.err, "kevatra-cli: cannot give up privileges: test\n");
}

TEST_F(CliSettings, TheUsersOwnFileIsTheDefaultAndIsNotCreated) {
  EXPECT_EQ(run({"report", "--board", "demo"}).code, kExitOk);
  EXPECT_FALSE(std::filesystem::exists(path("config")));
  EXPECT_EQ(run({"report", "--board", "demo", "--save"}).code, kExitOk);
  EXPECT_TRUE(std::filesystem::exists(path("config/Kevatra/registry.reg")));
}

TEST_F(CliSettings, SaveWritesWhatStartUpSettled) {
  writeFile(path("pc87366.json"), R"({"host_bridge": {"kind": "440BX"},
      "south_bridge": {"kind": "PIIX4E", "smbus_base": "0x5000"},
      "chips": [{"id": "main", "kind": "PC87366"}]})");
  const CliRun r = runWithSettings({"report", "--board", path("pc87366.json"), "--save"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const MonitorSettings saved = loadStored();
  EXPECT_FALSE(saved.SettingsDefaulted);  // the General group is there now
  // The first-start presets of the chip were applied and kept.
  EXPECT_EQ(saved.Volt1CaptionIndex, 10);
  EXPECT_EQ(saved.Volt1PositionIndex, 8);
  // With no screen to measure, the window is still saved centred, not at 0,0.
  EXPECT_GT(saved.xPosition, 0);
  EXPECT_GT(saved.yPosition, 0);
}

TEST_F(CliSettings, RunOnlyOverridesAreNotSaved) {
  // First run with no settings: every channel is sampled for the run ...
  const CliRun first = runWithSettings({"report", "--board", "demo", "--save"});
  ASSERT_EQ(first.code, kExitOk);
  EXPECT_EQ(first.out.find("Ignore"), std::string::npos);
  // ... but saved as unchecked, the way the monitor itself starts.
  MonitorSettings saved = loadStored();
  EXPECT_FALSE(saved.CheckBoxFan1);
  EXPECT_EQ(saved.IntervalTime, 1000);

  saved.ErrAct3Switch = true;
  saved.LoggingFan1 = true;
  saved.CheckBoxFan2 = true;
  storeSettings(saved);
  ASSERT_EQ(runWithSettings({"report", "--board", "demo", "--all", "--save"}).code, kExitOk);
  const MonitorSettings again = loadStored();
  EXPECT_TRUE(again.ErrAct3Switch);
  EXPECT_TRUE(again.LoggingFan1);
  EXPECT_TRUE(again.CheckBoxFan2);
  EXPECT_FALSE(again.CheckBoxFan1);
  EXPECT_FALSE(std::filesystem::exists(path("FAN_1.LOG")));  // logging needs --log
}

TEST_F(CliSettings, ErrorActionsFireOnlyWhenAskedFor) {
  MonitorSettings s;
  s.CheckBoxFan1 = true;
  s.Fan1Limit = 11;  // fan 1 always in error
  s.ErrAct1Switch = s.ErrAct2Switch = s.ErrAct3Switch = true;
  storeSettings(s);
  const CliRun quiet = runWithSettings({"watch", "--board", "demo", "--count", "2", "--save"});
  EXPECT_EQ(quiet.code, kExitOk);
  EXPECT_TRUE(quiet.err.empty()) << quiet.err;
  EXPECT_TRUE(loadStored().ErrAct3Switch);

  slept.clear();
  const CliRun loud = runWithSettings({"watch", "--board", "demo", "--count", "1", "--actions"});
  EXPECT_EQ(loud.code, kExitOk);
  EXPECT_NE(loud.err.find("monitor window"), std::string::npos) << loud.err;
  EXPECT_NE(loud.err.find('\a'), std::string::npos);
  EXPECT_NE(loud.err.find("This system is shut down after 10 seconds."), std::string::npos);
  EXPECT_NE(loud.err.find("not requested on a simulated board"), std::string::npos);
  // Ten one-second steps of the count-down.
  EXPECT_EQ(slept, std::vector<uint64_t>(kCountDownSeconds, 1000));
}

// On a real board the login manager is asked; when it will not act, the
// count-down ends in a line that says so instead of in silence.
TEST_F(CliSettings, AShutdownOrSuspendThatCannotBeMadeIsReported) {
  struct RefusingPower : SystemPower {
    bool allowed = false;
    bool MayRequest(PowerAction) override { return allowed; }
    bool Request(PowerAction) override { return false; }
  } power;
  env.power = &power;
  // An empty machine: fan 1 has no reading and is in error.
  env.openRealPorts = [] { return std::unique_ptr<PortIo>(std::make_unique<sim::SimMachine>()); };
  MonitorSettings s;
  s.CheckBoxFan1 = true;
  s.ErrAct3Switch = true;
  storeSettings(s);
  const CliRun refused = runWithSettings({"report", "--actions"});
  EXPECT_NE(refused.err.find("power off not possible"), std::string::npos) << refused.err;

  power.allowed = true;
  s.ErrAct3Switch = false;
  s.ErrAct4Switch = true;
  storeSettings(s);
  const CliRun failed = runWithSettings({"report", "--actions"});
  EXPECT_NE(failed.err.find("refused to suspend"), std::string::npos) << failed.err;
}

TEST_F(CliSettings, CtrlCCancelsTheCountDown) {
  MonitorSettings s;
  s.CheckBoxFan1 = true;
  s.Fan1Limit = 11;
  s.ErrAct4Switch = s.HoldErrAct4 = true;
  storeSettings(s);
  env.stopRequested = [this] { return slept.size() >= 3; };
  const CliRun r = runWithSettings({"watch", "--board", "demo", "--actions", "--save"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_NE(r.err.find("count-down cancelled"), std::string::npos) << r.err;
  EXPECT_EQ(Lines(r.out).size(), 1u);
  const MonitorSettings saved = loadStored();
  EXPECT_FALSE(saved.ErrAct4Switch);  // a cancelled suspend is disarmed
  EXPECT_FALSE(saved.HoldErrAct4);
}

// Without a test clock the count-down takes real seconds, so Ctrl+C a moment
// after the warning still cancels it.
TEST_F(CliSettings, TheCountDownWaitsOnTheRealClock) {
  MonitorSettings s;
  s.CheckBoxFan1 = true;
  s.Fan1Limit = 11;
  s.ErrAct3Switch = true;
  storeSettings(s);
  env.sleepMs = nullptr;
  std::optional<std::chrono::steady_clock::time_point> first;
  env.stopRequested = [&first] {
    const auto now = std::chrono::steady_clock::now();
    if (!first) first = now;
    return now - *first > std::chrono::milliseconds(300);
  };
  const CliRun r = runWithSettings({"report", "--board", "demo", "--actions"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_NE(r.err.find("count-down cancelled"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("power off"), std::string::npos) << r.err;
}

TEST_F(CliSettings, LoggingRunsWithLog) {
  MonitorSettings s;
  s.CheckBoxFan1 = s.LoggingFan1 = true;
  storeSettings(s);
  ASSERT_EQ(runWithSettings({"report", "--board", testBoard(), "--log"}).code, kExitOk);
  EXPECT_NE(readFile(path("FAN_1.LOG")).find(" : 4500RPM\r\n"), std::string::npos);
}

}  // namespace
}  // namespace kev::cli::testing
