// The voltage group: raw analogue inputs, their windows and texts.
#pragma once

#include <cstdint>
#include <string>

#include "monitor/monitor_context.h"

namespace kev {

// Volt n+1's raw value as the limits see it (VIA wrap applied), or -1 when
// the input has no reading (absent, failed transfer, the chip's invalid value).
int32_t ReadVoltRaw(const MonitorContext& ctx, int n);

// In error when raw lies outside the channel's window [lower, upper]; the
// ITE negative rails have the two settings the other way round.
bool CheckVoltLimit(MonitorSettings& settings, int32_t chipKind, int32_t raw, int n);

// Reads volt n, sets its error flag when there is a reading, returns the text.
std::string ReadVoltChannel(MonitorContext& ctx, int n);

}  // namespace kev
