// General-purpose port helpers; each access is followed by two I/O delays.
#pragma once

#include "hw/portio.h"

namespace kev {

uint32_t PIObt_inp(PortIo& io, uint32_t port);
uint32_t PIOwd_inp(PortIo& io, uint32_t port);
void PIObt_outp(PortIo& io, uint32_t port, uint32_t value);
void PIOwd_outp(PortIo& io, uint32_t port, uint32_t value);

}  // namespace kev
