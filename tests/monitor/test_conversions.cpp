// Raw readings to RPM, degrees and volts, and the texts they become.
#include <gtest/gtest.h>

#include <cstdlib>

#include "detect/records.h"
#include "monitor/fan_channel.h"
#include "monitor/reading_text.h"
#include "monitor/value_text.h"
#include "monitor/volt_convert.h"
#include "sim/hwmon_inputs.h"

namespace kev {
namespace {

TEST(VoltConversion, WorkedValues) {
  EXPECT_EQ(RawToMillivolts(kind::LM78, 4, 200, false), 12190);
  EXPECT_EQ(RawToMillivolts(kind::W83782D, 5, 100, false), -6687);
  EXPECT_EQ(RawToMillivolts(kind::IT8712F, 5, 200, false), -513);
  EXPECT_EQ(RawToMillivolts(kind::VT82C686A, 0, 100, false), 1252);
  // A VIA input at or below 64 has wrapped past full scale.
  EXPECT_EQ(RawToMillivolts(kind::VT82C686A, 0, 0, false), 3107);
  EXPECT_EQ(RawToMillivolts(kind::VT8231, 0, 256, false), 3107);
  EXPECT_EQ(RawToMillivolts(kind::W83782D, 2, 206, false), 3296);
}

TEST(VoltConversion, ChipSpecificInputs) {
  // LM78 family Volt 4 at 25.6 mV per step, later parts at 26.88.
  EXPECT_EQ(RawToMillivolts(kind::LM80, 3, 195, false), 4992);
  EXPECT_EQ(RawToMillivolts(kind::W83781D, 3, 186, false), 4999);
  EXPECT_EQ(RawToMillivolts(kind::AS99127F_WB, 3, 186, false), 5002);
  EXPECT_EQ(RawToMillivolts(kind::AS99127F_AS, 5, 100, false), -6357);
  EXPECT_EQ(RawToMillivolts(kind::AS99127F_WB, 5, 100, false), -6687);
  EXPECT_EQ(RawToMillivolts(kind::IT8705F, 4, 190, false), 12160);
  EXPECT_EQ(RawToMillivolts(kind::IT8705F, 6, 150, false), -4669);
  EXPECT_EQ(RawToMillivolts(kind::LM78, 5, 100, false), -5464);
  // Dual-core boards measure the second core voltage on Volt 2.
  EXPECT_EQ(RawToMillivolts(kind::LM87, 1, 100, false), 1300);
  EXPECT_EQ(RawToMillivolts(kind::LM87, 1, 100, true), 1410);
  EXPECT_EQ(RawToMillivolts(kind::PC87366, 2, 10, false), -2500);
  EXPECT_EQ(RawToMillivolts(kind::PC87366, 0, 128, false), 1500);
  EXPECT_EQ(RawToMillivolts(kind::GL518SM, 3, 191, false), 4800);
  EXPECT_EQ(RawToMillivolts(kind::GL520SM, 3, 208, false), 5000);
  EXPECT_EQ(RawToMillivolts(kind::SiS5595, 4, 123, false), 12004);
  // No formula: 0, and kinds nobody recognised.
  EXPECT_EQ(RawToMillivolts(kind::SiS5595, 8, 123, false), 0);
  EXPECT_EQ(RawToMillivolts(-1, 0, 123, false), 0);
}

TEST(VoltText, PrecisionSignAndSeparator) {
  const NumberFormat point;
  EXPECT_EQ(VoltText(12190, 1, point), "+12.19V");
  EXPECT_EQ(VoltText(-5464, 1, point), "-5.46V");
  EXPECT_EQ(VoltText(3296, 2, point), "+3.296V");
  EXPECT_EQ(VoltText(12190, 0, point), "+12.2V");
  EXPECT_EQ(VoltText(12150, 0, point), "+12.2V");  // half away from zero
  EXPECT_EQ(VoltText(-12150, 0, point), "-12.2V");
  EXPECT_EQ(VoltText(0, 1, point), "0.00V");
  EXPECT_EQ(VoltText(-513, 2, point), "-0.513V");
  EXPECT_EQ(VoltText(1252, 1, NumberFormat{','}), "+1,25V");
}

TEST(NumberFormat, FollowsTheEnvironmentLocale) {
  const char* saved = std::getenv("LC_ALL");
  const std::string keep = saved != nullptr ? saved : "";
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(UserNumberFormat().decimalPoint, '.');
  ::setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);  // unknown: keep the point
  EXPECT_EQ(UserNumberFormat().decimalPoint, '.');
  if (saved != nullptr) {
    ::setenv("LC_ALL", keep.c_str(), 1);
  } else {
    ::unsetenv("LC_ALL");
  }
}

TEST(TempText, HalfDegreesAndFahrenheit) {
  const NumberFormat point;
  EXPECT_EQ(TempText(45, 1, point), "45.5C / 113.5F");
  EXPECT_EQ(TempText(46, 0, point), "46.0C / 114.0F");
  EXPECT_EQ(TempText(-1, -1, point), "-1.5C / 30.5F");
  EXPECT_EQ(TempText(0, -1, point), "-0.5C / 31.5F");
  EXPECT_EQ(TempText(-40, 0, point), "-40.0C / -40.0F");
  EXPECT_EQ(TempText(45, 1, NumberFormat{','}), "45,5C / 113,5F");
}

TEST(FanConversion, WorkedValueAndSlowClock) {
  EXPECT_EQ(FanRpm(kind::LM78, 2, 1, 153), 4411);
  EXPECT_EQ(FanText(4411), "4411RPM");
  EXPECT_EQ(FanRpm(kind::GL518SM, 2, 1, 100), 2400);
  EXPECT_EQ(FanRpm(kind::PC87366, 4, 1, 60), 2000);
  EXPECT_EQ(FanRpm(kind::LM78, 2, 1, 0), 0);
  EXPECT_EQ(FanRpm(kind::LM78, 2, 1, 255), 0);
}

TEST(FanConversion, NeverDividesByZero) {
  EXPECT_EQ(FanRpm(kind::LM78, 0, 1, 100), 13500);
  EXPECT_EQ(FanRpm(kind::LM78, -4, 2, 100), 27000);
  EXPECT_EQ(FanRpm(kind::LM78, 1, 2, 100), 27000);
}

// The counters latch clock / divisor ticks over two tachometer pulses, so a
// one-pulse fan turns twice as fast as a two-pulse fan at the same count.
TEST(FanConversion, MatchesTachometerForBothPulseCounts) {
  for (int clockDiv : {1, 2, 4, 8}) {
    for (double rpm : {1500.0, 3000.0, 4500.0, 7000.0}) {
      for (int pulses : {2, 1}) {
        sim::FanInput fan{sim::Signal::constant(rpm), pulses, true};
        const int count = sim::TachCount(fan, rpm, 22500, clockDiv);
        if (count >= 255) continue;
        const int ppr = pulses == 2 ? 1 : 2;  // the user's setting
        const int32_t shown = FanRpm(kind::W83782D, clockDiv * ppr, ppr, count);
        EXPECT_NEAR(shown, rpm, rpm / count + 2)
            << "divisor " << clockDiv << " pulses " << pulses << " count " << count;
      }
    }
  }
}

TEST(ReadingText, NumbersAndUnitsComeFromTheValueText) {
  EXPECT_EQ(ParseReading("4411RPM", '.').value, 4411);
  EXPECT_EQ(ParseReading("4411RPM", '.').unit, "RPM");
  EXPECT_EQ(ParseReading("45.5C / 113.9F", '.').value, 45.5);
  EXPECT_EQ(ParseReading("-0.5C / 31.1F [Err]", '.').value, -0.5);
  EXPECT_EQ(ParseReading("+12,19V", ',').value, 12.19);
  EXPECT_EQ(ParseReading("-5.0V [Err]", '.').unit, "V");
  for (const char* none : {"N/A", "N/A [Err]", "Ignore", "", "+V", "12.0"}) {
    EXPECT_FALSE(ParseReading(none, '.').value) << none;
  }
}

}  // namespace
}  // namespace kev
