// Single SMBus transactions through the south bridge's host controller.
// Results: the byte or word read, 0 for a successful write, -1 on failure.
#pragma once

#include "hw/portio.h"

namespace kev {

int32_t SMBrdb(PortIo& io, uint32_t pmId, uint32_t base, uint32_t slave, uint32_t command);
// Word read: the first byte on the bus lands in bits 15-8.
int32_t SMBrdw(PortIo& io, uint32_t pmId, uint32_t base, uint32_t slave, uint32_t command);
int32_t SMBwtb(PortIo& io, uint32_t pmId, uint32_t base, uint32_t slave, uint32_t command,
               uint32_t data);
int32_t SMBwtw(PortIo& io, uint32_t pmId, uint32_t base, uint32_t slave, uint32_t command,
               uint32_t data);

// Winbond bank := bank through register 4Eh, then a byte read of command,
// as one operation; restore puts bank 0 (80h) back after the read. The
// select's own failure shows in the read.
int32_t SMBrdb_banked(PortIo& io, uint32_t pmId, uint32_t base, uint32_t slave, uint32_t command,
                      uint32_t bank, bool restore);

// The highest 7-bit slave address.
inline constexpr uint32_t kLastSlave = 0x7F;

// One transaction port by port: what every SMBus access above ends in,
// wherever it runs.
int32_t SmbusTransact(PortIo& io, uint32_t pmId, uint32_t base, const SmbusTransfer& t);

// Ports from base on that the host controller of pmId uses (its registers,
// or the index/data pair they sit behind).
uint32_t SmbusHostSpan(uint32_t pmId);

// Bus-0 configuration readers used by the PM device scan.
uint32_t SMBrd_did(PortIo& io, uint32_t device, uint32_t function);
uint32_t SMBrd_rid(PortIo& io, uint32_t device, uint32_t function);
uint32_t SMBrdwo_bad(PortIo& io, uint32_t device, uint32_t function, uint32_t offset);
uint32_t SMBrdwe_bad(PortIo& io, uint32_t device, uint32_t function, uint32_t offset);

}  // namespace kev
