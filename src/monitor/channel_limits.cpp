#include "monitor/channel_limits.h"

#include <algorithm>

#include "monitor/fan_channel.h"
#include "monitor/temp_channel.h"
#include "monitor/volt_convert.h"

namespace kev {
namespace {

constexpr double kMillivoltsPerVolt = 1000.0;

}  // namespace

double FanMinRpm(const DetectState& detect, MonitorSettings& s, int n) {
  // The alarm fires at a count at or above the limit count: at or below this speed.
  return FanRpm(detect.chip.ChipKind, detect.FanDivisor.at(static_cast<size_t>(n)), FanPPR(s, n),
                FanLimit(s, n));
}

double TempMaxCelsius(MonitorSettings& s, int n) { return TempLimit(s, n); }

VoltWindow VoltWindowVolts(const DetectState& detect, MonitorSettings& s, int n) {
  const int32_t k = detect.chip.ChipKind;
  auto volts = [&](int32_t raw) {
    return VoltLimitMillivolts(k, n, raw, detect.DualCoreVoltage, detect.chip.Gl520Vin4Mode) /
           kMillivoltsPerVolt;
  };
  // Negative rails read lower for a higher voltage: order the two ends.
  const double a = volts(VoltLLimit(s, n));
  const double b = volts(VoltULimit(s, n));
  return {std::min(a, b), std::max(a, b)};
}

ChannelLimits LimitsOf(const DetectState& detect, MonitorSettings& s, const SensorChannel& ch) {
  switch (ch.group) {
    case ChannelGroup::Fan:
      return {FanMinRpm(detect, s, ch.n), std::nullopt};
    case ChannelGroup::Temp:
      return {std::nullopt, TempMaxCelsius(s, ch.n)};
    case ChannelGroup::Volt:
      break;
  }
  const VoltWindow w = VoltWindowVolts(detect, s, ch.n);
  return {w.min, w.max};
}

}  // namespace kev
