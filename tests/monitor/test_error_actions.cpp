// The four error actions with a scripted host.
#include <gtest/gtest.h>

#include "monitor/error_actions.h"
#include "monitor_rig.h"
#include "sim/machine.h"

namespace kev {
namespace {

using Events = std::vector<std::string>;
const std::string kShutdownBox = std::string("countdown:") + kShutdownMessage;
const std::string kSuspendBox = std::string("countdown:") + kSuspendMessage;

struct ActionsTest : ::testing::Test {
  sim::SimMachine machine;
  test::MonitorRig rig{machine};
  MonitorSettings& s = rig.settings;
  test::ScriptedHost& host = rig.host;
};

TEST_F(ActionsTest, WindowOpensOnceUnlessHeld) {
  s.ErrAct1Switch = true;
  RunErrorActions(rig.ctx, kErrorKindFan);
  EXPECT_EQ(host.events, Events{"open-alarm"});
  EXPECT_FALSE(s.ErrAct1Switch);

  host.events.clear();
  host.visible = false;
  s.ErrAct1Switch = s.HoldErrAct1 = true;
  RunErrorActions(rig.ctx, kErrorKindFan);
  RunErrorActions(rig.ctx, kErrorKindFan);  // now visible: left alone
  EXPECT_EQ(host.events, Events{"open-alarm"});
  EXPECT_TRUE(s.ErrAct1Switch);
}

TEST_F(ActionsTest, EachKindPlaysItsOwnSound) {
  s.ErrAct2Switch = s.HoldErrAct2 = true;
  s.SoundFile1 = "fan.wav";
  s.SoundFile2 = "temp.wav";
  RunErrorActions(rig.ctx, kErrorKindTemp);
  RunErrorActions(rig.ctx, kErrorKindFan);
  RunErrorActions(rig.ctx, kErrorKindVolt);  // empty path is still passed on
  EXPECT_EQ(host.events, (Events{"sound:temp.wav", "sound:fan.wav", "sound:"}));
  s.HoldErrAct2 = false;
  RunErrorActions(rig.ctx, kErrorKindTemp);
  RunErrorActions(rig.ctx, kErrorKindTemp);
  EXPECT_EQ(host.events.size(), 4u);
  EXPECT_FALSE(s.ErrAct2Switch);
}

TEST_F(ActionsTest, ShutdownAfterCountDownSavesFirst) {
  s.ErrAct3Switch = true;
  RunErrorActions(rig.ctx, kErrorKindVolt);
  EXPECT_EQ(host.events, (Events{kShutdownBox, "save", "poweroff"}));
  EXPECT_FALSE(s.ErrAct3Switch);
  host.events.clear();
  RunErrorActions(rig.ctx, kErrorKindVolt);
  EXPECT_TRUE(host.events.empty());
}

TEST_F(ActionsTest, CancelledCountDownClearsHold) {
  s.ErrAct3Switch = s.HoldErrAct3 = true;
  host.onCountDown = [](const std::string&) { return true; };
  RunErrorActions(rig.ctx, kErrorKindFan);
  EXPECT_EQ(host.events, Events{kShutdownBox});
  EXPECT_FALSE(s.ErrAct3Switch);
  EXPECT_FALSE(s.HoldErrAct3);
  RunErrorActions(rig.ctx, kErrorKindFan);
  EXPECT_EQ(host.events.size(), 1u);
}

TEST_F(ActionsTest, HeldShutdownRearmsAfterRunningOut) {
  s.ErrAct3Switch = s.HoldErrAct3 = true;
  RunErrorActions(rig.ctx, kErrorKindFan);
  EXPECT_TRUE(s.ErrAct3Switch);
}

TEST_F(ActionsTest, NoPrivilegeNoShutdownAndNoSave) {
  s.ErrAct3Switch = s.HoldErrAct3 = true;
  s.ErrAct4Switch = true;
  host.privileged.clear();
  RunErrorActions(rig.ctx, kErrorKindFan);
  EXPECT_EQ(host.events, (Events{kShutdownBox, kSuspendBox}));
  EXPECT_TRUE(s.ErrAct3Switch);  // equal to its hold flag
  EXPECT_FALSE(s.ErrAct4Switch);
}

TEST_F(ActionsTest, OlderSystemsSkipThePrivilegeCheck) {
  rig.ctx.os = OsVersion{kPlatform9x, 4};
  host.privileged.clear();
  s.ErrAct3Switch = s.ErrAct4Switch = true;
  RunErrorActions(rig.ctx, kErrorKindFan);
  EXPECT_EQ(host.events, (Events{kShutdownBox, "save", "poweroff", kSuspendBox, "suspend"}));
}

TEST_F(ActionsTest, SuspendNeedsTheNt5Generation) {
  s.ErrAct4Switch = s.HoldErrAct4 = true;
  rig.ctx.os = OsVersion{kPlatformNt, 4};
  RunErrorActions(rig.ctx, kErrorKindTemp);
  EXPECT_EQ(host.events, Events{kSuspendBox});
  host.events.clear();
  rig.ctx.os = OsVersion{kPlatformNt, 5};
  RunErrorActions(rig.ctx, kErrorKindTemp);
  EXPECT_EQ(host.events, (Events{kSuspendBox, "suspend"}));  // no save before a suspend
}

TEST_F(ActionsTest, AllFourInOrder) {
  s.ErrAct1Switch = s.ErrAct2Switch = s.ErrAct3Switch = s.ErrAct4Switch = true;
  s.HoldErrAct1 = s.HoldErrAct2 = s.HoldErrAct3 = s.HoldErrAct4 = true;
  s.SoundFile3 = "volt.wav";
  RunErrorActions(rig.ctx, kErrorKindVolt);
  EXPECT_EQ(host.events, (Events{"open-alarm", "sound:volt.wav", kShutdownBox, "save", "poweroff",
                                 kSuspendBox, "suspend"}));
}

// Cycles keep running while a count-down is open; they must not open a second
// count-down for the same action, though the other action's may stack on top.
TEST_F(ActionsTest, NestedCallsDuringCountDown) {
  s.ErrAct3Switch = s.HoldErrAct3 = true;
  s.ErrAct4Switch = true;
  int depth = 0;
  host.onCountDown = [&](const std::string&) {
    if (depth++ < 3) RunErrorActions(rig.ctx, kErrorKindFan);
    return true;  // every count-down is cancelled
  };
  RunErrorActions(rig.ctx, kErrorKindFan);
  EXPECT_EQ(host.events, (Events{kShutdownBox, kSuspendBox}));
  EXPECT_FALSE(s.ErrAct3Switch || s.HoldErrAct3 || s.ErrAct4Switch);
}

}  // namespace
}  // namespace kev
