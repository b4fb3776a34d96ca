#include "monitor/history_plot.h"

#include <algorithm>
#include <cmath>

namespace kev {
namespace {

constexpr double kMargin = 0.08;     // of the span, above and below
constexpr double kFlatSpan = 0.05;   // of the value, when everything is one value
constexpr double kLeastSpan = 0.01;  // for values at or near 0

}  // namespace

ValueRange PlotRange(const std::vector<HistoryColumn>& columns, const ChannelLimits& limits) {
  double lo = INFINITY, hi = -INFINITY;
  auto take = [&](double v) {
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  };
  for (const HistoryColumn& c : columns) {
    if (c.empty) continue;
    take(c.min);
    take(c.max);
  }
  if (limits.low) take(*limits.low);
  if (limits.high) take(*limits.high);
  if (!(lo <= hi)) return {};
  if (hi - lo < kLeastSpan) {
    const double half = std::max(std::abs(hi) * kFlatSpan, kLeastSpan);
    lo -= half;
    hi += half;
  }
  const double margin = (hi - lo) * kMargin;
  // Nothing below zero was seen: the scale does not invent negative
  // readings (a stopped fan sits on the bottom line).
  return {lo >= 0 ? std::max(0.0, lo - margin) : lo - margin, hi + margin};
}

std::vector<ColumnRun> JoinedRuns(const std::vector<HistoryColumn>& columns, int64_t columnMs,
                                  int64_t periodMs, bool alarmOnly) {
  std::vector<ColumnRun> runs;
  const int64_t reach = 2 * periodMs + columnMs;
  bool open = false;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].empty || (alarmOnly && !columns[i].alarm)) continue;
    if (open && static_cast<int64_t>(i - runs.back().last) * columnMs <= reach) {
      runs.back().last = i;
    } else {
      runs.push_back({i, i});
      open = true;
    }
  }
  return runs;
}

}  // namespace kev
