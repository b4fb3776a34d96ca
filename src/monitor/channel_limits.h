// The limits behind a channel's alarm in real units: a fan's least speed,
// a temperature's limit, the ends of a voltage's window.
#pragma once

#include <optional>

#include "detect/records.h"
#include "monitor/channels.h"
#include "settings/monitor_settings.h"

namespace kev {

// In rpm, degrees Celsius and volts; fan n and temperature n counted from 0.
double FanMinRpm(const DetectState& detect, MonitorSettings& s, int n);
double TempMaxCelsius(MonitorSettings& s, int n);
struct VoltWindow {
  double min = 0;
  double max = 0;
};
VoltWindow VoltWindowVolts(const DetectState& detect, MonitorSettings& s, int n);

// The channel's alarm lies below low or above high; a fan has only low, a
// temperature only high.
struct ChannelLimits {
  std::optional<double> low;
  std::optional<double> high;
};
ChannelLimits LimitsOf(const DetectState& detect, MonitorSettings& s, const SensorChannel& ch);

}  // namespace kev
