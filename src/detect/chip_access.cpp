#include "detect/chip_access.h"

#include "hw/uns_isa.h"
#include "hw/upc87366.h"
#include "hw/usmbus.h"
#include "hw/uvt82c686a.h"
#include "hw/uwb_isa.h"

namespace kev {

ChipRegs::ChipRegs(PortIo& io, ChipPath path, const PmDevice& pm, const HwMonitorChip& chip,
                   int32_t port)
    : io_(io),
      path_(path),
      pmId_(static_cast<uint32_t>(pm.VendorDevice)),
      smbBase_(static_cast<uint32_t>(pm.SmbBase)),
      slave_(static_cast<uint32_t>(chip.MainSmbAddress)),
      port_(static_cast<uint32_t>(port)),
      fsm_(chip.FsmBase),
      vlm_(chip.VlmBase),
      tms_(chip.TmsBase) {
  // Without an SMBus host there is nothing to talk to.
  if (path_ == ChipPath::Smbus && pm.SmbBase == -1) path_ = ChipPath::None;
}

int32_t ChipRegs::block(RegSpace space) const {
  const int32_t base = space == RegSpace::Main ? fsm_ : space == RegSpace::Voltage ? vlm_ : tms_;
  return PC87366BaseUsable(base) ? base : -1;
}

int32_t ChipRegs::read(uint8_t reg, uint8_t bank, RegSpace space) {
  switch (path_) {
    case ChipPath::None:
      return -1;
    case ChipPath::Smbus: {
      if (bank == kWbBank0) return SMBrdb(io_, pmId_, smbBase_, slave_, reg);
      return SMBrdb_banked(io_, pmId_, smbBase_, slave_, reg, bank, true);
    }
    case ChipPath::IsaPair:
      return static_cast<int32_t>(NS_ISAread(io_, port_, reg));
    case ChipPath::WinbondIsa:
      return static_cast<int32_t>(WB_ISAread(io_, port_, reg, bank));
    case ChipPath::Via:
      return static_cast<int32_t>(VT82C686Aread(io_, port_, reg));
    case ChipPath::Pc87366: {
      const int32_t base = block(space);
      if (base == -1) return -1;
      const auto b = static_cast<uint32_t>(base);
      switch (space) {
        case RegSpace::Main:
          return static_cast<int32_t>(PC87366rd_fsm(io_, b, reg));
        case RegSpace::Voltage:
          return static_cast<int32_t>(PC87366rd_vlm(io_, b, reg, bank));
        case RegSpace::Temperature:
          return static_cast<int32_t>(PC87366rd_tms(io_, b, reg, bank));
      }
    }
  }
  return -1;
}

void ChipRegs::write(uint8_t reg, uint8_t value, uint8_t bank, RegSpace space) {
  switch (path_) {
    case ChipPath::None:
      return;
    case ChipPath::Smbus:
      if (bank != kWbBank0) SMBwtb(io_, pmId_, smbBase_, slave_, kWbRegBank, bank);
      SMBwtb(io_, pmId_, smbBase_, slave_, reg, value);
      if (bank != kWbBank0) SMBwtb(io_, pmId_, smbBase_, slave_, kWbRegBank, kWbBank0);
      return;
    case ChipPath::IsaPair:
      NS_ISAwrite(io_, port_, reg, value);
      return;
    case ChipPath::WinbondIsa:
      WB_ISAwrite(io_, port_, reg, bank, value);
      return;
    case ChipPath::Via:
      VT82C686Awrite(io_, port_, reg, value);
      return;
    case ChipPath::Pc87366: {
      const int32_t base = block(space);
      if (base == -1) return;
      const auto b = static_cast<uint32_t>(base);
      switch (space) {
        case RegSpace::Main:
          PC87366wt_fsm(io_, b, reg, value);
          return;
        case RegSpace::Voltage:
          PC87366wt_vlm(io_, b, reg, bank, value);
          return;
        case RegSpace::Temperature:
          PC87366wt_tms(io_, b, reg, bank, value);
          return;
      }
    }
  }
}

int32_t ChipRegs::readWord(uint8_t reg) {
  if (path_ != ChipPath::Smbus) return -1;
  return SMBrdw(io_, pmId_, smbBase_, slave_, reg);
}

}  // namespace kev
