// Which stored chip ports the program uses on a real machine: only those
// where monitoring chips sit, so that a settings file cannot aim writes at a
// disk controller or a serial port. Ports the program finds itself are not
// held to this.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kev {

// Ports [first, last] where monitoring chips sit; span: the ports from a
// base on that the chip paths reach.
struct PortBlock {
  int32_t first;
  int32_t last;
  int32_t span;
};

// The blocks, Super-I/O configuration pairs first; the port helper allows
// the same.
std::span<const PortBlock> MonitorPortBlocks();

// Whether every port the chip paths reach from base (its index/data pair,
// or a Super-I/O configuration pair) lies where monitoring chips sit.
bool SettingsPortAllowed(int32_t base);

// One line for the user about a stored port that was left untouched.
std::string RefusedPortText(int32_t port);

}  // namespace kev
