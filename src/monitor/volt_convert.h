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

// A raw voltage limit of Volt n+1 as millivolts, for showing limits: like
// RawToMillivolts, but inputs the chip does not read still give a value
// (LM81/LM87: the raw value itself; GL parts: Volt 6 only in its Vin4 mode;
// chips without formulas: the LM78 ones).
int32_t VoltLimitMillivolts(int32_t chipKind, int n, int32_t raw, bool dualCoreVoltage,
                            bool gl520Vin4Mode);

// Inputs whose upper and lower raw limits swap roles (negative rails that
// read higher for a smaller magnitude): IT8712F Volt 6, ITE Volt 7.
bool InvertedVoltLimits(int32_t chipKind, int n);

}  // namespace kev
