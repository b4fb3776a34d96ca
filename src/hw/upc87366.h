// PC87366 Super-I/O and its fan, voltage and temperature logical devices.
#pragma once

#include "hw/portio.h"

namespace kev {

inline constexpr uint32_t kPc87366LdnFsm = 0x09;
inline constexpr uint32_t kPc87366LdnVlm = 0x0D;
inline constexpr uint32_t kPc87366LdnTms = 0x0E;

// Logical-device blocks are 16 ports; the base's low four bits are ignored.
inline constexpr uint32_t kPc87366BlockMask = 0xFFF0;
inline constexpr uint32_t kPc87366BlockLast = 0x0F;  // the last port's offset

// Whether a logical device's block base (-1: none found) can be used: a
// base below the device ports was never programmed, and its block would
// land on the DMA or interrupt controllers.
inline bool PC87366BaseUsable(int32_t base) {
  return base >= static_cast<int32_t>(kFirstDevicePort) && base <= static_cast<int32_t>(kLastPort);
}

uint32_t PC87366rd_scr(PortIo& io, uint32_t port, uint32_t reg);
// Register reg of logical device ldn: the select and the read as one
// operation, so that no other program's select comes between them.
uint32_t PC87366rd_ldn(PortIo& io, uint32_t port, uint32_t ldn, uint32_t reg);
void PC87366wt_scr(PortIo& io, uint32_t port, uint32_t reg, uint32_t value);
uint32_t PC87366rd_bad(PortIo& io, uint32_t port, uint32_t ldn);
uint32_t PC87366rd_fsm(PortIo& io, uint32_t base, uint32_t reg);
void PC87366wt_fsm(PortIo& io, uint32_t base, uint32_t reg, uint32_t value);
uint32_t PC87366rd_vlm(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank);
void PC87366wt_vlm(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value);
uint32_t PC87366rd_tms(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank);
void PC87366wt_tms(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value);

}  // namespace kev
