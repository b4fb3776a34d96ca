#include "monitor/reading_text.h"

#include <array>
#include <charconv>

#include "monitor/caption_tables.h"
#include "monitor/value_text.h"

namespace kev {
namespace {

std::string Trim(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

struct UnitSuffix {
  std::string_view marker;  // what follows the number
  std::string_view unit;
};
constexpr std::array<UnitSuffix, 3> kUnits{{{"RPM", "RPM"}, {"C / ", "C"}, {"V", "V"}}};

}  // namespace

std::string RowName(const RowView& row) {
  std::string name = Trim(row.caption);
  return name.empty() ? Trim(CaptionFor(row.channel, 0).caption) : name;
}

Reading ParseReading(std::string_view text, char decimalPoint) {
  if (text.ends_with(kTextErrorSuffix))
    text.remove_suffix(std::string_view(kTextErrorSuffix).size());
  std::string number;  // in the C locale's notation for from_chars
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') number += '-';
    ++i;
  }
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      number += text[i];
    } else if (text[i] == decimalPoint) {
      number += '.';
    } else {
      break;
    }
  }
  const std::string_view rest = text.substr(i);
  for (const UnitSuffix& u : kUnits) {
    if (!rest.starts_with(u.marker)) continue;
    double v = 0;
    const char* end = number.data() + number.size();
    auto [p, ec] = std::from_chars(number.data(), end, v);
    if (ec == std::errc() && p == end) return {v, std::string(u.unit)};
  }
  return {};
}

}  // namespace kev
