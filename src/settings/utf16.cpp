#include "settings/utf16.h"

namespace kev {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char16_t kHighSurrogate = 0xD800;
constexpr char16_t kLowSurrogate = 0xDC00;
constexpr char16_t kEscapedByte = 0xDC80;  // DC80h..DCFFh carry bytes 80h..FFh

// Length of the valid UTF-8 sequence at s[i] and its code point; 0 if invalid
// (overlong forms, surrogates and values past 10FFFFh included).
size_t DecodeUtf8(std::string_view s, size_t i, char32_t& cp) {
  auto b = [&](size_t k) { return static_cast<uint8_t>(s[i + k]); };
  uint8_t lead = b(0);
  size_t len;
  char32_t min;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    len = 2, cp = lead & 0x1Fu, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    len = 3, cp = lead & 0x0Fu, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    len = 4, cp = lead & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(k) & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsHigh(char16_t u) { return (u & 0xFC00) == kHighSurrogate; }
bool IsLow(char16_t u) { return (u & 0xFC00) == kLowSurrogate; }

}  // namespace

std::u16string BytesToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    char32_t cp = 0;
    size_t len = DecodeUtf8(bytes, i, cp);
    if (len == 0) {
      // Invalid bytes are always 80h or above: ASCII is valid UTF-8.
      out += static_cast<char16_t>(kEscapedByte + (static_cast<uint8_t>(bytes[i]) - 0x80));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(kHighSurrogate + (cp >> 10));
      out += static_cast<char16_t>(kLowSurrogate + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += len;
  }
  return out;
}

std::string Utf16ToBytes(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    char16_t u = units[i];
    if (IsHigh(u) && i + 1 < units.size() && IsLow(units[i + 1])) {
      char32_t cp = 0x10000 + ((char32_t{u} - kHighSurrogate) << 10) +
                    (char32_t{units[i + 1]} - kLowSurrogate);
      AppendUtf8(out, cp);
      ++i;
    } else if (u >= kEscapedByte && u <= kEscapedByte + 0x7F) {
      out += static_cast<char>(0x80 + (u - kEscapedByte));
    } else if (IsHigh(u) || IsLow(u)) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

std::vector<uint8_t> Utf16ToLe(std::u16string_view units) {
  std::vector<uint8_t> out;
  out.reserve(units.size() * 2);
  for (char16_t u : units) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
  return out;
}

std::u16string LeToUtf16(const uint8_t* data, size_t size, bool* odd) {
  std::u16string out;
  out.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) {
    out += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  if (odd != nullptr) *odd = (size % 2) != 0;
  return out;
}

}  // namespace kev
