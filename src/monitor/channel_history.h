// The last 24 hours of every channel: one history ring each, filled after
// every sampling cycle, and their readings decimated for drawing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "monitor/channels.h"
#include "monitor/history_ring.h"
#include "settings/monitor_settings.h"

namespace kev {

// One equal span of time of a view; empty when no reading fell in it.
struct HistoryColumn {
  int64_t startMs = 0;
  bool empty = true;
  double min = 0;
  double max = 0;
  bool alarm = false;
};

// The ring's slots after fromMs up to toMs in equal spans (each includes
// its end, so a view up to now shows the newest sample), oldest first: the
// least and greatest reading of each span, so that a peak of one sample
// shows at any width. Reads block summaries, never every slot.
std::vector<HistoryColumn> Decimate(const HistoryRing& ring, int64_t fromMs, int64_t toMs,
                                    size_t columns);

// Milliseconds since 1970 by the system clock.
int64_t WallClockMs();

// Codes per unit of a group's readings: whole rpm, 1/100 degree, millivolts.
double HistoryScale(ChannelGroup group);

// The spans the History window and serve's page show: 10 minutes, an hour,
// 24 hours.
inline constexpr std::array<int64_t, 3> kHistorySpansMs{10LL * 60 * 1000, 60LL * 60 * 1000,
                                                        24LL * 60 * 60 * 1000};

// Safe to share between threads: every call takes the object's lock.
class ChannelHistory {
 public:
  using Clock = std::function<int64_t()>;
  explicit ChannelHistory(Clock clock = WallClockMs);

  // Records the cycle just run: each checked channel's reading and error
  // flag, stamped now. The slots follow IntervalTime unless an interval is fixed.
  void RecordCycle(const ChannelSet& channels, MonitorSettings& settings);
  void Record(int channel, int64_t timeMs, std::optional<double> value, bool alarm);
  // An interval other than IntervalTime (the command line's --interval).
  void FixInterval(int64_t intervalMs);

  std::vector<HistoryColumn> Columns(int channel, int64_t fromMs, int64_t toMs,
                                     size_t columns) const;
  int64_t Now() const { return clock_(); }
  // The shortest of kHistorySpansMs that holds everything recorded up to
  // nowMs (a minute of data is a sliver at the edge of the hour), else the
  // longest.
  int64_t ShortestSpanHolding(int64_t nowMs) const;
  int64_t periodMs() const;
  size_t MemoryBytes() const;

 private:
  void SetInterval(int64_t intervalMs);

  mutable std::mutex mutex_;
  Clock clock_;
  std::optional<int64_t> fixedInterval_;
  std::optional<int64_t> oldestMs_;  // the oldest reading recorded
  std::vector<HistoryRing> rings_;
};

}  // namespace kev
