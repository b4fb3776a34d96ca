#include "hw/sysfs_pci.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "hw/upcicfg.h"

namespace kev {
namespace {

constexpr uint16_t kDataPorts = 4;
// Extended configuration space ends here; nothing beyond is read.
constexpr std::streamsize kMaxConfigBytes = 4096;

uint32_t AllOnes(int width) { return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1u; }

}  // namespace

SysfsPciConfig::SysfsPciConfig(std::string sysRoot) : sysRoot_(std::move(sysRoot)) {}

const std::string& SysfsPciConfig::Config(uint32_t device, uint32_t function) {
  const uint32_t key = device << 3 | function;
  auto it = cache_.find(key);
  if (it != cache_.end()) return it->second;
  char name[64];
  std::snprintf(name, sizeof name, "/bus/pci/devices/0000:00:%02x.%x/config", device, function);
  std::string bytes;
  std::ifstream in(sysRoot_ + name, std::ios::binary);
  if (in) {
    bytes.resize(static_cast<size_t>(kMaxConfigBytes));
    in.read(bytes.data(), kMaxConfigBytes);
    bytes.resize(static_cast<size_t>(in.gcount()));
  }
  return cache_.emplace(key, std::move(bytes)).first->second;
}

size_t SysfsPciConfig::visibleBytes(uint32_t device, uint32_t function) {
  return Config(device, function).size();
}

uint32_t SysfsPciConfig::ConfigRead(uint16_t port, int width) {
  const uint16_t lane = static_cast<uint16_t>(port - kPciConfigData);
  if (port < kPciConfigData || lane >= kDataPorts) {
    wantedOtherPorts_ = true;
    return AllOnes(width);
  }
  const PciConfigLocation at = DecodePciConfigAddress(address_);
  if (!at.enabled || at.bus != 0) return AllOnes(width);
  const std::string& bytes = Config(at.device, at.function);
  const size_t offset = at.offset + lane;
  if (offset + static_cast<size_t>(width) > bytes.size()) return AllOnes(width);
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) {
    value = value << 8 | static_cast<uint8_t>(bytes[offset + static_cast<size_t>(i)]);
  }
  return value;
}

uint8_t SysfsPciConfig::inb(uint16_t port) { return static_cast<uint8_t>(ConfigRead(port, 1)); }
uint16_t SysfsPciConfig::inw(uint16_t port) { return static_cast<uint16_t>(ConfigRead(port, 2)); }
uint32_t SysfsPciConfig::inl(uint16_t port) { return ConfigRead(port, 4); }

void SysfsPciConfig::outb(uint16_t port, uint8_t) {
  if (port != kIoDelayPort) wantedOtherPorts_ = true;
}
void SysfsPciConfig::outw(uint16_t port, uint16_t) {
  if (port != kIoDelayPort) wantedOtherPorts_ = true;
}
void SysfsPciConfig::outl(uint16_t port, uint32_t value) {
  if (port == kPciConfigAddress) {
    address_ = value;
    return;
  }
  if (port != kIoDelayPort) wantedOtherPorts_ = true;
}

}  // namespace kev
