// The value texts of the channel panels (also what the logs hold).
#pragma once

#include <cstdint>
#include <string>

namespace kev {

// The user's number format; only the decimal separator matters here.
struct NumberFormat {
  char decimalPoint = '.';
};

// The decimal separator of the user's locale (LC_NUMERIC from the
// environment), '.' when the locale cannot be loaded.
NumberFormat UserNumberFormat();

inline constexpr const char* kTextNoReading = "N/A";
inline constexpr const char* kTextIgnore = "Ignore";
inline constexpr const char* kTextErrorSuffix = " [Err]";

// "4411RPM".
std::string FanText(int32_t rpm);
// Celsius and Fahrenheit from whole degrees t and half-degree sign h (-1, 0, 1):
// "45.5C / 113.5F".
std::string TempText(int64_t t, int h, const NumberFormat& fmt);
// Millivolts as volts with 1, 2 or 3 decimals (precision 0, 1, 2): "+12.19V".
std::string VoltText(int32_t millivolts, int32_t precision, const NumberFormat& fmt);

}  // namespace kev
