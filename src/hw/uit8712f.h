// ITE Super-I/O configuration registers at 2Eh/2Fh.
#pragma once

#include "hw/portio.h"

namespace kev {

uint32_t IT8712Fread(PortIo& io, uint32_t reg);
// Register reg of logical device ldn, selected inside the same opening of
// the configuration space.
uint32_t IT8712Fread_ldn(PortIo& io, uint32_t ldn, uint32_t reg);
void IT8712Fwrite(PortIo& io, uint32_t reg, uint32_t value);

}  // namespace kev
