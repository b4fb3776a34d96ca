#include "monitor/history_ring.h"

#include <algorithm>
#include <cmath>

namespace kev {
namespace {

constexpr size_t kFanout = 16;
constexpr int kMaxCode = std::numeric_limits<int16_t>::max();
constexpr size_t kBitsPerByte = 8;

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Periods from a to b, to the nearest whole one.
int64_t NearestSteps(int64_t from, int64_t to, int64_t period) {
  return FloorDiv(to - from + period / 2, period);
}

// Makes index a held element of v (new ones are fill), growing no further
// than limit elements.
template <typename T>
T& Grown(std::vector<T>& v, size_t index, size_t limit, const T& fill) {
  if (index >= v.size()) {
    if (index >= v.capacity()) v.reserve(std::min(limit, std::max(index + 1, v.capacity() * 2)));
    v.resize(index + 1, fill);
  }
  return v[index];
}

}  // namespace

HistoryRing::HistoryRing(double scale, int64_t periodMs) : scale_(scale) { Allocate(periodMs); }

void HistoryRing::Allocate(int64_t periodMs) {
  period_ = std::max(periodMs, kMinHistoryPeriodMs);
  slots_ = static_cast<size_t>((kHistorySpanMs + period_ - 1) / period_);
  codes_ = {};
  alarms_ = {};
  blocks_.clear();
  for (size_t n = (slots_ + kFanout - 1) / kFanout; n > 1; n = (n + kFanout - 1) / kFanout) {
    blocks_.emplace_back();
  }
  started_ = false;
  head_ = 0;
  headTime_ = 0;
}

void HistoryRing::Clear() { Allocate(period_); }

int16_t HistoryRing::Encode(double value) const {
  const double code = std::round(value * scale_);
  // Off the scale (a nonsense reading) is pinned to its end.
  if (!(code > -kMaxCode)) return -kMaxCode;
  return static_cast<int16_t>(std::min(code, static_cast<double>(kMaxCode)));
}

size_t HistoryRing::Physical(size_t age) const {
  return (head_ + slots_ - age % slots_) % slots_;
}

SlotSummary HistoryRing::Raw(size_t index) const {
  SlotSummary s;
  if (index >= codes_.size()) return s;
  if (codes_[index] != kNoReading) s.min = s.max = codes_[index];
  s.alarm = (alarms_[index / kBitsPerByte] >> (index % kBitsPerByte) & 1U) != 0;
  return s;
}

SlotSummary HistoryRing::Block(size_t level, size_t index) const {
  return index < blocks_[level].size() ? blocks_[level][index] : SlotSummary{};
}

SlotSummary HistoryRing::Slot(size_t age) const {
  return age < capacity() && started_ ? Raw(Physical(age)) : SlotSummary{};
}

void HistoryRing::Write(size_t index, int16_t code, bool alarm) {
  // A gap where nothing is stored yet needs no storage.
  if (index >= codes_.size() && code == kNoReading && !alarm) return;
  Grown(codes_, index, slots_, kNoReading) = code;
  const auto bit = static_cast<uint8_t>(1U << (index % kBitsPerByte));
  uint8_t& byte = Grown(alarms_, index / kBitsPerByte, (slots_ + kBitsPerByte - 1) / kBitsPerByte,
                        uint8_t{0});
  byte = static_cast<uint8_t>(alarm ? byte | bit : byte & ~bit);
}

void HistoryRing::Merge(size_t index, int16_t code, bool alarm) {
  const SlotSummary old = Raw(index);
  // The reading in alarm stays; else the later one.
  const bool keepOld = code == kNoReading || (old.alarm && !alarm);
  Write(index, keepOld && !old.empty() ? codes_[index] : code, alarm || old.alarm);
  UpdateBlocks(index);
}

void HistoryRing::UpdateBlocks(size_t index) {
  size_t below = codes_.size(), levelSize = slots_;
  for (size_t level = 0; level < blocks_.size(); ++level) {
    const size_t block = index / kFanout;
    levelSize = (levelSize + kFanout - 1) / kFanout;
    if (block >= blocks_[level].size() && index >= below) return;  // gaps summarise as gaps
    const size_t first = block * kFanout, last = std::min(first + kFanout, below);
    SlotSummary s;
    for (size_t i = first; i < last; ++i) s.add(level == 0 ? Raw(i) : blocks_[level - 1][i]);
    Grown(blocks_[level], block, levelSize, SlotSummary{}) = s;
    below = blocks_[level].size();
    index = block;
  }
}

void HistoryRing::Advance(int64_t steps) {
  if (steps >= static_cast<int64_t>(capacity())) {
    const int64_t time = headTime_ + steps * period_;
    Clear();
    started_ = true;
    headTime_ = time;
    return;
  }
  for (int64_t i = 0; i < steps; ++i) {
    head_ = (head_ + 1) % slots_;
    Write(head_, kNoReading, false);
    UpdateBlocks(head_);
  }
  headTime_ += steps * period_;
}

void HistoryRing::Record(int64_t timeMs, std::optional<double> value, bool alarm) {
  const int16_t code = value ? Encode(*value) : kNoReading;
  if (!started_) {
    started_ = true;
    headTime_ = timeMs;
  }
  const int64_t steps = NearestSteps(headTime_, timeMs, period_);
  if (steps > 0) Advance(steps);
  const int64_t age = std::max<int64_t>(-steps, 0);
  if (age >= static_cast<int64_t>(capacity())) return;
  Merge(Physical(static_cast<size_t>(age)), code, alarm && code != kNoReading);
}

void HistoryRing::SetPeriod(int64_t periodMs) {
  if (std::max(periodMs, kMinHistoryPeriodMs) == period_) return;
  HistoryRing next(scale_, periodMs);
  if (started_) {
    // Oldest first, so that a coarser slot keeps the later of its readings.
    for (size_t age = capacity(); age-- > 0;) {
      const SlotSummary s = Raw(Physical(age));
      if (s.empty()) continue;
      const int64_t time = headTime_ - static_cast<int64_t>(age) * period_;
      next.Record(time, Decode(s.min), s.alarm);
    }
    // The head keeps its time even when its newest slots are gaps.
    next.Record(headTime_, std::nullopt, false);
  }
  *this = std::move(next);
}

SlotSummary HistoryRing::PhysicalSpan(size_t lo, size_t hi) const {
  SlotSummary out;
  for (size_t i = lo; i < hi;) {
    // The largest block that starts here and ends within the span.
    size_t size = 1, level = 0;
    while (level < blocks_.size() && i % (size * kFanout) == 0 && i + size * kFanout <= hi) {
      size *= kFanout;
      ++level;
    }
    out.add(level == 0 ? Raw(i) : Block(level - 1, i / size));
    i += size;
  }
  return out;
}

SlotSummary HistoryRing::Span(size_t ageFrom, size_t ageTo) const {
  ageTo = std::min(ageTo, capacity());
  if (!started_ || ageFrom >= ageTo) return {};
  // Ages run backwards from the head: the oldest slot of the span comes first.
  const size_t lo = Physical(ageTo - 1), hi = Physical(ageFrom);
  if (lo <= hi) return PhysicalSpan(lo, hi + 1);
  SlotSummary s = PhysicalSpan(lo, capacity());
  s.add(PhysicalSpan(0, hi + 1));
  return s;
}

size_t HistoryRing::MemoryBytes() const {
  size_t bytes = sizeof *this + codes_.capacity() * sizeof(int16_t) + alarms_.capacity();
  for (const auto& level : blocks_) bytes += sizeof level + level.capacity() * sizeof(SlotSummary);
  return bytes;
}

}  // namespace kev
