// Degrees Celsius for each raw byte of the VIA south-bridge thermistor inputs.
#pragma once

#include <array>
#include <cstdint>

namespace kev {

extern const std::array<int8_t, 256> ViaTempTable;

}  // namespace kev
