// The access units' port sequences, run on a port backend. Only RunOnPorts
// calls them: everything else goes through the units' operations, so that a
// backend that runs ops elsewhere (the port helper) sees whole operations.
#pragma once

#include <cstdint>

#include "hw/portio.h"

namespace kev::seq {

uint32_t PciRead(PortIo& io, uint32_t address, uint8_t lane);
void PciWrite(PortIo& io, uint32_t address, uint8_t lane, uint32_t value);

uint32_t NsCheck(PortIo& io, uint32_t base);
uint32_t NsRead(PortIo& io, uint32_t base, uint32_t reg);
void NsWrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t value);
uint32_t WbRead(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank);
void WbWrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value);
uint32_t ViaRead(PortIo& io, uint32_t base, uint32_t reg);
void ViaWrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t value);

uint32_t IteRead(PortIo& io, uint32_t reg, uint32_t ldn);
void IteWrite(PortIo& io, uint32_t reg, uint32_t value);

uint32_t ScrRead(PortIo& io, uint32_t port, uint32_t reg);
void ScrWrite(PortIo& io, uint32_t port, uint32_t reg, uint32_t value);
uint32_t PcBase(PortIo& io, uint32_t port, uint32_t ldn);
uint32_t FsmRead(PortIo& io, uint32_t base, uint32_t reg);
void FsmWrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t value);
uint32_t VlmRead(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank);
void VlmWrite(PortIo& io, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value);

void Asms1(PortIo& io, uint32_t port, uint32_t keep, uint32_t mask, uint32_t value);
void Asms2(PortIo& io, uint32_t cfgport, uint32_t keep, uint32_t mask, uint32_t value);
void Asms3(PortIo& io, uint32_t port, uint32_t keep, uint32_t mask, uint32_t value);
void Asms5(PortIo& io, uint32_t base, uint32_t offset, uint32_t keep, uint32_t mask,
           uint32_t value);
void Asms6(PortIo& io, uint32_t cfgaddr, uint32_t keep, uint32_t mask, uint32_t value);

}  // namespace kev::seq
