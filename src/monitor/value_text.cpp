#include "monitor/value_text.h"

#include <cstdlib>
#include <locale>

namespace kev {

namespace {

// Half-degree units as "-12.5".
std::string HalfUnits(int64_t halves, char point) {
  std::string s = halves < 0 ? "-" : "";
  const int64_t a = std::llabs(halves);
  s += std::to_string(a / 2);
  s += point;
  s += (a % 2) != 0 ? '5' : '0';
  return s;
}

}  // namespace

NumberFormat UserNumberFormat() {
  NumberFormat f;
  try {
    f.decimalPoint = std::use_facet<std::numpunct<char>>(std::locale("")).decimal_point();
  } catch (const std::exception&) {
    // An unknown locale name in the environment: keep the point.
  }
  return f;
}

std::string FanText(int32_t rpm) { return std::to_string(rpm) + "RPM"; }

std::string TempText(int64_t t, int h, const NumberFormat& fmt) {
  const int64_t celsius2 = 2 * t + h;
  const int64_t fahrenheit2 = 2 * (t * 9 / 5 + 32) + h;
  return HalfUnits(celsius2, fmt.decimalPoint) + "C / " + HalfUnits(fahrenheit2, fmt.decimalPoint) +
         "F";
}

std::string VoltText(int32_t millivolts, int32_t precision, const NumberFormat& fmt) {
  const int decimals = precision <= 0 ? 1 : precision >= 2 ? 3 : 2;
  int64_t unit = 1;  // millivolts per last shown digit
  for (int i = decimals; i < 3; ++i) unit *= 10;
  const int64_t mag = std::llabs(millivolts);
  const int64_t digits = (mag + unit / 2) / unit;  // half away from zero
  int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  std::string frac = std::to_string(digits % scale);
  frac.insert(0, static_cast<size_t>(decimals) - frac.size(), '0');
  std::string s = millivolts > 0 ? "+" : millivolts < 0 ? "-" : "";
  s += std::to_string(digits / scale);
  s += fmt.decimalPoint;
  s += frac;
  s += 'V';
  return s;
}

}  // namespace kev
