// The history rings: slots in time, gaps, interval changes, decimation
// against a brute-force reference, and filling them from channel logs.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "monitor/channel_history.h"
#include "monitor/history_import.h"
#include "settings/temp_dir.h"

namespace kev {
namespace {

constexpr int64_t kT0 = 989675110000;  // 2001/05/12 13:45:10 UTC
constexpr int64_t kSecond = 1000;
constexpr size_t kDaySlots = 86400;

TEST(HistoryRing, KeepsTheLastDayThroughWrapJitterAndGaps) {
  HistoryRing ring(1.0);
  ASSERT_EQ(ring.capacity(), kDaySlots);
  // A day and a bit at 1 s with a timer that jitters by up to 0.2 s.
  const size_t total = kDaySlots + 500;
  for (size_t i = 0; i < total; ++i) {
    const int64_t jitter = static_cast<int64_t>(i % 5) * 100 - 200;
    ring.Record(kT0 + static_cast<int64_t>(i) * kSecond + jitter, static_cast<double>(i % 30000),
                false);
  }
  EXPECT_EQ(ring.Slot(0).max, static_cast<int16_t>((total - 1) % 30000));
  EXPECT_EQ(ring.Slot(kDaySlots - 1).max, static_cast<int16_t>(500));  // the oldest kept
  size_t gaps = 0;
  for (size_t age = 0; age < kDaySlots; ++age) gaps += ring.Slot(age).empty() ? 1 : 0;
  EXPECT_EQ(gaps, 0U);

  // Ten minutes suspended: a gap of empty slots, then readings again.
  const int64_t last = ring.headTime();
  ring.Record(last + 600 * kSecond, 7.0, true);
  EXPECT_TRUE(ring.Span(1, 600).empty());
  EXPECT_TRUE(ring.Slot(0).alarm);
  EXPECT_FALSE(ring.Slot(600).empty());

  // A reading older than the ring is dropped; a late one finds its slot.
  ring.Record(last - 2 * kHistorySpanMs, 1.0, true);
  ring.Record(last + 300 * kSecond, 5.0, false);
  EXPECT_EQ(ring.Slot(300).max, 5);
  EXPECT_FALSE(ring.Span(301, kDaySlots).alarm);

  // Asleep for two days: nothing of before stays.
  ring.Record(ring.headTime() + 2 * kHistorySpanMs, 9.0, false);
  EXPECT_TRUE(ring.Span(1, kDaySlots).empty());
  EXPECT_EQ(ring.Slot(0).max, 9);
}

// Ages of the slots in alarm.
std::vector<size_t> AlarmAges(const HistoryRing& ring) {
  std::vector<size_t> out;
  for (size_t age = 0; age < ring.capacity(); ++age) {
    if (ring.Slot(age).alarm) out.push_back(age);
  }
  return out;
}

int64_t TimeOf(const HistoryRing& ring, size_t age) {
  return ring.headTime() - static_cast<int64_t>(age) * ring.periodMs();
}

TEST(HistoryRing, IntervalChangesKeepReadingsAtTheirTimes) {
  HistoryRing ring(100.0);
  for (int i = 0; i < 100; ++i) ring.Record(kT0 + i * kSecond, 40.0 + i * 0.01, i == 42);
  ring.SetPeriod(5 * kSecond);
  EXPECT_EQ(ring.capacity(), kDaySlots / 5);
  EXPECT_NEAR(static_cast<double>(ring.headTime()), static_cast<double>(kT0 + 99 * kSecond), 2500);
  EXPECT_DOUBLE_EQ(ring.Decode(ring.Slot(0).max), 40.99);  // the later reading of a slot
  // The reading in alarm outlived its neighbours, at its time.
  std::vector<size_t> alarms = AlarmAges(ring);
  ASSERT_EQ(alarms.size(), 1U);
  EXPECT_DOUBLE_EQ(ring.Decode(ring.Slot(alarms[0]).max), 40.42);
  EXPECT_NEAR(static_cast<double>(TimeOf(ring, alarms[0])), static_cast<double>(kT0 + 42 * kSecond),
              2500);
  EXPECT_FALSE(ring.Slot(20).empty());
  EXPECT_TRUE(ring.Span(21, ring.capacity()).empty());
  // Sub-second intervals share one-second slots.
  ring.SetPeriod(250);
  EXPECT_EQ(ring.periodMs(), kSecond);
  EXPECT_EQ(ring.capacity(), kDaySlots);
  alarms = AlarmAges(ring);
  ASSERT_EQ(alarms.size(), 1U);
  EXPECT_NEAR(static_cast<double>(TimeOf(ring, alarms[0])), static_cast<double>(kT0 + 42 * kSecond),
              2500);
}

// Each column by walking every slot, as the blocks must not change it.
std::vector<HistoryColumn> BruteForce(const HistoryRing& ring, int64_t from, int64_t to,
                                      size_t columns) {
  std::vector<HistoryColumn> out(columns);
  const auto n = static_cast<int64_t>(columns);
  std::vector<int64_t> edges;
  for (int64_t c = 0; c <= n; ++c) edges.push_back(from + (to - from) * c / n);
  for (size_t age = 0; age < ring.capacity(); ++age) {
    const SlotSummary s = ring.Slot(age);
    const int64_t t = TimeOf(ring, age);
    if (s.empty() || t <= edges.front() || t > edges.back()) continue;
    const auto c = std::lower_bound(edges.begin(), edges.end(), t) - edges.begin() - 1;
    HistoryColumn& col = out[static_cast<size_t>(c)];
    const double lo = ring.Decode(s.min), hi = ring.Decode(s.max);
    col.min = col.empty ? lo : std::min(col.min, lo);
    col.max = col.empty ? hi : std::max(col.max, hi);
    col.alarm = col.alarm || s.alarm;
    col.empty = false;
  }
  return out;
}

TEST(HistoryRing, DecimationMatchesBruteForceOnRandomData) {
  std::mt19937 rng(26);
  for (int round = 0; round < 6; ++round) {
    HistoryRing ring(1000.0, round % 2 == 0 ? kSecond : 3 * kSecond);
    std::uniform_int_distribution<int> step(1, 4), volts(-12000, 12000), odds(0, 99);
    int64_t t = kT0;
    for (size_t i = 0; i < 2 * ring.capacity() / 3 + round * 9000; ++i) {
      t += odds(rng) == 0 ? step(rng) * 60 * kSecond : ring.periodMs();  // now and then a gap
      ring.Record(t, odds(rng) < 3 ? std::nullopt : std::optional<double>(volts(rng) / 1000.0),
                  odds(rng) < 2);
    }
    std::uniform_int_distribution<int64_t> span(60, 26 * 3600);
    const int64_t to = t + std::uniform_int_distribution<int64_t>(-600, 600)(rng) * kSecond;
    const int64_t from = to - span(rng) * kSecond;
    const size_t columns = std::uniform_int_distribution<size_t>(1, 1200)(rng);
    const std::vector<HistoryColumn> got = Decimate(ring, from, to, columns);
    const std::vector<HistoryColumn> want = BruteForce(ring, from, to, columns);
    ASSERT_EQ(got.size(), want.size());
    for (size_t c = 0; c < columns; ++c) {
      SCOPED_TRACE(testing::Message() << "round " << round << " column " << c);
      ASSERT_EQ(got[c].empty, want[c].empty);
      EXPECT_EQ(got[c].alarm, want[c].alarm);
      if (got[c].empty) continue;
      EXPECT_DOUBLE_EQ(got[c].min, want[c].min);
      EXPECT_DOUBLE_EQ(got[c].max, want[c].max);
    }
  }
}

TEST(ChannelHistory, MemoryGrowsWithTheHistoryAndFifteenFullRingsStayUnderSixMegabytes) {
  ChannelHistory history([] { return kT0; });
  constexpr int kChannels = 15;
  for (int ch = 0; ch < kChannels; ++ch) history.Record(ch, kT0, 1.0, false);
  EXPECT_LT(history.MemoryBytes(), size_t{64} * 1000);  // a program just started
  for (size_t s = 0; s < kDaySlots; ++s) {
    for (int ch = 0; ch < kChannels; ++ch) {
      history.Record(ch, kT0 + static_cast<int64_t>(s) * kSecond, 1.0, false);
    }
  }
  EXPECT_LT(history.MemoryBytes(), size_t{6} * 1000 * 1000);
}

class HistoryImport : public testing::Test {
 protected:
  void SetUp() override {
    oldTz_ = getenv("TZ") != nullptr ? std::optional<std::string>(getenv("TZ")) : std::nullopt;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (oldTz_) {
      setenv("TZ", oldTz_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  std::optional<std::string> oldTz_;
  test::TempDir dir_;
};

TEST_F(HistoryImport, TakesLogLinesAndCountsDamagedOnes) {
  const std::string path = dir_.file("TEMP_1.LOG");
  test::WriteAll(path,
                 "2001/05/12 13:45:10 [CPU Temp.] : 45.5C / 113.9F\r\n"
                 "2001/05/12 13:45:11 : 71.0C / 159.8F [Err]\r\n"
                 "2001/05/12 13:45:12 : N/A\r\n"
                 "2001/05/12 13:45:13 [CPU Temp.] : 46,5C / 115.7F\n"  // wrong separator
                 "2001/13/12 13:45:14 : 45.0C / 113.0F\r\n"            // month 13
                 "\x01\x02garbage\xff\r\n"
                 "2001/05/12 13:45:15 [unclosed : 45.0C / 113.0F\r\n" +
                     std::string(600, 'x') + "\r\n" +
                     "2001/05/12 13:45:16 : 47.0C / 116.6F");  // no line end
  std::vector<LogReading> got;
  const LogImport r = ImportLogFile(path, '.', kT0, kT0 + 60 * kSecond,
                                    [&](const LogReading& l) { got.push_back(l); });
  EXPECT_EQ(r.readings, 4U);
  EXPECT_EQ(r.skipped, 5U);
  ASSERT_EQ(got.size(), 4U);
  EXPECT_EQ(got[0].timeMs, kT0);
  EXPECT_EQ(got[0].value, 45.5);
  EXPECT_TRUE(got[1].alarm);
  EXPECT_EQ(got[1].value, 71.0);
  EXPECT_FALSE(got[2].value);
  EXPECT_EQ(got[3].timeMs, kT0 + 6 * kSecond);

  // Outside the window asked for: neither taken nor counted as damaged.
  const LogImport late =
      ImportLogFile(path, '.', kT0 + 2 * kSecond, kT0 + 60 * kSecond, [](const LogReading&) {});
  EXPECT_EQ(late.readings, 2U);
  EXPECT_EQ(late.skipped, 5U);

  // A link in the log's place is not followed.
  std::filesystem::create_symlink(path, dir_.file("FAN_1.LOG"));
  EXPECT_EQ(
      ImportLogFile(dir_.file("FAN_1.LOG"), '.', 0, kT0 * 2, [](const LogReading&) {}).readings,
      0U);
}

TEST_F(HistoryImport, OversizedLogIsReadFromItsTail) {
  const std::string line = "2001/05/12 13:45:10 : 4411RPM\r\n";
  std::string text;
  text.reserve(kMaxLogImportBytes + 2 * line.size() * 1000);
  while (text.size() < kMaxLogImportBytes + 1000 * line.size()) text += line;
  text += "2001/05/12 13:45:11 : 0RPM [Err]\r\n";
  test::WriteAll(dir_.file("FAN_2.LOG"), text);
  LogReading last;
  size_t taken = 0;
  const LogImport r = ImportLogFile(dir_.file("FAN_2.LOG"), '.', kT0, kT0 + kSecond,
                                    [&](const LogReading& l) { last = l, ++taken; });
  EXPECT_EQ(r.skipped, 0U);  // the line cut at the start is not counted
  EXPECT_LT(taken * line.size(), kMaxLogImportBytes + line.size());
  EXPECT_GT(taken * line.size(), kMaxLogImportBytes - 2 * line.size());
  EXPECT_TRUE(last.alarm);
  EXPECT_EQ(last.value, 0.0);
}

}  // namespace
}  // namespace kev
