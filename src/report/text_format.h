// Small appenders for the report texts: upper-case hexadecimal and decimal
// numbers written straight into a growing string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kev::report {

// Appends v in upper-case hex, at least minDigits wide; a wider value is
// written in full, so -1 as a 2-digit value still shows FFFFFFFF.
void AppendHex(std::string& out, uint32_t v, int minDigits);
inline void AppendHex(std::string& out, int32_t v, int minDigits) {
  AppendHex(out, static_cast<uint32_t>(v), minDigits);
}

// The same as a new string ("2Dh" style callers add their own suffix).
std::string Hex(uint32_t v, int minDigits);

void AppendDec(std::string& out, int32_t v);

// "--[ title ]" followed by dashes up to the banner width, no line feeds.
std::string Banner(std::string_view title);

// The dashed line that closes a section, without line feed.
inline constexpr std::string_view kSectionRule =
    "--------------------------------------------------------------";

}  // namespace kev::report
