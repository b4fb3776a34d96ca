// Board-switch helpers: read-modify-write of a board's switch lines.
#pragma once

#include "hw/portio.h"

namespace kev {

void ASMS1set(PortIo& io, uint32_t port, uint32_t keep, uint32_t mask, uint32_t value);
void ASMS2set(PortIo& io, uint32_t cfgport, uint32_t keep, uint32_t mask, uint32_t value);
void ASMS3set(PortIo& io, uint32_t port, uint32_t keep, uint32_t mask, uint32_t value);
void ASMS4set(PortIo& io, uint32_t port, uint32_t keep, uint32_t mask, uint32_t value);
void ASMS5set(PortIo& io, uint32_t base, uint32_t offset, uint32_t keep, uint32_t mask,
              uint32_t value);
void ASMS6set(PortIo& io, uint32_t cfgaddr, uint32_t keep, uint32_t mask, uint32_t value);

}  // namespace kev
