// Raw voltage readings to millivolts, per chip kind and input; also used to
// show raw voltage limits as volts.
#pragma once

#include <cstdint>

namespace kev {

// The raw value the limits are compared with: VIA inputs that wrapped past
// full scale (64 or less) read 256 higher. Other chips: unchanged.
int32_t AdjustVoltRaw(int32_t chipKind, int32_t raw);

// Volt n+1 (n = 0..8) of a chip kind in millivolts; the VIA wrap is applied
// first. Inputs without a formula give 0.
int32_t RawToMillivolts(int32_t chipKind, int n, int32_t raw, bool dualCoreVoltage);

}  // namespace kev
