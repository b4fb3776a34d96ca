// The sampling cycle's one way to the monitoring chip: a register read
// described as data (which access unit, register, bank), whatever the bus.
#pragma once

#include <cstdint>

#include "detect/chip_access.h"
#include "monitor/monitor_context.h"

namespace kev {

// How one sampled register is reached; the chip path of detection fixes one
// transport, the cycle picks the exact sequence per register.
enum class ReadPath : uint8_t {
  None,       // no such register on this chip or path: no reading
  NsIsa,      // LM78-style index/data pair at the chip's port
  WbIsa,      // the same pair with Winbond bank selection
  Via,        // VIA monitor registers in I/O space
  Fsm,        // PC87366 fan-speed device (reg)
  Vlm,        // PC87366 voltage device (reg, bank = channel)
  Tms,        // PC87366 temperature device (reg, bank = channel)
  Smb,        // byte read at the chip's SMBus address
  SmbBanked,  // Winbond bank select through register 4Eh, then byte read
  SmbWord,    // word read; the first byte on the bus is the high byte
};

struct RegRead {
  ReadPath path = ReadPath::None;
  uint8_t reg = 0;
  uint8_t bank = 0;
};

// The Winbond bank-select register and banks 0-2 are the chip path's; the
// cycle also reads bank 5 (the 9-input parts' Volt 8 and Volt 9).
inline constexpr uint8_t kWbRegBankSelect = kWbRegBank;
inline constexpr uint8_t kWbBank5 = 0x85;

// Builders for the register tables of the three channel groups.
namespace route {
constexpr RegRead Ns(uint8_t r) { return {ReadPath::NsIsa, r, 0}; }
constexpr RegRead Smb(uint8_t r) { return {ReadPath::Smb, r, 0}; }
constexpr RegRead WbIsa(uint8_t r) { return {ReadPath::WbIsa, r, kWbBank0}; }
constexpr RegRead WbSmb(uint8_t r) { return {ReadPath::SmbBanked, r, kWbBank0}; }
constexpr RegRead Via(uint8_t r) { return {ReadPath::Via, r, 0}; }
}  // namespace route

bool ChipOnSmbus(const MonitorContext& ctx);

// The register's value, or -1 for no reading (no such register, no SMBus
// host or chip address, failed transfer, a port base outside the port
// space). Port reads otherwise always give a value.
int32_t ReadRegister(const MonitorContext& ctx, const RegRead& r);
// Writes through the same path; false when the path cannot write or the
// SMBus transfer failed.
bool WriteRegister(const MonitorContext& ctx, const RegRead& r, uint8_t value);

// Byte or word read of another SMBus device (the auxiliary temperature
// sensors); -1 without an SMBus host or on failure.
int32_t SmbReadByteAt(const MonitorContext& ctx, int32_t slave, uint8_t reg);
int32_t SmbReadWordAt(const MonitorContext& ctx, int32_t slave, uint8_t reg);

// A byte as a two's-complement value.
inline int32_t SignedByte(int32_t b) { return (b & 0x80) != 0 ? (b & 0xFF) - 256 : b & 0xFF; }

}  // namespace kev
