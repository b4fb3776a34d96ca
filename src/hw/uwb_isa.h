// The ISA index/data pair with Winbond bank selection through register 4Eh.
#pragma once

#include "hw/portio.h"

namespace kev {

uint32_t WB_ISAcheck(PortIo& io, uint32_t base);
uint32_t WB_ISAread(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank);
void WB_ISAwrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value);

}  // namespace kev
