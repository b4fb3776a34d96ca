// Range guards for stored values and the UTF-16 conversion of texts.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "settings/range_guards.h"
#include "settings/utf16.h"

namespace kev {
namespace {

TEST(RangeGuards, PulseFactorIsNeverAZeroDivisor) {
  EXPECT_EQ(SafePulseFactor(0), 1);
  EXPECT_EQ(SafePulseFactor(-7), 1);
  EXPECT_EQ(SafePulseFactor(2), 2);
}

TEST(RangeGuards, CaptionIndexesStayInsideTheirTables) {
  EXPECT_TRUE(FanCaptionInRange(12));
  EXPECT_FALSE(FanCaptionInRange(13));
  EXPECT_TRUE(TempCaptionInRange(20));
  EXPECT_FALSE(TempCaptionInRange(21));
  EXPECT_TRUE(VoltCaptionInRange(16));
  EXPECT_FALSE(VoltCaptionInRange(17));
  EXPECT_FALSE(VoltCaptionInRange(-1));
  EXPECT_EQ(SafeCaptionIndex(500, kFanCaptionCount), 0);
  EXPECT_EQ(SafeCaptionIndex(4, kFanCaptionCount), 4);
  EXPECT_TRUE(TempSMBAddressInRange(-1));
  EXPECT_TRUE(TempSMBAddressInRange(13));
  EXPECT_FALSE(TempSMBAddressInRange(14));
  EXPECT_FALSE(TempSMBAddressInRange(-2));
}

TEST(RangeGuards, PositionsMustBeAPermutation) {
  std::array<int32_t, 3> good{2, 0, 1}, twice{0, 0, 2}, outside{0, 1, 3}, negative{-1, 0, 1};
  EXPECT_TRUE(IsPermutation(good));
  EXPECT_FALSE(IsPermutation(twice));
  EXPECT_FALSE(IsPermutation(outside));
  EXPECT_FALSE(IsPermutation(negative));
  RepairPositions(good);
  EXPECT_EQ(good, (std::array<int32_t, 3>{2, 0, 1}));
  RepairPositions(twice);
  EXPECT_EQ(twice, (std::array<int32_t, 3>{0, 1, 2}));
}

TEST(RangeGuards, CountsAndPercentagesAreClamped) {
  EXPECT_EQ(SafeIntervalTime(-1000), 0);
  EXPECT_EQ(SafeIntervalTime(1500), 1500);
  EXPECT_EQ(SafeTransparency(250), 100);
  EXPECT_EQ(SafeLogFileSizeLimit(0), 1);
  EXPECT_EQ(SafeVoltPrecision(9), 2);
}

TEST(Utf16, ConvertsTextAndCarriesAnyBytesUnchanged) {
  EXPECT_EQ(BytesToUtf16("A\xC3\xA9\xF0\x9F\x8C\xA1"),
            (std::u16string{u'A', 0xE9, 0xD83C, 0xDF21}));
  EXPECT_EQ(Utf16ToBytes(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");  // lone surrogate
  std::mt19937 rng(3);
  for (int i = 0; i < 500; ++i) {
    std::string bytes(rng() % 40, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    std::vector<uint8_t> le = Utf16ToLe(BytesToUtf16(bytes));
    EXPECT_EQ(Utf16ToBytes(LeToUtf16(le.data(), le.size())), bytes);
  }
}

}  // namespace
}  // namespace kev
