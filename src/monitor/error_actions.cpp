#include "monitor/error_actions.h"

namespace kev {

namespace {

void ShowWindowAction(MonitorContext& ctx) {
  MonitorSettings& s = ctx.settings;
  if (!s.ErrAct1Switch) return;
  if (!s.HoldErrAct1) s.ErrAct1Switch = false;
  if (!ctx.host.WindowVisible()) ctx.host.OpenWindow(true);
}

void SoundAction(MonitorContext& ctx, int kind) {
  MonitorSettings& s = ctx.settings;
  if (!s.ErrAct2Switch) return;
  if (!s.HoldErrAct2) s.ErrAct2Switch = false;
  if (kind < kErrorKindFan || kind > kErrorKindVolt) return;
  ctx.host.PlaySoundAsync(SoundFile(s, kind));
}

// The switch drops before the count-down opens, so cycles that run while it
// is open do not start a second one for the same action. Returns true when
// the count-down ran out; then the switch re-arms from the hold flag.
bool CountDownRanOut(MonitorContext& ctx, bool& armed, bool& hold, const char* message) {
  armed = false;
  if (ctx.host.ShowCountDown(message)) {
    hold = false;
    return false;
  }
  armed = hold;
  return true;
}

void ShutdownAction(MonitorContext& ctx) {
  MonitorSettings& s = ctx.settings;
  if (!s.ErrAct3Switch) return;
  if (!CountDownRanOut(ctx, s.ErrAct3Switch, s.HoldErrAct3, kShutdownMessage)) return;
  if (Is9xFamily(ctx.os) ||
      (IsNtFamily(ctx.os) && EnableShutdownPrivilege(ctx, PowerAction::PowerOff))) {
    ctx.host.SaveSettings();
    ctx.host.RequestPower(PowerAction::PowerOff);
  }
}

void SuspendAction(MonitorContext& ctx) {
  MonitorSettings& s = ctx.settings;
  if (!s.ErrAct4Switch) return;
  if (!CountDownRanOut(ctx, s.ErrAct4Switch, s.HoldErrAct4, kSuspendMessage)) return;
  if (Is9xFamily(ctx.os) || (IsNt5(ctx.os) && EnableShutdownPrivilege(ctx, PowerAction::Suspend))) {
    ctx.host.RequestPower(PowerAction::Suspend);
  }
}

}  // namespace

void RunErrorActions(MonitorContext& ctx, int kind) {
  ShowWindowAction(ctx);
  SoundAction(ctx, kind);
  ShutdownAction(ctx);
  SuspendAction(ctx);
}

bool EnableShutdownPrivilege(MonitorContext& ctx, PowerAction action) {
  return ctx.host.PowerPrivilege(action);
}

}  // namespace kev
