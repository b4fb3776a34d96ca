// Stable names and limits of the channels as the metrics give them: the
// chip or SMBus sensor a reading comes from, the hwmon-style sensor name
// (fan1, temp1, in0 ...) and the limits of the settings in real units.
#pragma once

#include <optional>
#include <string>

#include "detect/records.h"
#include "monitor/channel_limits.h"
#include "monitor/channels.h"
#include "settings/monitor_settings.h"

namespace kev::metrics {

// "w83782d" for a chip kind (as the report names it); "unknown" for none.
std::string ChipLabel(int32_t namedChipKind);

// The chip label of the reading of ch: the auxiliary sensor's ("lm75-0x48",
// "max1617-0x4c") when the temperature comes from one, else chipLabel.
std::string SourceLabel(const SensorChannel& ch, const DetectState& detect,
                        const MonitorSettings& s, const std::string& chipLabel);

// "fan1".."fan3", "temp1".."temp3", "in0".."in8".
std::string SensorName(const SensorChannel& ch);

// The limits behind the alarms, in rpm, degrees Celsius and volts.
using kev::FanMinRpm;
using kev::TempMaxCelsius;
using kev::VoltWindow;
using kev::VoltWindowVolts;

}  // namespace kev::metrics
