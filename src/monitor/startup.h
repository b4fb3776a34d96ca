// The one pass at program start that turns a hidden, empty monitor into a
// running one: command line, settings, detection, chip set-up, rows, tray,
// first sample, window. The desktop program and the command-line tool share it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "detect/records.h"
#include "monitor/monitor_context.h"
#include "monitor/monitor_host.h"
#include "monitor/row_model.h"
#include "settings/autostart.h"
#include "settings/registry.h"
#include "settings/settings_io.h"

namespace kev {

// The window's part of the start-up, beyond what the sampling cycle needs.
class StartupHost : public MonitorHost {
 public:
  // Right after loading: the desktop window takes the sampling interval for
  // its timer, its position and the fifteen check-box states from here.
  virtual void SettingsLoaded(MonitorSettings& settings) { (void)settings; }
  virtual void ApplyTransparency(int32_t percent) = 0;
  virtual void AddTrayIcon() = 0;
  // The "Refresh" button and its bar: shown and enabled, or hidden and disabled.
  virtual void SetRefreshVisible(bool visible) = 0;
};

struct StartupEnv {
  std::vector<std::string> args;  // command-line parameters, program name excluded
  const Registry* registry = nullptr;
  LoadContext screen;
  // Where the start-at-login entry lives; none leaves it alone (the
  // command-line tool must not remove the desktop program's entry).
  std::optional<AutostartPlace> autostart;
  // The working directory; the process's own when empty.
  std::function<std::string()> currentDirectory;
};

struct StartupReport {
  uint32_t AsmsMode = 0;
  LoadResult load;          // which settings groups fell back to defaults
  SaveResult autostart;     // not ok when a stale entry could not be removed
  std::string portRefusal;  // a stored chip port detection left untouched, one line
};

// Runs the sequence at most once per object (one object per process).
class StartupSequence {
 public:
  // ctx.detect and ctx.host must be detect and host. Returns nothing when
  // the sequence has already run.
  std::optional<StartupReport> Run(MonitorContext& ctx, DetectState& detect, RowModel& rows,
                                   StartupHost& host, const StartupEnv& env);
  bool done() const { return done_; }

 private:
  bool done_ = false;
};

// The working directory with a trailing '/', as log files expect it.
std::string WithTrailingDelimiter(std::string dir);

}  // namespace kev
