// The VIA south-bridge monitor: registers mapped straight into I/O space.
#pragma once

#include "hw/portio.h"

namespace kev {

uint32_t VT82C686Aread(PortIo& io, uint32_t base, uint32_t reg);
void VT82C686Awrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t value);

}  // namespace kev
