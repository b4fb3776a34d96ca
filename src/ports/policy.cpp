#include "ports/policy.h"

#include <array>
#include <cstdio>

#include "detect/detect.h"
#include "detect/port_policy.h"
#include "hw/superio.h"
#include "hw/upc87366.h"
#include "hw/upcicfg.h"
#include "hw/usmbus.h"

namespace kev::ports {
namespace {

// PCI configuration registers the program writes: the function's ID (which
// the helper reads itself), the dword register, and the bits a write may
// change; the others must be written back as they read.
struct PciWrite {
  uint32_t vendorDevice;
  uint32_t reg;
  uint32_t changeable;
};
constexpr std::array<PciWrite, 6> kPciWrites{{
    {0x24108086, 0xF0, 0x00080000},  // ICH LPC bridges: F2h bit 3 hides the SMBus function
    {0x24208086, 0xF0, 0x00080000},
    {0x24408086, 0xF0, 0x00080000},
    {0x244C8086, 0xF0, 0x00080000},
    {0x248C8086, 0xF0, 0x00080000},
    {0x710110B9, 0xB8, 0x0000FF60},  // ALi M7101: the board switch in B8h's low word
}};

// Super-I/O configuration registers the program writes through a pair's
// data port; every other one (the base registers above all) is only read.
constexpr int32_t kAnyLdn = -1;
struct SuperIoWrite {
  uint8_t index;
  int32_t ldn;
};
constexpr std::array<SuperIoWrite, 2> kSuperIoWrites{{
    {superio::kRegLdn, kAnyLdn},
    {0xF1, 0x08},     // Winbond GPIO data: the board switch
}};

// Logical devices whose block is a monitor's: the chip ID at register 20h
// and the logical device. Blocks are 16 ports from the base rounded down.
struct SuperIoMonitor {
  uint8_t chipId;
  uint32_t ldn;
};
constexpr std::array<SuperIoMonitor, 4> kSuperIoMonitors{{
    {0x87, 0x04},  // ITE environment controller
    {0xE9, kPc87366LdnFsm},
    {0xE9, kPc87366LdnVlm},
    {0xE9, kPc87366LdnTms},
}};
constexpr uint32_t kLdnBlockMask = 0xFFF0;
constexpr uint32_t kLdnBlockSize = 0x10;

// Ports a south-bridge monitor decodes from its base.
constexpr uint32_t kIsaPairSpan = 8;
constexpr uint32_t kViaWindow = 0x80;

constexpr int32_t kConfigPairSpan = 2;
constexpr uint32_t kPciDataLast = kPciConfigData + 3;
constexpr uint32_t kSpdFirst = 0x50;
constexpr uint32_t kSpdLast = 0x57;

constexpr const char* kNotUsed = "not a port the program uses";

uint32_t AllOnes(uint8_t width) { return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1u; }

bool Inside(uint32_t first, uint32_t last, uint16_t port, uint8_t width) {
  return port >= first && port + width - 1u <= last;
}

bool Overlaps(uint32_t first, uint32_t last, uint16_t port, uint8_t width) {
  return port <= last && port + width - 1u >= first;
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%Xh", v);
  return text;
}

std::string Describe(bool out, uint8_t width, uint16_t port) {
  const char suffix = width == 1 ? 'b' : width == 2 ? 'w' : 'l';
  return std::string(out ? "out" : "in") + suffix + " " + Hex(port);
}

}  // namespace

PolicedPorts::PolicedPorts(PortIo& raw) : raw_(raw), switches_(BoardSwitchPorts()) {
  for (const PortBlock& b : MonitorPortBlocks()) {
    if (b.span == kConfigPairSpan) pairs_.push_back({static_cast<uint16_t>(b.first)});
  }
}

uint32_t PolicedPorts::in(uint8_t width, uint16_t port) {
  const Access a{false, width, port, 0};
  const std::string why = verdict(a);
  if (!why.empty()) {
    refuse(a, why);
    return AllOnes(width);
  }
  Access done = a;
  done.value = width == 1 ? raw_.inb(port) : width == 2 ? raw_.inw(port) : raw_.inl(port);
  observe(done);
  return done.value;
}

void PolicedPorts::out(uint8_t width, uint16_t port, uint32_t value) {
  const Access a{true, width, port, value};
  const std::string why = verdict(a);
  if (!why.empty()) {
    refuse(a, why);
    return;
  }
  if (width == 1)
    raw_.outb(port, static_cast<uint8_t>(value));
  else if (width == 2)
    raw_.outw(port, static_cast<uint16_t>(value));
  else
    raw_.outl(port, value);
  observe(a);
}

uint8_t PolicedPorts::inb(uint16_t port) { return static_cast<uint8_t>(in(1, port)); }
uint16_t PolicedPorts::inw(uint16_t port) { return static_cast<uint16_t>(in(2, port)); }
uint32_t PolicedPorts::inl(uint16_t port) { return in(4, port); }
void PolicedPorts::outb(uint16_t port, uint8_t value) { out(1, port, value); }
void PolicedPorts::outw(uint16_t port, uint16_t value) { out(2, port, value); }
void PolicedPorts::outl(uint16_t port, uint32_t value) { out(4, port, value); }

void PolicedPorts::refuse(const Access& a, const std::string& why) {
  std::string what = Describe(a.out, a.width, a.port);
  if (a.out && a.port == kPciConfigData) {
    const PciConfigLocation at = DecodePciConfigAddress(latched_);
    char where[48];
    std::snprintf(where, sizeof where, " (PCI %X:%X.%X register %s)", at.bus, at.device,
                  at.function, Hex(at.offset).c_str());
    what += where;
  }
  refusals_.push_back(what + ": " + why);
  ++refusalCount_;
}

std::vector<std::string> PolicedPorts::takeRefusals() {
  std::vector<std::string> r;
  r.swap(refusals_);
  return r;
}

std::string PolicedPorts::verdict(const Access& a) {
  if (Overlaps(kPciConfigAddress, kPciDataLast, a.port, a.width)) return pciVerdict(a);
  if (const SuperIoPair* p = superIoPairAt(a.port)) return superIoVerdict(*p, a);
  if (a.port == kIoDelayPort) {
    return a.out && a.width == 1 ? "" : "the delay port is only written, a byte at a time";
  }
  for (const PortBlock& b : MonitorPortBlocks()) {
    if (b.span != kConfigPairSpan &&
        Inside(static_cast<uint32_t>(b.first), static_cast<uint32_t>(b.last), a.port, a.width)) {
      return {};
    }
  }
  return learnedVerdict(a);
}

std::string PolicedPorts::pciVerdict(const Access& a) {
  if (a.port < kPciConfigData) {
    return a.port == kPciConfigAddress && a.width == 4
               ? ""
               : "the PCI address port takes whole dwords only";
  }
  if (!Inside(kPciConfigData, kPciDataLast, a.port, a.width)) return kNotUsed;
  return a.out ? pciWriteVerdict(a) : "";
}

uint32_t PolicedPorts::rawConfigRead(uint32_t address) {
  raw_.outl(kPciConfigAddress, address);
  const uint32_t v = raw_.inl(kPciConfigData);
  raw_.outl(kPciConfigAddress, latched_);
  return v;
}

std::string PolicedPorts::pciWriteVerdict(const Access& a) {
  if (a.port != kPciConfigData || a.width != 4) {
    return "PCI configuration is written only as whole dwords";
  }
  const PciConfigLocation at = DecodePciConfigAddress(latched_);
  constexpr const char* kNotWritten = "not a register the program writes";
  if (!at.enabled || at.bus != 0) return kNotWritten;
  const uint32_t id = rawConfigRead(PciConfigAddress(0, at.device, at.function, 0));
  const uint32_t now = rawConfigRead(latched_);
  for (const PciWrite& w : kPciWrites) {
    if (w.vendorDevice == id && w.reg == at.offset && ((a.value ^ now) & ~w.changeable) == 0) {
      return {};
    }
  }
  return kNotWritten;
}

PolicedPorts::SuperIoPair* PolicedPorts::superIoPairAt(uint16_t port) {
  for (SuperIoPair& p : pairs_) {
    if (port == p.indexPort || port == p.indexPort + 1) return &p;
  }
  return nullptr;
}

std::string PolicedPorts::superIoVerdict(const SuperIoPair& p, const Access& a) const {
  if (a.width != 1) return "the Super-I/O configuration ports take bytes only";
  if (!a.out || a.port == p.indexPort) return {};
  for (const SuperIoWrite& w : kSuperIoWrites) {
    if (w.index == p.index && (w.ldn == kAnyLdn || w.ldn == p.ldn)) return {};
  }
  return "Super-I/O register " + Hex(p.index) + " is not one the program writes";
}

std::string PolicedPorts::learnedVerdict(const Access& a) {
  learnIfStale();
  if (host_ && Inside(host_->base, host_->base + host_->span - 1, a.port, a.width)) {
    if (!a.out || (transaction_ && transaction_->base == host_->base)) return {};
    for (const BoardSwitchPort& s : switches_) {
      if (s.smbusOffset && static_cast<uint32_t>(s.vendorDevice) == host_->pmId &&
          a.port == host_->base + s.port && a.width == s.width) {
        return {};
      }
    }
    return "the SMBus host is written only by whole transactions";
  }
  for (const BoardSwitchPort& s : switches_) {
    if (!s.smbusOffset && s.vendorDevice == pmId_ && a.port == s.port && a.width == s.width) {
      return {};
    }
  }
  if (bridgeMonitor_ && Inside(bridgeMonitor_->first, bridgeMonitor_->last, a.port, a.width)) {
    return {};
  }
  for (const Block& b : superIoBlocks_) {
    if (Inside(b.first, b.last, a.port, a.width)) return {};
  }
  return kNotUsed;
}

void PolicedPorts::learnIfStale() {
  if (learned_) return;
  learned_ = true;
  const PmDevice pm = ScanPmDevice(raw_);
  pmId_ = pm.VendorDevice;
  host_.reset();
  if (pm.SmbBase != -1) {
    const auto id = static_cast<uint32_t>(pm.VendorDevice);
    host_ = SmbusHost{id, static_cast<uint32_t>(pm.SmbBase), SmbusHostSpan(id)};
  }
  bridgeMonitor_.reset();
  const BridgeMonitorBlock monitor = FindBridgeMonitorBlock(raw_, pm);
  if (monitor.base != -1) {
    const auto base = static_cast<uint32_t>(monitor.base);
    const uint32_t span = monitor.path == ChipPath::Via ? kViaWindow : kIsaPairSpan;
    bridgeMonitor_ = Block{base, base + span - 1};
  }
  raw_.outl(kPciConfigAddress, latched_);
}

void PolicedPorts::observe(const Access& a) {
  if (a.out && a.port == kPciConfigAddress) latched_ = a.value;
  // A register the program writes may hide or move what was learned.
  if (a.out && a.port == kPciConfigData) learned_ = false;
  if (SuperIoPair* p = superIoPairAt(a.port)) observeSuperIo(*p, a);
}

void PolicedPorts::observeSuperIo(SuperIoPair& p, const Access& a) {
  if (a.port == p.indexPort) {
    if (a.out) p.index = static_cast<uint8_t>(a.value);
    return;
  }
  if (a.out) {
    if (p.index == superio::kRegLdn) p.ldn = static_cast<uint8_t>(a.value);
    p.baseHigh = -1;
    return;
  }
  if (p.index == superio::kRegChipId) p.chipId = static_cast<int32_t>(a.value);
  if (p.index == superio::kRegBaseHigh) p.baseHigh = static_cast<int32_t>(a.value);
  if (p.index != superio::kRegBaseLow || p.baseHigh < 0) return;
  const uint32_t base = (static_cast<uint32_t>(p.baseHigh) << 8 | a.value) & kLdnBlockMask;
  p.baseHigh = -1;
  if (base < kFirstDevicePort) return;  // never programmed
  for (const SuperIoMonitor& m : kSuperIoMonitors) {
    if (static_cast<int32_t>(m.chipId) != p.chipId || m.ldn != p.ldn) continue;
    for (const Block& b : superIoBlocks_) {
      if (b.first == base) return;
    }
    superIoBlocks_.push_back({base, base + kLdnBlockSize - 1});
    return;
  }
}

std::string PolicedPorts::smbusVerdict(uint32_t pmId, uint32_t base, const SmbusTransfer& t) {
  if (!t.read && t.slave >= kSpdFirst && t.slave <= kSpdLast) {
    return "a memory module's SPD EEPROM is never written";
  }
  learnIfStale();
  if (!host_ || host_->pmId != pmId || host_->base != base) {
    return "not the SMBus host the PM device reports";
  }
  return {};
}

std::optional<int32_t> PolicedPorts::smbusTransfer(uint32_t pmId, uint32_t base,
                                                   const SmbusTransfer& t) {
  const std::string why = smbusVerdict(pmId, base, t);
  if (!why.empty()) {
    refusals_.push_back(std::string("SMBus ") + (t.read ? "read of " : "write to ") + Hex(t.slave) +
                        " at " + Hex(base) + ": " + why);
    ++refusalCount_;
    return -1;
  }
  transaction_ = host_;
  const int32_t result = SmbusTransact(*this, pmId, base, t);
  transaction_.reset();
  return result;
}

}  // namespace kev::ports
