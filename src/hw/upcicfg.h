// PCI configuration space through mechanism #1 (CF8h address, CFCh data).
#pragma once

#include "hw/portio.h"

namespace kev {

inline constexpr uint16_t kPciConfigAddress = 0xCF8;
inline constexpr uint16_t kPciConfigData = 0xCFC;

// The dword written to CF8h, enable bit set; each argument masked to its field.
uint32_t PciConfigAddress(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);

// The fields of a dword written to CF8h.
struct PciConfigLocation {
  bool enabled;
  uint32_t bus;
  uint32_t device;
  uint32_t function;
  uint32_t offset;  // dword-aligned register
};
PciConfigLocation DecodePciConfigAddress(uint32_t address);

uint32_t PCIcfg_rdd(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs);
uint32_t PCIcfg_rdwo(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs);
uint32_t PCIcfg_rdwe(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs);
uint32_t PCIcfg_rdb0(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs);
uint32_t PCIcfg_rdb1(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs);
uint32_t PCIcfg_rdb2(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs);
uint32_t PCIcfg_rdb3(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs);

void PCIcfg_wtd(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs, uint32_t value);
void PCIcfg_wtwo(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs, uint32_t value);
void PCIcfg_wtwe(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs, uint32_t value);
void PCIcfg_wtb0(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs, uint32_t value);
void PCIcfg_wtb1(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs, uint32_t value);
void PCIcfg_wtb2(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs, uint32_t value);
void PCIcfg_wtb3(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs, uint32_t value);

}  // namespace kev
