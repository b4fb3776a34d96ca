#include "hw/uwb_isa.h"

#include "hw/port_sequences.h"

namespace kev {

namespace {

// Bits 2-0 pick the bank, bit 7 the byte of the vendor-ID register 4Fh.
constexpr uint32_t kBankBits = 0x87;

}  // namespace

// The Winbond pair is the same index/data pair as the LM78's.
uint32_t WB_ISAcheck(PortIo& io, uint32_t base) { return io.run(op::ChipCheck(base)); }

uint32_t WB_ISAread(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank) {
  return io.run(op::ChipRead(ChipUnit::Wb, base, reg, bank));
}

void WB_ISAwrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value) {
  io.run(op::ChipWrite(ChipUnit::Wb, base, reg, bank, value));
}

namespace seq {

uint32_t WbRead(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank) {
  NsWrite(io, base, kWbIsaRegBankSelect, bank & kBankBits);
  const uint32_t v = NsRead(io, base, reg);
  NsWrite(io, base, kWbIsaRegBankSelect, kWbIsaBankDefault);
  return v;
}

void WbWrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value) {
  NsWrite(io, base, kWbIsaRegBankSelect, bank & kBankBits);
  NsWrite(io, base, reg, value);
  NsWrite(io, base, kWbIsaRegBankSelect, kWbIsaBankDefault);
}

}  // namespace seq

}  // namespace kev
