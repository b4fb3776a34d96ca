#include "monitor/channel_history.h"

#include <algorithm>
#include <chrono>

namespace kev {
namespace {

constexpr double kRpmScale = 1.0;
constexpr double kDegreeScale = 100.0;
constexpr double kVoltScale = 1000.0;

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Ages of the slots after timeMs: [0, result).
size_t AgesAfter(const HistoryRing& ring, int64_t timeMs) {
  const int64_t p = ring.periodMs();
  const int64_t ages = FloorDiv(ring.headTime() - timeMs + p - 1, p);
  return static_cast<size_t>(std::clamp<int64_t>(ages, 0, static_cast<int64_t>(ring.capacity())));
}

}  // namespace

std::vector<HistoryColumn> Decimate(const HistoryRing& ring, int64_t fromMs, int64_t toMs,
                                    size_t columns) {
  std::vector<HistoryColumn> out(columns);
  if (columns == 0 || toMs <= fromMs) return out;
  const int64_t span = toMs - fromMs, count = static_cast<int64_t>(columns);
  size_t older = AgesAfter(ring, fromMs);
  for (int64_t c = 0; c < count; ++c) {
    HistoryColumn& col = out[static_cast<size_t>(c)];
    col.startMs = fromMs + span * c / count;
    const size_t newer = AgesAfter(ring, fromMs + span * (c + 1) / count);
    const SlotSummary s = ring.empty() ? SlotSummary{} : ring.Span(newer, older);
    older = newer;
    if (s.empty()) continue;
    col.empty = false;
    col.min = ring.Decode(s.min);
    col.max = ring.Decode(s.max);
    col.alarm = s.alarm;
  }
  return out;
}

int64_t WallClockMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

double HistoryScale(ChannelGroup group) {
  switch (group) {
    case ChannelGroup::Fan:
      return kRpmScale;
    case ChannelGroup::Temp:
      return kDegreeScale;
    case ChannelGroup::Volt:
      break;
  }
  return kVoltScale;
}

ChannelHistory::ChannelHistory(Clock clock) : clock_(std::move(clock)) {
  for (const SensorChannel& ch : MakeChannels()) rings_.emplace_back(HistoryScale(ch.group));
}

void ChannelHistory::SetInterval(int64_t intervalMs) {
  for (HistoryRing& ring : rings_) ring.SetPeriod(intervalMs);
}

void ChannelHistory::FixInterval(int64_t intervalMs) {
  std::lock_guard lock(mutex_);
  fixedInterval_ = intervalMs;
  SetInterval(intervalMs);
}

void ChannelHistory::RecordCycle(const ChannelSet& channels, MonitorSettings& settings) {
  const int64_t now = clock_();
  std::lock_guard lock(mutex_);
  SetInterval(fixedInterval_.value_or(settings.IntervalTime));
  for (const SensorChannel& ch : channels) {
    if (!ChannelChecked(settings, ch.number)) continue;
    rings_[static_cast<size_t>(ch.number - 1)].Record(now, ch.value, ch.inError);
    if (!oldestMs_) oldestMs_ = now;
  }
}

void ChannelHistory::Record(int channel, int64_t timeMs, std::optional<double> value, bool alarm) {
  if (channel < 1 || channel > kChannelCount) return;
  std::lock_guard lock(mutex_);
  rings_[static_cast<size_t>(channel - 1)].Record(timeMs, value, alarm);
  oldestMs_ = std::min(oldestMs_.value_or(timeMs), timeMs);
}

int64_t ChannelHistory::ShortestSpanHolding(int64_t nowMs) const {
  std::lock_guard lock(mutex_);
  const int64_t held = oldestMs_ ? nowMs - *oldestMs_ : 0;
  for (int64_t span : kHistorySpansMs) {
    if (held <= span) return span;
  }
  return kHistorySpansMs.back();
}

std::vector<HistoryColumn> ChannelHistory::Columns(int channel, int64_t fromMs, int64_t toMs,
                                                   size_t columns) const {
  if (channel < 1 || channel > kChannelCount) return {};
  std::lock_guard lock(mutex_);
  return Decimate(rings_[static_cast<size_t>(channel - 1)], fromMs, toMs, columns);
}

int64_t ChannelHistory::periodMs() const {
  std::lock_guard lock(mutex_);
  return rings_.front().periodMs();
}

size_t ChannelHistory::MemoryBytes() const {
  std::lock_guard lock(mutex_);
  size_t bytes = sizeof *this;
  for (const HistoryRing& ring : rings_) bytes += ring.MemoryBytes();
  return bytes;
}

}  // namespace kev
