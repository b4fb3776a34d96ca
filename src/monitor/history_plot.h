// What both the window and the page need to draw a channel's columns: the
// value range to show, and which columns join into one line or one shaded
// stretch of alarm.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "monitor/channel_history.h"
#include "monitor/channel_limits.h"

namespace kev {

struct ValueRange {
  double lo = 0;
  double hi = 1;
  // 0 at lo, 1 at hi.
  double Fraction(double v) const { return (v - lo) / (hi - lo); }
};

// The readings and the limits with a margin; never empty.
ValueRange PlotRange(const std::vector<HistoryColumn>& columns, const ChannelLimits& limits);

struct ColumnRun {
  size_t first = 0;
  size_t last = 0;  // inclusive
};

// Runs of columns with readings (alarm only: of columns in alarm) that
// join: columns no further apart than two sampling periods, so a sample
// missed now and then breaks nothing while a real gap shows.
std::vector<ColumnRun> JoinedRuns(const std::vector<HistoryColumn>& columns, int64_t columnMs,
                                  int64_t periodMs, bool alarmOnly);

}  // namespace kev
