// Start at login: the desktop's autostart entry
// $XDG_CONFIG_HOME/autostart/Kevatra.desktop, whose command is the running
// executable's full path. StartWithWindows mirrors whether it is there and
// points at this executable.
#pragma once

#include <string>

#include "settings/hive_file.h"
#include "settings/monitor_settings.h"
#include "settings/registry.h"

namespace kev {

struct AutostartPlace {
  std::string entryPath;   // the .desktop file
  std::string executable;  // this program's full path
};

// $XDG_CONFIG_HOME/autostart/Kevatra.desktop; empty without a config directory.
std::string DefaultAutostartPath(const EnvLookup& env);
// The running executable as the process sees it (/proc/self/exe); empty if unknown.
std::string RunningExecutable();
AutostartPlace DefaultAutostartPlace();

// The entry's text for an executable, and the executable an entry's text
// starts (empty when it has no usable command).
std::string AutostartEntryText(const std::string& executable);
std::string AutostartEntryExecutable(const std::string& text);

// Sets StartWithWindows: true when the entry starts exactly this executable
// (byte for byte). An entry that starts anything else is removed; the
// result is not ok only when that removal failed.
SaveResult ReadStartWithWindows(MonitorSettings& s, const AutostartPlace& place);

// Writes the entry (on) or removes it (off). Removing an absent entry does
// nothing at all.
SaveResult WriteStartWithWindows(bool on, const AutostartPlace& place);

}  // namespace kev
