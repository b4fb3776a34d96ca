// The fan group: tachometer counts to revolutions per minute.
#pragma once

#include <cstdint>
#include <string>

#include "monitor/monitor_context.h"

namespace kev {

// Fan n's 8-bit tachometer count; 255 when there is no reading.
int32_t ReadFanCount(const MonitorContext& ctx, int n);

// Revolutions per minute for a count of 1..254 (may be 0 with a huge divisor);
// 0 for no reading.
// The effective divisor includes the fan's pulse setting (1: two pulses per
// revolution, 2: one pulse).
int32_t FanRpm(int32_t chipKind, int32_t effectiveDivisor, int32_t pprSetting, int32_t count);

// In error at count 0 or 255 or at or above the fan's limit count.
bool CheckFanLimit(MonitorSettings& settings, int32_t count, int n);

// Whether the chip has a counter for fan n where it sits (ISA or SMBus).
bool FanPresent(const MonitorContext& ctx, int n);

// Reads fan n, sets its error flag and value and returns the panel text.
std::string ReadFanChannel(MonitorContext& ctx, int n);

// Switches fan n's counter on or off on the Winbond parts that have the switch.
void SetFanCounter(const MonitorContext& ctx, int n, bool on);

}  // namespace kev
