// The temperature group: chip and auxiliary-sensor readings to degrees.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "monitor/monitor_context.h"

namespace kev {

// Whole degrees t and the half-degree sign h (-1, 0, +1): T = t + h / 2.
// Wide enough for any stored adjustor added to any reading.
struct TempReading {
  int64_t t = 0;
  int h = 0;
};

// Temp n's reading before the user's adjustor; none when the source has no
// reading or a transfer failed.
std::optional<TempReading> ReadTempSource(const MonitorContext& ctx, int n);

// Whether temp n reads an auxiliary SMBus sensor instead of the chip.
bool UsesAuxSensor(const DetectState& detect, const MonitorSettings& s, int n);

// In error at or above the channel's limit.
bool CheckTempLimit(MonitorSettings& settings, int n, TempReading value);

// Reads temp n, sets its error flag when there is a reading, returns the text.
std::string ReadTempChannel(MonitorContext& ctx, int n);

}  // namespace kev
