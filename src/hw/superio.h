// The standard Super-I/O configuration registers, reached through an
// index/data pair (2Eh/2Fh or 4Eh/4Fh) once the chip is in configuration mode.
#pragma once

#include <array>
#include <cstdint>

namespace kev::superio {

inline constexpr std::array<uint16_t, 2> kConfigPorts{0x2E, 0x4E};
inline constexpr uint8_t kRegLdn = 0x07;       // logical device select
inline constexpr uint8_t kRegChipId = 0x20;    // chip ID (high byte)
inline constexpr uint8_t kRegChipId2 = 0x21;   // chip ID low byte or revision
inline constexpr uint8_t kRegActivate = 0x30;  // bit 0: the logical device is on
inline constexpr uint8_t kActiveBit = 0x01;
inline constexpr uint8_t kRegBaseHigh = 0x60;  // the device's I/O base
inline constexpr uint8_t kRegBaseLow = 0x61;

}  // namespace kev::superio
