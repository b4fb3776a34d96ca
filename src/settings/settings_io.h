// Loading and saving MonitorSettings in the seven keys under the current
// user, group by group. A group is either read completely or put back to its
// defaults completely; groups do not affect each other.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/monitor_settings.h"
#include "settings/registry.h"

namespace kev {

// The seven keys, in load and save order.
inline constexpr std::string_view kGeneralKey = "Software\\Tolvenor\\Kevatra\\General";
inline constexpr std::string_view kErrorActionKey = "Software\\Tolvenor\\Kevatra\\ErrorAction";
inline constexpr std::string_view kDisplayKey = "Software\\Tolvenor\\Kevatra\\Display";
inline constexpr std::string_view kLoggingKey = "Software\\Tolvenor\\Kevatra\\Logging";
inline constexpr std::string_view kFanSpeedKey = "Software\\Tolvenor\\Kevatra\\FanSpeed";
inline constexpr std::string_view kTemperatureKey = "Software\\Tolvenor\\Kevatra\\Temperature";
inline constexpr std::string_view kVoltageKey = "Software\\Tolvenor\\Kevatra\\Voltage";

// What the defaults of xPosition and yPosition are centred in. A caller
// without a screen (the command-line tool) leaves it all zero.
struct LoadContext {
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  int32_t windowWidth = 0;
  int32_t windowHeight = 0;
};

struct LoadResult {
  // Keys (paths as above) of the groups that fell back to their defaults.
  std::vector<std::string> defaultedGroups;
};

// Fills every group from the registry or with its defaults and sets
// SettingsDefaulted. The caller then applies IntervalTime to the sampling
// timer, xPosition/yPosition to the window and the Display flags to the
// channel check boxes. Nothing here is meant for the user.
LoadResult LoadSettings(const Registry& reg, MonitorSettings& s, const LoadContext& ctx = {});

// Writes the seven groups, then flushes the registry. The caller first
// copies the live timer interval, window position and check-box states into
// the record. Stops at the first failure and says which value it was.
SaveResult SaveSettings(Registry& reg, const MonitorSettings& s);

// The record's defaults, with the window centred as in LoadContext.
MonitorSettings DefaultSettings(const LoadContext& ctx = {});

}  // namespace kev
