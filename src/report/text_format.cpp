#include "report/text_format.h"

#include <array>

namespace kev::report {

namespace {
constexpr std::string_view kHexDigits = "0123456789ABCDEF";
constexpr size_t kBannerWidth = kSectionRule.size();
}  // namespace

void AppendHex(std::string& out, uint32_t v, int minDigits) {
  int digits = 1;
  while (digits < 8 && (v >> (4 * digits)) != 0) ++digits;
  if (digits < minDigits) digits = minDigits;
  for (int i = digits - 1; i >= 0; --i) {
    // Shifts past 31 bits only happen for padding beyond eight digits.
    out.push_back(i >= 8 ? '0' : kHexDigits[(v >> (4 * i)) & 0xFu]);
  }
}

std::string Hex(uint32_t v, int minDigits) {
  std::string s;
  AppendHex(s, v, minDigits);
  return s;
}

void AppendDec(std::string& out, int32_t v) { out += std::to_string(v); }

std::string Banner(std::string_view title) {
  std::string s = "--[ ";
  s += title;
  s += " ]";
  if (s.size() < kBannerWidth) s.append(kBannerWidth - s.size(), '-');
  return s;
}

}  // namespace kev::report
