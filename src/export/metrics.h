// One sample in the Prometheus text exposition format.
#pragma once

#include <string>
#include <string_view>

#include "monitor/reading_text.h"

namespace kev::metrics {

// What the exposition carries besides the rows.
struct MetricsSource {
  std::string_view chip;      // the chip's shown name
  std::string_view pmDevice;  // the PM device's shown name
  double sampleTime = 0;      // when the sample was taken, seconds since 1970
};

// Value, alarm and readable gauges of every checked channel, an info metric
// and the time of the sample. Unchecked channels are left out.
std::string FormatMetrics(const RowsSnapshot& s, const MetricsSource& source);

}  // namespace kev::metrics
