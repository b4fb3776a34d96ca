// One sample in the Prometheus text exposition format, shaped like the
// hwmon metrics of node_exporter with a kevatra_ prefix.
#pragma once

#include <string>
#include <string_view>

#include "detect/records.h"
#include "monitor/reading_text.h"

namespace kev::metrics {

// What the exposition carries besides the rows.
struct MetricsSource {
  const DetectState& detect;
  int32_t namedChipKind = kind::Unknown;  // the chip as the report names it
  std::string_view chipName;              // its shown name
  std::string_view pmDevice;              // the PM device's shown name
  std::string_view version;               // the program's version
  double sampleTime = 0;                  // when the sample was taken, seconds since 1970
};

// Per checked channel with a reading: value, alarm and limits, labelled by
// chip and sensor, and the user's caption in kevatra_sensor_label; then the
// chips, the build and the time of the sample.
std::string FormatMetrics(const RowsSnapshot& s, const MetricsSource& source);

}  // namespace kev::metrics
