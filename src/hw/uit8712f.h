// ITE Super-I/O configuration registers at 2Eh/2Fh.
#pragma once

#include "hw/portio.h"

namespace kev {

uint32_t IT8712Fread(PortIo& io, uint32_t reg);
void IT8712Fwrite(PortIo& io, uint32_t reg, uint32_t value);

}  // namespace kev
