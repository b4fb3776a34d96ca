// LM78-style index/data pair on the ISA bus (index base+5, data base+6).
#pragma once

#include "hw/portio.h"

namespace kev {

uint32_t NS_ISAcheck(PortIo& io, uint32_t base);
uint32_t NS_ISAread(PortIo& io, uint32_t base, uint32_t reg);
void NS_ISAwrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t value);

}  // namespace kev
