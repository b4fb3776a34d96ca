#include "hw/uwb_isa.h"

#include "hw/uns_isa.h"

namespace kev {

namespace {

constexpr uint32_t kRegBankSelect = 0x4E;
// Bits 2-0 pick the bank, bit 7 the byte of the vendor-ID register 4Fh.
constexpr uint32_t kBankBits = 0x87;
// Bank 0, vendor-ID high byte: where every access leaves the chip.
constexpr uint32_t kBankDefault = 0x80;

}  // namespace

// The Winbond pair is the same index/data pair as the LM78's.
uint32_t WB_ISAcheck(PortIo& io, uint32_t base) { return NS_ISAcheck(io, base); }

uint32_t WB_ISAread(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank) {
  NS_ISAwrite(io, base, kRegBankSelect, bank & kBankBits);
  const uint32_t v = NS_ISAread(io, base, reg);
  NS_ISAwrite(io, base, kRegBankSelect, kBankDefault);
  return v;
}

void WB_ISAwrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value) {
  NS_ISAwrite(io, base, kRegBankSelect, bank & kBankBits);
  NS_ISAwrite(io, base, reg, value);
  NS_ISAwrite(io, base, kRegBankSelect, kBankDefault);
}

}  // namespace kev
