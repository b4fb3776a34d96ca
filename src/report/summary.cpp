#include "report/summary.h"

#include "detect/detect.h"
#include "hw/usmbus.h"
#include "hw/uwb_isa.h"
#include "report/registers.h"
#include "report/text_format.h"

namespace kev::report {

namespace {

constexpr int32_t kProbeStartPort = 0x290;
constexpr uint32_t kSmbBasePortMask = 0xFFFF;
constexpr int32_t kNoSubClients = 0xFF;

// The chips whose serial-bus address register names two sub-clients.
constexpr std::array<int32_t, 6> kSubClientKinds{kind::WinbondChip, kind::W83781D,
                                                 kind::W83627HF,    kind::W83782D,
                                                 kind::AS99127F_WB, kind::AS99127F_AS};

bool HasSubClients(int32_t chipKind) {
  for (int32_t k : kSubClientKinds) {
    if (k == chipKind) return true;
  }
  return false;
}

struct Smb {
  PortIo& io;
  uint32_t pmId;
  uint32_t base;

  int32_t read(int32_t slave, uint32_t reg) const {
    return SMBrdb(io, pmId, base, static_cast<uint32_t>(slave), reg);
  }
  void write(int32_t slave, uint32_t reg, uint32_t value) const {
    SMBwtb(io, pmId, base, static_cast<uint32_t>(slave), reg, value);
  }
};

// Register 4Ah in bank 0 with the high-byte bit set, or -1 when the chip
// cannot be reached for it.
int32_t ReadSerialAddress(const Smb& smb, const InfoSummary& s) {
  if (s.MainSmbAddress != -1) {
    smb.write(s.MainSmbAddress, kWbRegBankSelect, kWbBank0High);
    return smb.read(s.MainSmbAddress, kWbRegSerialAddress);
  }
  if (s.PmBase != -1 && s.IsaFlag) {
    return static_cast<int32_t>(
        WB_ISAread(smb.io, static_cast<uint32_t>(s.ChipPort), kWbRegSerialAddress, kWbBank0High));
  }
  return -1;
}

void TakeSubClients(InfoSummary& s, int32_t reg, bool withSecondClient) {
  if (reg == 0 || reg == kNoSubClients || reg == -1) return;
  const auto v = static_cast<uint32_t>(reg);
  if ((v & kWbSub1Disable) == 0) {
    s.SecondSmbAddress = kWbSubClientBase + static_cast<int32_t>(v & kWbSub1Mask);
  }
  if (withSecondClient && (v & kWbSub2Disable) == 0) {
    s.ThirdSmbAddress = kWbSubClientBase + static_cast<int32_t>((v >> kWbSub2Shift) & kWbSub1Mask);
  }
}

bool IsTemperatureSensor(const Smb& smb, size_t candidate) {
  const int32_t address = TempSensorAddressList[candidate];
  if (smb.read(address, kSensorRegTemp) == -1) return false;
  if (candidate >= static_cast<size_t>(kSensorMfrTestedCandidates)) return true;
  const int32_t id = smb.read(address, kSensorRegMfrId);
  return id == kSensorMfrIdA || id == kSensorMfrIdB;
}

void SearchSensorList(const Smb& smb, InfoSummary& s) {
  for (size_t i = 0; i < TempSensorAddressList.size(); ++i) {
    if (s.SecondSmbAddress != -1 && s.ThirdSmbAddress != -1) break;
    if (!IsTemperatureSensor(smb, i)) continue;
    const int32_t address = TempSensorAddressList[i];
    if (s.SecondSmbAddress == -1) {
      s.SecondSmbAddress = address;
    } else if (address != s.SecondSmbAddress) {
      s.ThirdSmbAddress = address;
    }
  }
}

void FindFurtherDevices(PortIo& io, InfoSummary& s) {
  const Smb smb{io, s.PmId, static_cast<uint32_t>(s.PmBase)};
  if (HasSubClients(s.ChipKind)) {
    TakeSubClients(s, ReadSerialAddress(smb, s), true);
  } else if (s.ChipKind == kind::W83783S && s.MainSmbAddress != -1) {
    smb.write(s.MainSmbAddress, kWbRegBankSelect, kWbBank0High);
    TakeSubClients(s, smb.read(s.MainSmbAddress, kWbRegSerialAddress), false);
  } else if (s.PmBase != -1) {
    SearchSensorList(smb, s);
  }
}

std::string AddressText(int32_t address) {
  if (address == -1) return std::string(kNotFoundText);
  return Hex(static_cast<uint32_t>(address), 2) + "h";
}

void FillTexts(InfoSummary& s) {
  if (s.PmBase == -1) {
    s.texts[kLinePmDevice] = s.texts[kLinePmFunction] = s.texts[kLineSmbBase] = kNotFoundText;
  } else {
    s.texts[kLinePmDevice] = std::to_string(s.pm.PciDevice);
    s.texts[kLinePmFunction] = std::to_string(s.pm.PciFunction);
    s.texts[kLineSmbBase] = Hex(static_cast<uint32_t>(s.PmBase) & kSmbBasePortMask, 4) + "h";
  }
  s.texts[kLineChip] = std::string(ChipName(s.ChipKind));
  s.texts[kLineMainAddress] = AddressText(s.MainSmbAddress);
  s.texts[kLineSecondAddress] = AddressText(s.SecondSmbAddress);
  s.texts[kLineThirdAddress] = AddressText(s.ThirdSmbAddress);
}

}  // namespace

InfoSummary GatherSummary(PortIo& io) {
  InfoSummary s;
  s.pm = ScanPmDevice(io);
  s.PmId = static_cast<uint32_t>(s.pm.VendorDevice);
  s.PmBase = s.pm.SmbBase;
  s.ChipPort = kProbeStartPort;
  if (s.PmBase != -1) {
    s.MainSmbAddress = ProbeMainSmbAddress(io, s.pm.VendorDevice, s.PmBase).MainSmbAddress;
  }
  const ChipIdentity id = IdentifyChip(io, s.pm, s.MainSmbAddress, s.ChipPort);
  s.ChipKind = id.ChipKind;
  s.IsaFlag = id.FoundOnPort;
  s.FsmBase = id.FsmBase;
  s.VlmBase = id.VlmBase;
  s.TmsBase = id.TmsBase;
  s.texts[kLinePmChip] = std::string(PmDeviceName(io, s.pm.VendorDevice, s.pm.Revision));
  s.ChipKind = NamedChipKind(s.ChipKind, s.pm);
  FindFurtherDevices(io, s);
  FillTexts(s);
  return s;
}

int32_t NamedChipKind(int32_t chipKind, const PmDevice& pm) {
  const bool partB = static_cast<uint32_t>(pm.VendorDevice) == kVt82c686PmId && pm.Revision != -1 &&
                     (pm.Revision & kVt82c686bRevisionBit) != 0;
  return partB && chipKind == kind::VT82C686A ? kind::VT82C686B : chipKind;
}

}  // namespace kev::report
