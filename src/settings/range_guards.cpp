#include "settings/range_guards.h"

#include <algorithm>
#include <vector>

namespace kev {

int32_t SafePulseFactor(int32_t ppr) { return ppr <= 0 ? 1 : ppr; }

int32_t SafeCaptionIndex(int32_t index, int32_t count) {
  return index >= 0 && index < count ? index : 0;
}

bool FanCaptionInRange(int32_t index) { return index >= 0 && index < kFanCaptionCount; }
bool TempCaptionInRange(int32_t index) { return index >= 0 && index < kTempCaptionCount; }
bool VoltCaptionInRange(int32_t index) { return index >= 0 && index < kVoltCaptionCount; }

bool TempSMBAddressInRange(int32_t index) { return index >= -1 && index < kTempSensorAddressCount; }

bool IsPermutation(std::span<const int32_t> positions) {
  std::vector<bool> seen(positions.size(), false);
  for (int32_t p : positions) {
    if (p < 0 || static_cast<size_t>(p) >= positions.size() || seen[static_cast<size_t>(p)]) {
      return false;
    }
    seen[static_cast<size_t>(p)] = true;
  }
  return true;
}

void RepairPositions(std::span<int32_t> positions) {
  if (IsPermutation(positions)) return;
  for (size_t i = 0; i < positions.size(); ++i) positions[i] = static_cast<int32_t>(i);
}

int32_t SafeIntervalTime(int32_t ms) { return std::max(ms, 0); }
int32_t SafeTransparency(int32_t percent) { return std::clamp(percent, 0, 100); }
int32_t SafeLogFileSizeLimit(int32_t kb) { return std::max(kb, 1); }
int32_t SafeVoltPrecision(int32_t precision) { return std::clamp(precision, 0, 2); }

}  // namespace kev
