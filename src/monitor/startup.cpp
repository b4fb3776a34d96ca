#include "monitor/startup.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "detect/detect.h"
#include "detect/port_policy.h"
#include "hw/uinit.h"
#include "monitor/sampling.h"

namespace kev {
namespace {

constexpr uint32_t kAsmsModeMask = 0xF;

std::string ProcessDirectory() {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::current_path(ec);
  return ec ? std::string(".") : p.string();
}

}  // namespace

std::string WithTrailingDelimiter(std::string dir) {
  if (dir.empty()) return "./";
  if (dir.back() != '/') dir.push_back('/');
  return dir;
}

std::optional<StartupReport> StartupSequence::Run(MonitorContext& ctx, DetectState& detect,
                                                  RowModel& rows, StartupHost& host,
                                                  const StartupEnv& env) {
  if (done_) return std::nullopt;
  if (&ctx.detect != &detect || &ctx.host != static_cast<MonitorHost*>(&host) ||
      env.registry == nullptr) {
    throw std::logic_error("start-up sequence wired to the wrong records");
  }
  done_ = true;
  MonitorSettings& s = ctx.settings;
  StartupReport report;

  report.AsmsMode = ParseCommandLine(env.args) & kAsmsModeMask;
  report.load = LoadSettings(*env.registry, s, env.screen);
  host.SettingsLoaded(s);
  if (IsNt5(ctx.os)) host.ApplyTransparency(s.TransparencyPercentage);
  if (env.autostart) report.autostart = ReadStartWithWindows(s, *env.autostart);
  ctx.StartDirectory =
      WithTrailingDelimiter(env.currentDirectory ? env.currentDirectory() : ProcessDirectory());

  EnableIchSmbus(ctx.io);
  DetectPmDevice(ctx.io, s, report.AsmsMode, detect);
  DetectChip(ctx.io, s, detect);
  if (detect.RefusedSettingsPort != -1) {
    report.portRefusal = RefusedPortText(detect.RefusedSettingsPort);
  }
  ConfigureChip(ctx.io, s, detect);

  rows.UpdateRowEnables();
  rows.ApplyRowLayout();
  rows.ApplyAllCaptions();
  host.AddTrayIcon();
  // The first-start presets are in place; later layouts keep the user's choices.
  s.SettingsDefaulted = false;

  host.SetRefreshVisible(s.IntervalTime == 0);
  SampleAllChannels(ctx);
  if (s.MonitorWindowMode) host.OpenWindow(false);
  return report;
}

}  // namespace kev
