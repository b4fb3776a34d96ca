// The PM device: the south-bridge function on PCI bus 0 that hosts the
// SMBus, the ICH SMBus enable, the dual core-voltage test and the board switch.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "detect/detect.h"
#include "hw/uasms.h"
#include "hw/upcicfg.h"
#include "hw/usmbus.h"

namespace kev {
namespace {

constexpr uint32_t kBus0 = 0;
constexpr uint32_t kDevices = 32;
constexpr uint32_t kFunctions = 8;

// ICH LPC bridge (device 31, function 0): register F2h bit 3 hides the SMBus.
constexpr uint32_t kLpcDevice = 31;
constexpr uint32_t kLpcFunction = 0;
constexpr uint32_t kLpcRegFunctionDisable = 0xF2;
constexpr uint32_t kLpcSmbusDisabled = 0x08;
constexpr std::array<uint32_t, 5> kIchLpcIds{0x24108086, 0x24208086, 0x24408086, 0x244C8086,
                                             0x248C8086};
constexpr uint32_t kIch2MobileLpcId = 0x244C8086;

// 440BX / 440GX host bridge at bus 0 device 0 function 0.
constexpr uint32_t kHostDevice = 0;
constexpr uint32_t kHostFunction = 0;
constexpr uint32_t kRegVendorDevice = 0x00;
constexpr uint32_t kHostAgpIdBit = 1u << 17;  // with and without AGP differ only here
constexpr std::array<uint32_t, 2> kDualVoltHostIds{0x71908086, 0x71A08086};
constexpr uint32_t kHostRegNbxConfig = 0x50;
constexpr uint32_t kHostSingleVoltBit = 1u << 15;
constexpr uint32_t kPiix4Pm = 0x71138086;

// SiS: the 5595 pairs function 0 with function 1; the 630 PM space lives in
// device 1 function 0, switched on by register 40h bit 7.
constexpr uint32_t kSis5595Partner = 0x00091039;
constexpr uint32_t kSis630PmDevice = 1;
constexpr uint32_t kSis630PmFunction = 0;
constexpr uint32_t kSis630RegPmEnable = 0x40;
constexpr uint32_t kSis630PmEnabled = 0x80;
constexpr uint32_t kSis630SwitchOffset = 0x3A;

enum class BaseRule : uint8_t {
  LowWord,   // low word of the base register
  HighWord,  // high word of the dword at the base register
  Sis5595,   // low word; accepted only at function 0 with its partner at function 1
  Sis630,    // low word in device 1 function 0 when its PM space is on
};

// How the shown name varies: by a revision bit, or (ICH2) by the LPC bridge.
enum class NameRule : uint8_t { Fixed, RevisionBit, LpcBridge };

struct PmEntry {
  uint32_t vendorDevice;
  uint8_t baseReg;
  BaseRule rule;
  std::string_view name;
  NameRule nameRule = NameRule::Fixed;
  uint32_t nameArg = 0;  // the revision bit or the LPC bridge identifier
  std::string_view altName = {};
};

// Searched in this order for each PCI function. The simulated south bridges
// (sim/bridge.cpp) keep a table of their own on purpose: the program's table
// must not be the one the models are built from, so that tests of detection
// against the models check the one by the other.
constexpr std::array<PmEntry, 17> kPmTable{{
    {0x71138086, 0x90, BaseRule::LowWord, "intel 82371AB (PIIX4)", NameRule::RevisionBit, 0x02,
     "intel 82371EB (PIIX4E)"},
    {0x24138086, 0x20, BaseRule::LowWord, "intel 82801AA (ICH)"},
    {0x24238086, 0x20, BaseRule::LowWord, "intel 82801AB (ICH0)"},
    {0x24438086, 0x20, BaseRule::LowWord, "intel 82801BA (ICH2)", NameRule::LpcBridge,
     kIch2MobileLpcId, "intel 82801BAM (ICH2-M)"},
    {0x24838086, 0x20, BaseRule::LowWord, "intel 82801CAM (ICH3-M)"},
    {0x740B1022, 0x58, BaseRule::LowWord, "AMD AMD-756"},
    {0x74131022, 0x58, BaseRule::LowWord, "AMD AMD-766"},
    {0x74431022, 0x58, BaseRule::LowWord, "AMD AMD-768"},
    {0x30501106, 0x90, BaseRule::LowWord, "VIA VT82C596B"},
    {0x30511106, 0x90, BaseRule::LowWord, "VIA VT82C596B"},
    {0x30571106, 0x90, BaseRule::LowWord, "VIA VT82C686A", NameRule::RevisionBit, 0x40,
     "VIA VT82C686B"},
    {0x82351106, 0x90, BaseRule::LowWord, "VIA VT8231"},
    {0x82311106, 0xB0, BaseRule::LowWord, "VIA VT8233"},
    {0x30741106, 0xD0, BaseRule::LowWord, "VIA VT8233C"},
    {0x00081039, 0x90, BaseRule::Sis5595, "SiS 5595"},
    {0x06301039, 0x74, BaseRule::Sis630, "SiS 630"},
    {0x710110B9, 0xE0, BaseRule::HighWord, "ALi M1535D+"},
}};

enum class SwitchOp : uint8_t { Asms1, Asms2, Asms3, Asms4, Asms5, Asms6 };

struct BoardSwitch {
  uint32_t vendorDevice;
  SwitchOp op;
  uint32_t target;  // port, configuration port, offset from SmbBase or PCI address
  uint32_t keep;
  uint32_t mask;
  uint32_t position1;
  uint32_t position2;
};

constexpr std::array<BoardSwitch, 10> kBoardSwitchTable{{
    {0x71138086, SwitchOp::Asms1, 0xE437, 0xE7, 0x03, 0, 1},
    {0x24138086, SwitchOp::Asms2, 0x2E, 0xE7, 0x03, 0, 2},
    {0x24238086, SwitchOp::Asms2, 0x2E, 0xE7, 0x03, 0, 2},
    {0x24438086, SwitchOp::Asms2, 0x2E, 0xE7, 0x03, 0, 2},
    {0x82311106, SwitchOp::Asms2, 0x2E, 0xE7, 0x03, 0, 2},
    {0x30571106, SwitchOp::Asms3, 0xE44D, 0xF6, 0x09, 0, 1},
    {0x30501106, SwitchOp::Asms4, 0xE44D, 0xBF, 0x40, 0, 0x40},
    {0x30511106, SwitchOp::Asms4, 0xE44D, 0xBF, 0x40, 0, 0x40},
    {0x06301039, SwitchOp::Asms5, kSis630SwitchOffset, 0xFF6F, 0x90, 0, 0x10},
    {0x710110B9, SwitchOp::Asms6, 0x800088B8, 0x009F, 0x60, 0, 0x40},
}};

constexpr uint32_t kAsmsPosition2 = 2;

const PmEntry* FindPmEntry(int32_t vendorDevice) {
  for (const PmEntry& e : kPmTable) {
    if (static_cast<int32_t>(e.vendorDevice) == vendorDevice) return &e;
  }
  return nullptr;
}

// A base register the BIOS never programmed (reset value 0001h, or an ICH
// function un-hidden without a base) reads below the device ports: no SMBus.
int32_t SmbBaseOrNone(uint32_t base) {
  return base >= kFirstDevicePort ? static_cast<int32_t>(base) : -1;
}

// Completes a match of entry e at (dev, fn); false when the entry rejects it.
bool AcceptMatch(PortIo& io, const PmEntry& e, uint32_t dev, uint32_t fn, PmDevice& out) {
  out = PmDevice{static_cast<int32_t>(dev), static_cast<int32_t>(fn),
                 static_cast<int32_t>(e.vendorDevice), static_cast<int32_t>(SMBrd_rid(io, dev, fn)),
                 -1};
  switch (e.rule) {
    case BaseRule::LowWord:
      out.SmbBase = SmbBaseOrNone(SMBrdwo_bad(io, dev, fn, e.baseReg));
      return true;
    case BaseRule::HighWord:
      out.SmbBase = SmbBaseOrNone(SMBrdwe_bad(io, dev, fn, e.baseReg));
      return true;
    case BaseRule::Sis5595:
      out.SmbBase = SmbBaseOrNone(SMBrdwo_bad(io, dev, fn, e.baseReg));
      return fn == 0 && SMBrd_did(io, dev, 1) == kSis5595Partner;
    case BaseRule::Sis630: {
      const uint32_t pmOn =
          PCIcfg_rdd(io, kBus0, kSis630PmDevice, kSis630PmFunction, kSis630RegPmEnable) &
          kSis630PmEnabled;
      if (pmOn == 0) {  // chipset known, PM I/O space switched off
        out.PciDevice = out.PciFunction = out.SmbBase = -1;
        return true;
      }
      out.PciDevice = static_cast<int32_t>(kSis630PmDevice);
      out.PciFunction = static_cast<int32_t>(kSis630PmFunction);
      out.SmbBase = SmbBaseOrNone(SMBrdwo_bad(io, kSis630PmDevice, kSis630PmFunction, e.baseReg));
      return true;
    }
  }
  return false;
}

void RunSwitch(PortIo& io, const BoardSwitch& b, int32_t smbBase, uint32_t value) {
  switch (b.op) {
    case SwitchOp::Asms1:
      ASMS1set(io, b.target, b.keep, b.mask, value);
      break;
    case SwitchOp::Asms2:
      ASMS2set(io, b.target, b.keep, b.mask, value);
      break;
    case SwitchOp::Asms3:
      ASMS3set(io, b.target, b.keep, b.mask, value);
      break;
    case SwitchOp::Asms4:
      ASMS4set(io, b.target, b.keep, b.mask, value);
      break;
    case SwitchOp::Asms5:
      // Relative to the SMBus base: with the PM space off there is no port.
      if (smbBase != -1) {
        ASMS5set(io, static_cast<uint32_t>(smbBase), b.target, b.keep, b.mask, value);
      }
      break;
    case SwitchOp::Asms6:
      ASMS6set(io, b.target, b.keep, b.mask, value);
      break;
  }
}

}  // namespace

std::vector<BoardSwitchPort> BoardSwitchPorts() {
  std::vector<BoardSwitchPort> ports;
  for (const BoardSwitch& b : kBoardSwitchTable) {
    const auto id = static_cast<int32_t>(b.vendorDevice);
    switch (b.op) {
      case SwitchOp::Asms1:
      case SwitchOp::Asms3:
      case SwitchOp::Asms4:
        ports.push_back({id, false, b.target, 1});
        break;
      case SwitchOp::Asms5:
        ports.push_back({id, true, b.target, 2});
        break;
      case SwitchOp::Asms2:
      case SwitchOp::Asms6:
        break;
    }
  }
  return ports;
}

std::optional<BoardSwitchRule> BoardSwitchOf(int32_t vendorDevice) {
  for (const BoardSwitch& b : kBoardSwitchTable) {
    if (static_cast<int32_t>(b.vendorDevice) != vendorDevice) continue;
    const auto kind = static_cast<SwitchKind>(static_cast<uint8_t>(b.op) + 1);
    return BoardSwitchRule{kind, b.target, b.keep, b.mask};
  }
  return std::nullopt;
}

bool IsIchLpcBridge(uint32_t vendorDevice) {
  return std::find(kIchLpcIds.begin(), kIchLpcIds.end(), vendorDevice) != kIchLpcIds.end();
}

void EnableIchSmbus(PortIo& io) {
  const uint32_t id = PCIcfg_rdd(io, kBus0, kLpcDevice, kLpcFunction, kRegVendorDevice);
  bool ich = false;
  for (uint32_t known : kIchLpcIds) ich = ich || id == known;
  if (!ich) return;
  const uint32_t reg = PCIcfg_rdwe(io, kBus0, kLpcDevice, kLpcFunction, kLpcRegFunctionDisable);
  if ((reg & kLpcSmbusDisabled) != 0) {
    PCIcfg_wtwe(io, kBus0, kLpcDevice, kLpcFunction, kLpcRegFunctionDisable,
                reg & ~kLpcSmbusDisabled);
  }
}

PmDevice ScanPmDevice(PortIo& io) {
  // Device, then function, then entry: the lowest matching function wins.
  for (uint32_t dev = 0; dev < kDevices; ++dev) {
    for (uint32_t fn = 0; fn < kFunctions; ++fn) {
      for (const PmEntry& e : kPmTable) {
        if (SMBrd_did(io, dev, fn) != e.vendorDevice) continue;
        PmDevice found;
        if (AcceptMatch(io, e, dev, fn, found)) return found;
      }
    }
  }
  return PmDevice{};
}

bool TestDualCoreVoltage(PortIo& io, int32_t vendorDevice) {
  if (vendorDevice != static_cast<int32_t>(kPiix4Pm)) return false;
  const uint32_t host =
      PCIcfg_rdd(io, kBus0, kHostDevice, kHostFunction, kRegVendorDevice) & ~kHostAgpIdBit;
  if (host != kDualVoltHostIds[0] && host != kDualVoltHostIds[1]) return false;
  return (PCIcfg_rdd(io, kBus0, kHostDevice, kHostFunction, kHostRegNbxConfig) &
          kHostSingleVoltBit) == 0;
}

void ApplyBoardSwitch(PortIo& io, bool asms, uint32_t asmsMode, int32_t vendorDevice,
                      int32_t smbBase) {
  if (!asms && asmsMode == 0) return;
  for (const BoardSwitch& b : kBoardSwitchTable) {
    if (static_cast<int32_t>(b.vendorDevice) != vendorDevice) continue;
    RunSwitch(io, b, smbBase, asmsMode == kAsmsPosition2 ? b.position2 : b.position1);
    return;
  }
}

void DetectPmDevice(PortIo& io, const MonitorSettings& s, uint32_t asmsMode, DetectState& st) {
  const PmDevice pm = ScanPmDevice(io);
  st.DualCoreVoltage = TestDualCoreVoltage(io, pm.VendorDevice);
  ApplyBoardSwitch(io, s.ASMS, asmsMode, pm.VendorDevice, pm.SmbBase);
  st.pm = pm;
  const SmbProbeResult probe = ProbeMainSmbAddress(io, pm.VendorDevice, pm.SmbBase);
  st.chip.MainSmbAddress = probe.MainSmbAddress;
  st.chip.MainSmbFound = probe.MainSmbFound;
}

std::string_view PmDeviceName(PortIo& io, int32_t vendorDevice, int32_t revision) {
  const PmEntry* e = FindPmEntry(vendorDevice);
  if (e == nullptr) return "Unknown";
  switch (e->nameRule) {
    case NameRule::Fixed:
      break;
    case NameRule::RevisionBit:
      if (revision != -1 && (static_cast<uint32_t>(revision) & e->nameArg) != 0) {
        return e->altName;
      }
      break;
    case NameRule::LpcBridge:
      if (PCIcfg_rdd(io, kBus0, kLpcDevice, kLpcFunction, kRegVendorDevice) == e->nameArg) {
        return e->altName;
      }
      break;
  }
  return e->name;
}

}  // namespace kev
