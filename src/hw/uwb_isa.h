// The ISA index/data pair with Winbond bank selection through register 4Eh.
#pragma once

#include "hw/portio.h"

namespace kev {

// The bank-select register, and bank 0 with the vendor ID's high byte: its
// power-on value and where every access leaves the chip.
inline constexpr uint32_t kWbIsaRegBankSelect = 0x4E;
inline constexpr uint32_t kWbIsaBankDefault = 0x80;

uint32_t WB_ISAcheck(PortIo& io, uint32_t base);
uint32_t WB_ISAread(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank);
void WB_ISAwrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value);

}  // namespace kev
