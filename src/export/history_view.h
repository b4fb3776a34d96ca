// What serve offers of the history: the rows as the sampling thread saw
// them at the last sample, the rings behind them, and /history.json.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "detect/records.h"
#include "monitor/channel_history.h"
#include "monitor/channel_limits.h"
#include "monitor/reading_text.h"

namespace kev::metrics {

// At most this many points in one /history.json answer.
inline constexpr size_t kMaxHistoryPoints = 1000;
inline constexpr int kMaxHistoryMinutes = 24 * 60;
inline constexpr int kDefaultHistoryMinutes = 60;

// One row of the monitor window at the last sample.
struct ChannelView {
  int channel = 0;
  ChannelGroup group = ChannelGroup::Fan;
  std::string sensor;   // "fan1", "in0" ...
  std::string caption;  // the row's shown name, as the user set it
  std::string valueText;
  bool checked = false;
  bool shown = true;  // false for a hidden row
  bool alarm = false;
  ChannelLimits limits;
};

// A copy made on the sampling thread; the rings take their own lock.
struct HistoryView {
  const ChannelHistory* history = nullptr;
  std::vector<ChannelView> rows;  // in the window's order: fans, temperatures, voltages
  int64_t sampledMs = 0;
  int refreshSeconds = 1;  // the sampling interval, rounded up

  const ChannelView* row(int channel) const;
};

HistoryView MakeHistoryView(const RowsSnapshot& rows, const DetectState& detect,
                            const ChannelHistory* history, uint64_t intervalMs);

// "rpm", "C" or "V".
std::string_view UnitOf(ChannelGroup group);

struct HistoryQuery {
  int channel = 0;
  int minutes = kDefaultHistoryMinutes;
};
// The arguments of /history.json (null when absent); a message for a 400
// when they are no channel number 1..15 or no minutes 1..1440.
std::optional<HistoryQuery> ParseHistoryQuery(const char* channel, const char* minutes,
                                              std::string& error);

// The channel's readings over the last minutes, at most kMaxHistoryPoints
// min/max points, with its caption, unit and limits.
std::string FormatHistoryJson(const HistoryView& view, const HistoryQuery& query);

}  // namespace kev::metrics
