// Conversion between the program's 8-bit text and UTF-16, as the registry
// export format stores some texts. Lossless for any byte string: a byte that
// is not part of valid UTF-8 travels as a lone low surrogate DC80h + byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kev {

std::u16string BytesToUtf16(std::string_view bytes);
std::string Utf16ToBytes(std::u16string_view units);

// UTF-16 code units least significant byte first, and back. An odd final
// byte is dropped; *odd says whether there was one.
std::vector<uint8_t> Utf16ToLe(std::u16string_view units);
std::u16string LeToUtf16(const uint8_t* data, size_t size, bool* odd = nullptr);

}  // namespace kev
