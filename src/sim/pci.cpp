#include "sim/pci.h"

namespace kev::sim {

namespace {

constexpr uint16_t kAddressPort = 0xCF8;
constexpr uint16_t kDataPort = 0xCFC;
constexpr uint32_t kPortCount = 8;
constexpr uint32_t kEnable = 0x80000000u;
// Bits 30-24 are reserved and bits 1-0 always read back as zero.
constexpr uint32_t kAddressBits = 0x80FFFFFCu;
constexpr uint32_t kRegisterBits = 0xFC;
constexpr uint8_t kAllOnes = 0xFF;

constexpr uint8_t kVendorOffset = 0x00;
constexpr uint8_t kDeviceOffset = 0x02;
constexpr uint8_t kRevisionOffset = 0x08;

uint32_t LocationKey(uint8_t bus, uint8_t device, uint8_t function) {
  return (uint32_t{bus} << 8) | (uint32_t{device & 0x1Fu} << 3) | (function & 0x07u);
}

}  // namespace

PciFunction::PciFunction(uint16_t vendor, uint16_t device, uint8_t revision) {
  set16(kVendorOffset, vendor);
  set16(kDeviceOffset, device);
  set8(kRevisionOffset, revision);
}

void PciFunction::writeByte(uint8_t offset, uint8_t value) {
  if (hidden_) return;
  const uint8_t old = cfg_[offset];
  const uint8_t mask = writable_[offset];
  cfg_[offset] = static_cast<uint8_t>((old & ~mask) | (value & mask));
  if (hook_) hook_(offset, old, cfg_[offset]);
}

void PciFunction::set16(uint8_t offset, uint16_t v) {
  set8(offset, static_cast<uint8_t>(v));
  set8(static_cast<uint8_t>(offset + 1), static_cast<uint8_t>(v >> 8));
}

void PciFunction::set32(uint8_t offset, uint32_t v) {
  set16(offset, static_cast<uint16_t>(v));
  set16(static_cast<uint8_t>(offset + 2), static_cast<uint16_t>(v >> 16));
}

uint16_t PciFunction::get16(uint8_t offset) const {
  return static_cast<uint16_t>(get8(offset) | (get8(static_cast<uint8_t>(offset + 1)) << 8));
}

uint32_t PciFunction::get32(uint8_t offset) const {
  return get16(offset) | (uint32_t{get16(static_cast<uint8_t>(offset + 2))} << 16);
}

void PciFunction::setWritableRange(uint8_t first, uint8_t last, uint8_t mask) {
  for (unsigned o = first; o <= last; ++o) writable_[o] = mask;
}

PciHost::PciHost(SimMachine& m) : machine_(m) { m.map(kAddressPort, kPortCount, this); }

PciHost::~PciHost() { machine_.unmap(this); }

void PciHost::attach(uint8_t bus, uint8_t device, uint8_t function, PciFunction* fn) {
  functions_[LocationKey(bus, device, function)] = fn;
}

PciFunction* PciHost::find(uint8_t bus, uint8_t device, uint8_t function) const {
  const auto it = functions_.find(LocationKey(bus, device, function));
  return it == functions_.end() ? nullptr : it->second;
}

PciFunction* PciHost::selected() const {
  if (!(address_ & kEnable)) return nullptr;
  const auto it = functions_.find((address_ >> 8) & 0xFFFFu);
  if (it == functions_.end() || it->second->hidden()) return nullptr;
  return it->second;
}

// Only dword accesses reach the address register; narrower accesses to
// CF8h-CFBh belong to other devices of the chipset and are not decoded here.
uint8_t PciHost::ioRead8(uint16_t port) {
  if (port < kDataPort) return kAllOnes;
  const PciFunction* fn = selected();
  if (!fn) return kAllOnes;
  const auto reg = static_cast<uint8_t>((address_ & kRegisterBits) + (port - kDataPort));
  return fn->readByte(reg);
}

void PciHost::ioWrite8(uint16_t port, uint8_t value) {
  if (port < kDataPort) return;
  PciFunction* fn = selected();
  if (!fn) return;
  fn->writeByte(static_cast<uint8_t>((address_ & kRegisterBits) + (port - kDataPort)), value);
}

uint16_t PciHost::ioRead16(uint16_t port) { return IoDevice::ioRead16(port); }

void PciHost::ioWrite16(uint16_t port, uint16_t value) { IoDevice::ioWrite16(port, value); }

uint32_t PciHost::ioRead32(uint16_t port) {
  if (port == kAddressPort) return address_;
  return IoDevice::ioRead32(port);
}

void PciHost::ioWrite32(uint16_t port, uint32_t value) {
  if (port == kAddressPort) {
    address_ = value & kAddressBits;
    return;
  }
  IoDevice::ioWrite32(port, value);
}

}  // namespace kev::sim
