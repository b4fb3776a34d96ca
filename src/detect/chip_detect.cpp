// Finding the monitoring chip: the SMBus address probe, identification over
// the south bridge, the ISA pair, the Super-I/O and the SMBus, and the
// chip-kind table.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "detect/detect.h"
#include "detect/port_policy.h"
#include "hw/superio.h"
#include "hw/uit8712f.h"
#include "hw/uns_isa.h"
#include "hw/upc87366.h"
#include "hw/upcicfg.h"
#include "hw/usmbus.h"
#include "hw/uwb_isa.h"

namespace kev {
namespace {

constexpr uint32_t kBus0 = 0;
constexpr uint32_t kSmbProbeFirst = 0x28;
constexpr uint32_t kSmbProbeLast = 0x2F;

// Registers of the LM78 / Winbond register set.
constexpr uint8_t kRegGl5xxChipId = 0x00;  // also the LM80 configuration register
constexpr uint8_t kRegLm80Config = 0x00;
constexpr uint8_t kRegLm80FanDiv = 0x05;
constexpr uint8_t kLm80Mirror = 0x40;      // the address bit the LM80 ignores
constexpr uint8_t kRegLm8xCompany = 0x3E;  // LM81 / LM87 company ID
constexpr uint8_t kRegConfig = 0x40;
constexpr uint8_t kRegChipId = 0x49;    // LM78 family: chip ID in bits 7-1
constexpr uint8_t kRegWbVendor = 0x4F;  // Winbond: 16-bit vendor ID, byte by 4Eh bit 7
constexpr uint8_t kRegWbChipId = 0x58;  // Winbond chip ID; ITE vendor signature
constexpr uint8_t kRegGl520Config = 0x03;
constexpr uint8_t kGl520Vin4Bit = 0x10;
constexpr uint8_t kStartMonitoring = 0x01;
constexpr uint8_t kLm80StartBit = 0x01;
constexpr uint8_t kChipIdMask = 0xFE;
constexpr uint8_t kGl5xxIdMask = 0xA0;
constexpr int32_t kLm8xRevision = 0x80;  // LM81 / LM87 before the company ID
constexpr int32_t kLm8xCompanyLimit = 3;
constexpr int32_t kLm8xCompanyMask = 0x03;
constexpr int32_t kIsaNothing = 0xFF;
constexpr int32_t kIteSignature = 0x90;
// A monitor's index/data pair never sits on the system board's ports.
constexpr auto kIsaBaseFirst = static_cast<int32_t>(kFirstDevicePort);
constexpr int32_t kIsaBaseLast = 0xFFF9;  // base + 6 is still a port

// True when a pair (or I/O window) at base stays clear of the system-board
// ports and inside the port space. A stored setting (such as a PC87366
// configuration port) or an unprogrammed base register can hold anything.
bool IsaBaseUsable(int32_t base) { return base >= kIsaBaseFirst && base <= kIsaBaseLast; }

// ITE Super-I/O: chip ID, logical device 4 (environment controller).
constexpr uint32_t kIteChipId1 = 0x87;
constexpr std::array<uint32_t, 2> kIteChipId2{0x05, 0x12};
constexpr uint32_t kIteLdnEc = 0x04;

// PC87366: Super-I/O ID at register 20h of configuration port 2Eh or 4Eh.
constexpr uint32_t kPc87366Sid = 0xE9;

constexpr int32_t kVendorNs = 1;
constexpr int32_t kVendorGenesys = 2;
constexpr int32_t kVendorIte = 0x90;
constexpr int32_t kVendorSis = 0x1039;
constexpr int32_t kVendorVia = 0x1106;
constexpr int32_t kVendorWinbond = 0x5CA3;
constexpr int32_t kVendorAsus = 0x12C3;
constexpr int32_t kLm80Revision = 0xF0;

// Monitors inside the south bridge, reached through the PM function's
// configuration space.
struct BridgeMonitor {
  uint32_t vendorDevice;
  uint8_t enableReg;  // 0: always on
  uint32_t enableBit;
  uint8_t baseReg;
  uint32_t baseMask;
  ChipPath path;
  int32_t vendor;
  int32_t revision;  // -1: the PCI device ID
};

constexpr std::array<BridgeMonitor, 3> kBridgeMonitors{{
    {0x00081039, 0, 0, 0x68, 0xFFF8, ChipPath::IsaPair, kVendorSis, 0x0008},
    {0x30571106, 0x74, 0x01, 0x70, 0xFFFE, ChipPath::Via, kVendorVia, -1},
    {0x82351106, 0x74, 0x01, 0x70, 0xFFFE, ChipPath::Via, kVendorVia, -1},
}};

struct KindEntry {
  int32_t vendor;
  int32_t revision;
  int32_t kind;
};

constexpr std::array<KindEntry, 21> kKindTable{{
    {kVendorNs, 0x00, kind::LM78},
    {kVendorNs, 0x40, kind::LM78J},
    {kVendorNs, 0xC0, kind::LM79},
    {kVendorNs, kLm80Revision, kind::LM80},
    {kVendorNs, 0x81, kind::LM81},
    {kVendorNs, 0x82, kind::LM87},
    {kVendorNs, 0xE9, kind::PC87366},
    {kVendorWinbond, 0x10, kind::W83781D},
    {kVendorWinbond, 0x21, kind::W83627HF},
    {kVendorWinbond, 0x30, kind::W83782D},
    {kVendorWinbond, 0x40, kind::W83783S},
    {kVendorWinbond, 0x60, kind::W83697HF},
    {kVendorGenesys, 0x80, kind::GL518SM},
    {kVendorGenesys, 0x20, kind::GL520SM},
    {kVendorWinbond, 0x31, kind::AS99127F_WB},
    {kVendorAsus, 0x31, kind::AS99127F_AS},
    {kVendorSis, 0x0008, kind::SiS5595},
    {kVendorVia, 0x3057, kind::VT82C686A},
    {kVendorVia, 0x8235, kind::VT8231},
    {kVendorIte, 0x8705, kind::IT8705F},
    {kVendorIte, 0x8712, kind::IT8712F},
}};

// Kind for a known vendor whose revision is not in the table.
struct VendorDefault {
  int32_t vendor;
  int32_t kind;
};
constexpr std::array<VendorDefault, 7> kVendorDefaults{{
    {kVendorNs, kind::Unknown},
    {kVendorWinbond, kind::WinbondChip},
    {kVendorGenesys, -1},
    {kVendorIte, -1},
    {kVendorSis, -1},
    {kVendorVia, -1},
    {kVendorAsus, -1},
}};

constexpr std::array<std::string_view, 28> kChipNames{
    "Unknown",
    "NS LM78(Compatible)",
    "National Semiconductor LM78",
    "National Semiconductor LM78-J",
    "National Semiconductor LM79",
    "National Semiconductor LM80",
    "National Semiconductor LM81",
    "National Semiconductor LM87",
    "National Semiconductor PC87366",
    "Winbond Chip",
    "Winbond W83781D",
    "Winbond W83627HF",
    "Winbond W83782D",
    "Winbond W83783S",
    "Winbond W83697HF",
    "Genesys Logic GL518SM",
    "Genesys Logic GL520SM",
    "Asus AS99127F (Type WB)",
    "Asus AS99127F (Type AS)",
    "SiS 5595 (DAM)",
    "VIA VT82C686A",
    "VIA VT82C686B",
    "VIA VT8231",
    "ITE IT8705F",
    "ITE IT8712F",
    "Unknown",
    "Unknown",
    "Unknown",
};

constexpr int32_t kKindStep = 0x10;

// The ITE Super-I/O test: chip ID 87h/05h or 87h/12h and an active
// environment controller. Returns its base and the chip ID, or false.
bool FindIteController(PortIo& io, int32_t& base, int32_t& chipId) {
  const uint32_t id1 = IT8712Fread(io, superio::kRegChipId);
  const uint32_t id2 = IT8712Fread(io, superio::kRegChipId2);
  if (id1 != kIteChipId1 || (id2 != kIteChipId2[0] && id2 != kIteChipId2[1])) return false;
  // Each read selects the controller itself: another program may select
  // another logical device between two reads.
  if ((IT8712Fread_ldn(io, kIteLdnEc, superio::kRegActivate) & superio::kActiveBit) == 0) {
    return false;
  }
  // High byte first: the two reads are separate port sequences.
  const uint32_t high = IT8712Fread_ldn(io, kIteLdnEc, superio::kRegBaseHigh);
  base = static_cast<int32_t>(high * 256 + IT8712Fread_ldn(io, kIteLdnEc, superio::kRegBaseLow));
  chipId = static_cast<int32_t>(id1 * 256 + id2);
  return true;
}

const BridgeMonitor* BridgeMonitorOf(const PmDevice& pm) {
  for (const BridgeMonitor& m : kBridgeMonitors) {
    if (pm.VendorDevice == static_cast<int32_t>(m.vendorDevice)) return &m;
  }
  return nullptr;
}

// The monitor's base, or -1 when it is switched off or its base unusable.
int32_t BridgeMonitorBase(PortIo& io, const PmDevice& pm, const BridgeMonitor& m) {
  const auto dev = static_cast<uint32_t>(pm.PciDevice);
  const auto fn = static_cast<uint32_t>(pm.PciFunction);
  if (m.enableReg != 0 && (PCIcfg_rdd(io, kBus0, dev, fn, m.enableReg) & m.enableBit) == 0) {
    return -1;
  }
  const auto base = static_cast<int32_t>(PCIcfg_rdd(io, kBus0, dev, fn, m.baseReg) & m.baseMask);
  return IsaBaseUsable(base) ? base : -1;  // -1: monitor base never programmed
}

// Step 1: a monitor inside the matched south bridge.
bool IdentifyBridgeMonitor(PortIo& io, const PmDevice& pm, ChipIdentity& id, int32_t& port) {
  const BridgeMonitor* m = BridgeMonitorOf(pm);
  if (m == nullptr) return false;
  const int32_t base = BridgeMonitorBase(io, pm, *m);
  if (base == -1) return false;
  ChipRegs regs(io, m->path, pm, HwMonitorChip{}, base);
  regs.write(kRegConfig, kStartMonitoring);
  if (regs.read(kRegConfig) != kStartMonitoring) return false;
  id.ChipVendor = m->vendor;
  id.ChipRevision = m->revision != -1 ? m->revision : static_cast<int32_t>(m->vendorDevice >> 16);
  port = base;
  return true;
}

// A PC87366 logical device's block base, or -1 when the BIOS left the
// device inactive or its base unprogrammed: such a block is never touched.
int32_t Pc87366Block(PortIo& io, uint32_t cfg, uint32_t ldn) {
  const auto base = static_cast<int32_t>(PC87366rd_bad(io, cfg, ldn));
  const bool active =
      (PC87366rd_ldn(io, cfg, ldn, superio::kRegActivate) & superio::kActiveBit) != 0;
  return active && PC87366BaseUsable(base) ? base : -1;
}

// Steps 3 and 4: an LM78 / Winbond chip at the ISA pair, or else a PC87366.
bool IdentifyIsaOrSuperIo(PortIo& io, ChipIdentity& id, int32_t& port, bool portUsable) {
  const auto base = static_cast<uint32_t>(port);
  if (portUsable && NS_ISAcheck(io, base) != kIsaNothing) {
    const uint32_t a = WB_ISAread(io, base, kRegChipId, kWbBank0);
    WB_ISAwrite(io, base, kRegConfig, kWbBank0, kStartMonitoring);
    const uint32_t b = WB_ISAread(io, base, kRegConfig, kWbBank0);
    if (a == kIsaNothing || b == 0) return false;
    const uint32_t high = WB_ISAread(io, base, kRegWbVendor, kWbBank0);  // high byte first
    const auto vendor =
        static_cast<int32_t>(high * 256 + WB_ISAread(io, base, kRegWbVendor, kWbBank0Low));
    if (vendor == kVendorWinbond || vendor == kVendorAsus) {
      id.ChipVendor = vendor;
      id.ChipRevision = static_cast<int32_t>(WB_ISAread(io, base, kRegWbChipId, kWbBank0));
    } else {
      id.ChipVendor = kVendorNs;
      id.ChipRevision = static_cast<int32_t>(NS_ISAread(io, base, kRegChipId) & kChipIdMask);
    }
    return true;
  }
  for (uint32_t cfg : superio::kConfigPorts) {
    if (PC87366rd_scr(io, cfg, superio::kRegChipId) != kPc87366Sid) continue;
    id.FsmBase = Pc87366Block(io, cfg, kPc87366LdnFsm);
    id.VlmBase = Pc87366Block(io, cfg, kPc87366LdnVlm);
    id.TmsBase = Pc87366Block(io, cfg, kPc87366LdnTms);
    id.ChipRevision = static_cast<int32_t>(PC87366rd_scr(io, cfg, superio::kRegChipId));
    id.ChipVendor = kVendorNs;
    port = static_cast<int32_t>(cfg);
    return true;
  }
  return false;
}

// Steps 2 to 4: the ITE signature at the ISA pair, else an LM78 / Winbond
// chip there, else a PC87366. A port setting whose index/data pair would
// fall on system-board ports or leave the port space is not touched.
bool IdentifyOnIsa(PortIo& io, ChipIdentity& id, int32_t& port) {
  const bool usable = IsaBaseUsable(port);
  if (!usable || static_cast<int32_t>(NS_ISAread(io, static_cast<uint32_t>(port), kRegWbChipId)) !=
                     kIteSignature) {
    return IdentifyIsaOrSuperIo(io, id, port, usable);
  }
  int32_t ecBase = 0;
  int32_t chipId = 0;
  if (!FindIteController(io, ecBase, chipId) || !IsaBaseUsable(ecBase)) return false;
  id.ChipVendor = static_cast<int32_t>(NS_ISAread(io, static_cast<uint32_t>(ecBase), kRegWbChipId));
  id.ChipRevision = chipId;
  port = ecBase;
  return true;
}

// The LM80 decodes six register address bits, so 40h-7Fh repeat 00h-3Fh:
// its configuration register 00h holds what was just read at 40h, and its
// fan divisor 05h reads again at 45h. Its reserved registers (which 49h and
// 4Fh repeat) may hold anything and say nothing.
bool IsLm80(ChipRegs& smb, int32_t config) {
  if (smb.read(kRegLm80Config) != config) return false;
  const int32_t divisor = smb.read(kRegLm80FanDiv);
  return divisor != -1 && smb.read(kRegLm80FanDiv | kLm80Mirror) == divisor;
}

// LM78 family, Winbond and Asus over the SMBus; false when the LM78-style
// registers do not answer.
bool IdentifySmbusLm78Style(ChipRegs& smb, ChipIdentity& id) {
  smb.write(kWbRegBank, kWbBank0);
  const int32_t a = smb.read(kRegChipId);
  smb.write(kRegConfig, kStartMonitoring);
  const int32_t b = smb.read(kRegConfig);
  if (a == -1 || a == kIsaNothing || b == 0) return false;
  smb.write(kWbRegBank, kWbBank0);
  const int32_t high = smb.read(kRegWbVendor);
  smb.write(kWbRegBank, kWbBank0Low);
  const int32_t vendor = smb.read(kRegWbVendor) + high * 256;
  if (vendor == kVendorWinbond || vendor == kVendorAsus) {
    smb.write(kWbRegBank, kWbBank0);
    id.ChipVendor = vendor;
    id.ChipRevision = smb.read(kRegWbChipId);
    return true;
  }
  id.ChipVendor = kVendorNs;
  if (IsLm80(smb, b)) {
    id.ChipRevision = kLm80Revision;
    return true;
  }
  id.ChipRevision = smb.read(kRegChipId) & kChipIdMask;
  if (id.ChipRevision == kLm8xRevision) {
    const int32_t company = smb.read(kRegLm8xCompany);  // -1 on a failed read counts too
    if (company < kLm8xCompanyLimit) id.ChipRevision |= company & kLm8xCompanyMask;
  }
  return true;
}

// Step 5: the chip at MainSmbAddress. Never sets FoundOnPort.
void IdentifyOnSmbus(PortIo& io, const PmDevice& pm, int32_t mainSmbAddress, ChipIdentity& id,
                     int32_t& port) {
  HwMonitorChip at;
  at.MainSmbAddress = mainSmbAddress;
  ChipRegs smb(io, ChipPath::Smbus, pm, at, port);
  if (smb.read(kRegWbChipId) == kIteSignature) {
    int32_t base = 0;
    int32_t chipId = 0;
    if (FindIteController(io, base, chipId)) {
      port = base;
      id.ChipVendor = smb.read(kRegWbChipId);
      id.ChipRevision = chipId;
    } else if (IsLm80(smb, smb.read(kRegConfig))) {  // its reserved 18h reads as 58h
      id.ChipVendor = kVendorNs;
      id.ChipRevision = kLm80Revision;
    }
    return;
  }
  if (IdentifySmbusLm78Style(smb, id)) return;
  smb.write(kRegGl5xxChipId, kLm80StartBit);
  const int32_t c = smb.read(kRegGl5xxChipId);
  if (c == -1 || c == kIsaNothing) return;
  if ((c & kLm80StartBit) != 0) {
    id.ChipVendor = kVendorNs;
    id.ChipRevision = kLm80Revision;
  } else {
    id.ChipVendor = kVendorGenesys;
    id.ChipRevision = c & kGl5xxIdMask;
  }
}

}  // namespace

BridgeMonitorBlock FindBridgeMonitorBlock(PortIo& io, const PmDevice& pm) {
  const BridgeMonitor* m = BridgeMonitorOf(pm);
  if (m == nullptr || pm.PciDevice < 0) return {};
  return {BridgeMonitorBase(io, pm, *m), m->path};
}

bool IsMainChipSmbusAddress(uint32_t slave) {
  return slave >= kSmbProbeFirst && slave <= kSmbProbeLast;
}

bool IsAuxSensorSmbusAddress(uint32_t slave) {
  return std::find(TempSensorAddressList.begin(), TempSensorAddressList.end(), slave) !=
         TempSensorAddressList.end();
}

std::vector<SuperIoMonitorBlock> FindSuperIoMonitorBlocks(PortIo& io) {
  constexpr uint32_t kIteSpan = 8;  // the environment controller's ISA pair
  std::vector<SuperIoMonitorBlock> blocks;
  int32_t base = -1;
  int32_t chipId = -1;
  if (FindIteController(io, base, chipId) && IsaBaseUsable(base)) {
    const auto b = static_cast<uint32_t>(base);
    blocks.push_back({b, b + kIteSpan - 1});
  }
  for (uint32_t cfg : superio::kConfigPorts) {
    if (PC87366rd_scr(io, cfg, superio::kRegChipId) != kPc87366Sid) continue;
    for (uint32_t ldn : {kPc87366LdnFsm, kPc87366LdnVlm, kPc87366LdnTms}) {
      const int32_t block = Pc87366Block(io, cfg, ldn);
      if (block == -1) continue;
      const uint32_t first = static_cast<uint32_t>(block) & kPc87366BlockMask;
      blocks.push_back({first, first + kPc87366BlockLast});
    }
  }
  return blocks;
}

SmbProbeResult ProbeMainSmbAddress(PortIo& io, int32_t vendorDevice, int32_t smbBase) {
  SmbProbeResult r;
  if (smbBase == -1) return r;
  for (uint32_t addr = kSmbProbeFirst; addr <= kSmbProbeLast; ++addr) {
    if (SMBrdb(io, static_cast<uint32_t>(vendorDevice), static_cast<uint32_t>(smbBase), addr,
               kRegGl5xxChipId) != -1) {
      r.MainSmbAddress = static_cast<int32_t>(addr);
      r.MainSmbFound = true;
      break;
    }
  }
  return r;
}

ChipIdentity IdentifyChip(PortIo& io, const PmDevice& pm, int32_t mainSmbAddress, int32_t& port) {
  ChipIdentity id;
  bool found = IdentifyBridgeMonitor(io, pm, id, port);
  if (!found) found = IdentifyOnIsa(io, id, port);
  if (!found && pm.SmbBase != -1) IdentifyOnSmbus(io, pm, mainSmbAddress, id, port);
  id.ChipKind = ClassifyChip(id.ChipVendor, id.ChipRevision);
  id.FoundOnPort = found;
  return id;
}

void DetectChip(PortIo& io, MonitorSettings& s, DetectState& st) {
  HwMonitorChip& chip = st.chip;
  chip.ChipVendor = chip.ChipRevision = chip.ChipKind = -1;
  chip.SmbTempSensorType = kSensorWord;
  chip.FoundOnPort = false;
  chip.Gl520Vin4Mode = false;

  const int32_t stored = s.MainChipPortAddress;
  const bool refused = st.SettingsPortRestricted && !SettingsPortAllowed(stored);
  int32_t port = refused ? MonitorSettings{}.MainChipPortAddress : stored;
  const ChipIdentity id = IdentifyChip(io, st.pm, chip.MainSmbAddress, port);
  s.MainChipPortAddress = port;
  // A stored port the program finds again on its own was not taken from the file.
  st.RefusedSettingsPort = refused && port != stored ? stored : -1;
  chip.ChipVendor = id.ChipVendor;
  chip.ChipRevision = id.ChipRevision;
  chip.ChipKind = id.ChipKind;
  chip.FoundOnPort = id.FoundOnPort;
  chip.FsmBase = id.FsmBase;
  chip.VlmBase = id.VlmBase;
  chip.TmsBase = id.TmsBase;

  if (s.SettingsDefaulted && !chip.FoundOnPort) s.MainChipSMBUse = true;
  if (chip.ChipKind == kind::GL520SM) {
    ChipRegs smb(io, ChipPath::Smbus, st.pm, chip, port);
    const int32_t config = smb.read(kRegGl520Config);
    chip.Gl520Vin4Mode = config != -1 && (config & kGl520Vin4Bit) != 0;
  }
}

int32_t ClassifyChip(int32_t vendor, int32_t revision) {
  for (const KindEntry& e : kKindTable) {
    if (e.vendor == vendor && e.revision == revision) return e.kind;
  }
  for (const VendorDefault& d : kVendorDefaults) {
    if (d.vendor == vendor) return d.kind;
  }
  return kind::Unknown;
}

std::string_view ChipName(int32_t kind) {
  if (kind < 0 || kind / kKindStep >= static_cast<int32_t>(kChipNames.size())) return "Unknown";
  return kChipNames[static_cast<size_t>(kind / kKindStep)];
}

}  // namespace kev
