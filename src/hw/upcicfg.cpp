#include "hw/upcicfg.h"

#include <array>

#include "hw/port_sequences.h"

namespace kev {

namespace {

constexpr uint32_t kEnableBit = 0x80000000u;
constexpr uint32_t kBusMask = 0xFF;
constexpr uint32_t kDeviceMask = 0x1F;
constexpr uint32_t kFunctionMask = 0x07;
constexpr uint32_t kRegisterMask = 0xFC;
constexpr int kBusShift = 16;
constexpr int kDeviceShift = 11;
constexpr int kFunctionShift = 8;

// The part of the configuration dword an operation works on.
struct Lane {
  uint16_t byteOffset;  // 0-3 within the dword
  int width;            // 1, 2 or 4 bytes
};

constexpr Lane kDword{0, 4};
constexpr Lane kLowWord{0, 2};
constexpr Lane kHighWord{2, 2};
constexpr Lane kByte0{0, 1};
constexpr Lane kByte1{1, 1};
constexpr Lane kByte2{2, 1};
constexpr Lane kByte3{3, 1};

uint32_t LaneMask(Lane lane) {
  const uint32_t bits = lane.width == 4 ? 0xFFFFFFFFu : (1u << (8 * lane.width)) - 1u;
  return bits << (8 * lane.byteOffset);
}

void SelectAddress(PortIo& io, uint32_t address) {
  io.outl(kPciConfigAddress, address);
  IoDelay(io);
}

constexpr std::array<Lane, kPciLanes> kLanes{kDword, kLowWord, kHighWord, kByte0,
                                             kByte1, kByte2,   kByte3};

uint32_t ConfigRead(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs,
                    PciLane lane) {
  return io.run(op::PciRead(lane, PciConfigAddress(bus, dev, fn, ofs)));
}

void ConfigWrite(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs, PciLane lane,
                 uint32_t value) {
  io.run(op::PciWrite(lane, PciConfigAddress(bus, dev, fn, ofs), value));
}

}  // namespace

uint32_t PciConfigAddress(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset) {
  return kEnableBit | ((bus & kBusMask) << kBusShift) | ((device & kDeviceMask) << kDeviceShift) |
         ((function & kFunctionMask) << kFunctionShift) | (offset & kRegisterMask);
}

PciConfigLocation DecodePciConfigAddress(uint32_t address) {
  return {(address & kEnableBit) != 0, address >> kBusShift & kBusMask,
          address >> kDeviceShift & kDeviceMask, address >> kFunctionShift & kFunctionMask,
          address & kRegisterMask};
}

uint32_t PCIcfg_rdd(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs) {
  return ConfigRead(io, bus, dev, fn, ofs, PciLane::Dword);
}
uint32_t PCIcfg_rdwo(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs) {
  return ConfigRead(io, bus, dev, fn, ofs, PciLane::LowWord);
}
uint32_t PCIcfg_rdwe(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs) {
  return ConfigRead(io, bus, dev, fn, ofs, PciLane::HighWord);
}
uint32_t PCIcfg_rdb0(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs) {
  return ConfigRead(io, bus, dev, fn, ofs, PciLane::Byte0);
}
uint32_t PCIcfg_rdb1(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs) {
  return ConfigRead(io, bus, dev, fn, ofs, PciLane::Byte1);
}
uint32_t PCIcfg_rdb2(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs) {
  return ConfigRead(io, bus, dev, fn, ofs, PciLane::Byte2);
}
uint32_t PCIcfg_rdb3(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs) {
  return ConfigRead(io, bus, dev, fn, ofs, PciLane::Byte3);
}

void PCIcfg_wtd(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs, uint32_t value) {
  ConfigWrite(io, bus, dev, fn, ofs, PciLane::Dword, value);
}
void PCIcfg_wtwo(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs,
                 uint32_t value) {
  ConfigWrite(io, bus, dev, fn, ofs, PciLane::LowWord, value);
}
void PCIcfg_wtwe(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs,
                 uint32_t value) {
  ConfigWrite(io, bus, dev, fn, ofs, PciLane::HighWord, value);
}
void PCIcfg_wtb0(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs,
                 uint32_t value) {
  ConfigWrite(io, bus, dev, fn, ofs, PciLane::Byte0, value);
}
void PCIcfg_wtb1(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs,
                 uint32_t value) {
  ConfigWrite(io, bus, dev, fn, ofs, PciLane::Byte1, value);
}
void PCIcfg_wtb2(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs,
                 uint32_t value) {
  ConfigWrite(io, bus, dev, fn, ofs, PciLane::Byte2, value);
}
void PCIcfg_wtb3(PortIo& io, uint32_t bus, uint32_t dev, uint32_t fn, uint32_t ofs,
                 uint32_t value) {
  ConfigWrite(io, bus, dev, fn, ofs, PciLane::Byte3, value);
}

namespace seq {

uint32_t PciRead(PortIo& io, uint32_t address, uint8_t laneIndex) {
  const Lane lane = kLanes.at(laneIndex);
  SelectAddress(io, address);
  const auto port = static_cast<uint16_t>(kPciConfigData + lane.byteOffset);
  uint32_t value = 0;
  if (lane.width == 4)
    value = io.inl(port);
  else if (lane.width == 2)
    value = io.inw(port);
  else
    value = io.inb(port);
  IoDelay(io);
  SelectAddress(io, address & ~kEnableBit);
  return value;
}

// Narrow lanes are written as a read-modify-write of the whole dword.
void PciWrite(PortIo& io, uint32_t address, uint8_t laneIndex, uint32_t value) {
  const Lane lane = kLanes.at(laneIndex);
  SelectAddress(io, address);
  uint32_t dword = value;
  if (lane.width != 4) {
    const uint32_t old = io.inl(kPciConfigData);
    IoDelay(io);
    const uint32_t mask = LaneMask(lane);
    dword = (old & ~mask) | ((value << (8 * lane.byteOffset)) & mask);
  }
  io.outl(kPciConfigData, dword);
  IoDelay(io);
  SelectAddress(io, address & ~kEnableBit);
}

}  // namespace seq

}  // namespace kev
