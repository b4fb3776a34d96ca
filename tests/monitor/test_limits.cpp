// Limits at and beside their bounds.
#include <gtest/gtest.h>

#include "detect/records.h"
#include "monitor/fan_channel.h"
#include "monitor/temp_channel.h"
#include "monitor/volt_channel.h"

namespace kev {
namespace {

TEST(FanLimit, CountAtLimitIsErrorBelowIsNot) {
  MonitorSettings s;
  s.Fan2Limit = 120;
  EXPECT_TRUE(CheckFanLimit(s, 120, 1));
  EXPECT_FALSE(CheckFanLimit(s, 119, 1));
  EXPECT_TRUE(CheckFanLimit(s, 0, 1));
  EXPECT_TRUE(CheckFanLimit(s, 255, 1));
}

TEST(FanLimit, DefaultLimitFlagsOnlyTheTopCounts) {
  MonitorSettings s;
  EXPECT_FALSE(CheckFanLimit(s, 253, 0));
  EXPECT_TRUE(CheckFanLimit(s, 254, 0));
  EXPECT_FALSE(CheckFanLimit(s, 1, 0));
}

TEST(TempLimit, EqualIsErrorHalfBelowIsNot) {
  MonitorSettings s;
  s.Temp3Limit = 50;
  EXPECT_TRUE(CheckTempLimit(s, 2, {50, 0}));
  EXPECT_FALSE(CheckTempLimit(s, 2, {49, 1}));
  EXPECT_TRUE(CheckTempLimit(s, 2, {50, 1}));
  s.Temp1Limit = -10;
  EXPECT_TRUE(CheckTempLimit(s, 0, {-10, 0}));
  EXPECT_FALSE(CheckTempLimit(s, 0, {-10, -1}));
}

TEST(VoltLimit, BoundsAreInsideTheWindow) {
  MonitorSettings s;
  s.Volt4ULimit = 200;
  s.Volt4LLimit = 180;
  for (int32_t raw : {180, 190, 200}) EXPECT_FALSE(CheckVoltLimit(s, kind::W83782D, raw, 3));
  EXPECT_TRUE(CheckVoltLimit(s, kind::W83782D, 201, 3));
  EXPECT_TRUE(CheckVoltLimit(s, kind::W83782D, 179, 3));
}

TEST(VoltLimit, DefaultsFlagZeroAndAcceptFullRange) {
  MonitorSettings s;
  EXPECT_TRUE(CheckVoltLimit(s, kind::PC87366, 0, 0));
  EXPECT_FALSE(CheckVoltLimit(s, kind::PC87366, 1, 0));
  EXPECT_FALSE(CheckVoltLimit(s, kind::PC87366, 255, 0));
  // A wrapped VIA input reads above any limit the dialog offers.
  EXPECT_TRUE(CheckVoltLimit(s, kind::VT82C686A, 256, 0));
}

TEST(VoltLimit, IteNegativeRailsSwapTheSettings) {
  MonitorSettings s;
  s.Volt6ULimit = 1;
  s.Volt6LLimit = 255;
  for (int32_t raw : {1, 128, 255}) EXPECT_FALSE(CheckVoltLimit(s, kind::IT8712F, raw, 5));
  // The same settings on a chip with a normal window reject everything.
  EXPECT_TRUE(CheckVoltLimit(s, kind::IT8705F, 128, 5));

  s.Volt7ULimit = 100;  // acts as the lower bound
  s.Volt7LLimit = 150;  // acts as the upper bound
  for (int32_t k : {kind::IT8705F, kind::IT8712F}) {
    EXPECT_FALSE(CheckVoltLimit(s, k, 100, 6));
    EXPECT_FALSE(CheckVoltLimit(s, k, 150, 6));
    EXPECT_TRUE(CheckVoltLimit(s, k, 99, 6));
    EXPECT_TRUE(CheckVoltLimit(s, k, 151, 6));
  }
  EXPECT_TRUE(CheckVoltLimit(s, kind::W83782D, 120, 6));
}

}  // namespace
}  // namespace kev
