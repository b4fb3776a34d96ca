// One channel's recent readings: a ring of time slots one sampling period
// apart, 24 hours deep, two bytes and an alarm bit a slot, with min/max
// summaries of blocks of slots so that a wide view never reads every slot.
// Storage grows as the ring fills, so a program just started holds little.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace kev {

inline constexpr int64_t kHistorySpanMs = 24LL * 60 * 60 * 1000;
// Shorter sampling intervals share slots of this length.
inline constexpr int64_t kMinHistoryPeriodMs = 1000;

// Readings stored as int16 codes: value times the ring's scale.
struct SlotSummary {
  int16_t min = std::numeric_limits<int16_t>::max();
  int16_t max = std::numeric_limits<int16_t>::min();
  bool alarm = false;

  bool empty() const { return min > max; }
  void add(const SlotSummary& o) {
    if (o.min < min) min = o.min;
    if (o.max > max) max = o.max;
    alarm = alarm || o.alarm;
  }
};

class HistoryRing {
 public:
  // scale: codes per unit (1 for rpm, 100 for degrees, 1000 for volts).
  explicit HistoryRing(double scale, int64_t periodMs = kMinHistoryPeriodMs);

  // Stores a reading taken at timeMs (milliseconds since 1970). A time
  // within half a period of a held slot lands in that slot, which keeps the
  // reading in alarm, else the later one; a later time moves the head on and
  // leaves the slots skipped empty (a gap). Times older than the ring are
  // dropped. No value: the slot stays a gap unless it holds a reading.
  void Record(int64_t timeMs, std::optional<double> value, bool alarm);
  // Moves what is held into slots of another period (a changed interval).
  void SetPeriod(int64_t periodMs);
  void Clear();

  int64_t periodMs() const { return period_; }
  size_t capacity() const { return slots_; }
  bool empty() const { return !started_; }
  // Time of the newest slot; slot of age a (0 newest) is a periods older.
  int64_t headTime() const { return headTime_; }
  double scale() const { return scale_; }
  double Decode(int16_t code) const { return code / scale_; }

  SlotSummary Slot(size_t age) const;
  // Slots of ages [ageFrom, ageTo) together, read from block summaries.
  SlotSummary Span(size_t ageFrom, size_t ageTo) const;
  size_t MemoryBytes() const;

 private:
  static constexpr int16_t kNoReading = std::numeric_limits<int16_t>::min();

  size_t Physical(size_t age) const;
  SlotSummary Raw(size_t index) const;
  SlotSummary PhysicalSpan(size_t lo, size_t hi) const;
  SlotSummary Block(size_t level, size_t index) const;
  void Advance(int64_t steps);
  void Merge(size_t index, int16_t code, bool alarm);
  void Write(size_t index, int16_t code, bool alarm);
  void UpdateBlocks(size_t index);
  int16_t Encode(double value) const;
  void Allocate(int64_t periodMs);

  double scale_;
  int64_t period_ = kMinHistoryPeriodMs;
  bool started_ = false;
  int64_t headTime_ = 0;
  size_t head_ = 0;
  size_t slots_ = 0;
  // Slots and blocks past the end of these are gaps not yet stored.
  std::vector<int16_t> codes_;
  std::vector<uint8_t> alarms_;                   // one bit a slot
  std::vector<std::vector<SlotSummary>> blocks_;  // level k: blocks of 16^(k+1) slots
};

}  // namespace kev
