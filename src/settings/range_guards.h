// Stored settings are used as stored; these checks keep an out-of-range value
// from crashing or dividing by zero where it is used.
#pragma once

#include <cstdint>
#include <span>

namespace kev {

// Entries in the three caption tables.
inline constexpr int32_t kFanCaptionCount = 13;
inline constexpr int32_t kTempCaptionCount = 21;
inline constexpr int32_t kVoltCaptionCount = 17;
// Entries of TempSensorAddressList.
inline constexpr int32_t kTempSensorAddressCount = 14;

// A fan pulse factor usable as a divisor: 0 or below becomes 1.
int32_t SafePulseFactor(int32_t ppr);

bool FanCaptionInRange(int32_t index);
bool TempCaptionInRange(int32_t index);
bool VoltCaptionInRange(int32_t index);
// The index if it lies in 0..count-1, else 0.
int32_t SafeCaptionIndex(int32_t index, int32_t count);

// -1 (automatic) or an index into TempSensorAddressList.
bool TempSMBAddressInRange(int32_t index);

// True when positions holds each of 0..size-1 exactly once.
bool IsPermutation(std::span<const int32_t> positions);
// Leaves a permutation alone; anything else becomes 0, 1, 2, ...
void RepairPositions(std::span<int32_t> positions);

// Timer interval: negative becomes 0 (no timer).
int32_t SafeIntervalTime(int32_t ms);
// Percentages and counts clamped to what the program can show or use.
int32_t SafeTransparency(int32_t percent);     // 0..100
int32_t SafeLogFileSizeLimit(int32_t kb);      // at least 1
int32_t SafeVoltPrecision(int32_t precision);  // 0..2

}  // namespace kev
