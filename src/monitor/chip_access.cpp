#include "monitor/chip_access.h"

#include "hw/uns_isa.h"
#include "hw/upc87366.h"
#include "hw/usmbus.h"
#include "hw/uvt82c686a.h"
#include "hw/uwb_isa.h"

namespace kev {

namespace {

// Ports below 100h belong to the system board (DMA, interrupt controller,
// timer, Super-I/O configuration); no monitor block sits there.
constexpr int32_t kFirstChipPort = 0x100;
constexpr int32_t kLastPort = 0xFFFF;
constexpr int32_t kIsaDataOffset = 6;  // the pair's highest port above its base

uint32_t Port(const MonitorContext& ctx) {
  return static_cast<uint32_t>(ctx.settings.MainChipPortAddress);
}

// Whether every port the access touches lies above the system-board ports
// and inside the port space; a base elsewhere (a damaged setting, a block
// never found) would land on or wrap onto system ports.
bool PortsUsable(const MonitorContext& ctx, const RegRead& r) {
  const HwMonitorChip& chip = ctx.detect.chip;
  const auto within = [](int32_t base, int32_t span) {
    return base >= kFirstChipPort && base <= kLastPort - span;
  };
  switch (r.path) {
    case ReadPath::NsIsa:
    case ReadPath::WbIsa:
      return within(ctx.settings.MainChipPortAddress, kIsaDataOffset);
    case ReadPath::Via:
      return within(ctx.settings.MainChipPortAddress, r.reg);
    case ReadPath::Fsm:
      return within(chip.FsmBase, 0);
    case ReadPath::Vlm:
      return within(chip.VlmBase, 0);
    case ReadPath::Tms:
      return within(chip.TmsBase, 0);
    default:
      return true;
  }
}

bool HostPresent(const MonitorContext& ctx) { return ctx.detect.pm.SmbBase != -1; }

uint32_t U(int32_t v) { return static_cast<uint32_t>(v); }

// A register's byte; a read that did not run (the port helper refused it,
// or another program held the hardware) comes back all ones and fails.
int32_t RegByte(uint32_t v) { return v > 0xFF ? -1 : static_cast<int32_t>(v); }

int32_t SmbByte(const MonitorContext& ctx, int32_t slave, uint8_t reg) {
  const PmDevice& pm = ctx.detect.pm;
  return SMBrdb(ctx.io, U(pm.VendorDevice), U(pm.SmbBase), U(slave), reg);
}

bool SmbWrite(const MonitorContext& ctx, int32_t slave, uint8_t reg, uint8_t value) {
  const PmDevice& pm = ctx.detect.pm;
  return SMBwtb(ctx.io, U(pm.VendorDevice), U(pm.SmbBase), U(slave), reg, value) != -1;
}

}  // namespace

bool ChipOnSmbus(const MonitorContext& ctx) { return ctx.settings.MainChipSMBUse; }

int32_t ReadRegister(const MonitorContext& ctx, const RegRead& r) {
  const HwMonitorChip& chip = ctx.detect.chip;
  const bool smbPath =
      r.path == ReadPath::Smb || r.path == ReadPath::SmbBanked || r.path == ReadPath::SmbWord;
  if (smbPath && (!HostPresent(ctx) || chip.MainSmbAddress == -1)) return -1;
  if (!PortsUsable(ctx, r)) return -1;
  switch (r.path) {
    case ReadPath::None:
      return -1;
    case ReadPath::NsIsa:
      return RegByte(NS_ISAread(ctx.io, Port(ctx), r.reg));
    case ReadPath::WbIsa:
      return RegByte(WB_ISAread(ctx.io, Port(ctx), r.reg, r.bank));
    case ReadPath::Via:
      return RegByte(VT82C686Aread(ctx.io, Port(ctx), r.reg));
    case ReadPath::Fsm:
      return RegByte(PC87366rd_fsm(ctx.io, U(chip.FsmBase), r.reg));
    case ReadPath::Vlm:
      return RegByte(PC87366rd_vlm(ctx.io, U(chip.VlmBase), r.reg, r.bank));
    case ReadPath::Tms:
      return RegByte(PC87366rd_tms(ctx.io, U(chip.TmsBase), r.reg, r.bank));
    case ReadPath::SmbBanked:
      // Select and read as one operation; the bank stays selected.
      return SMBrdb_banked(ctx.io, U(ctx.detect.pm.VendorDevice), U(ctx.detect.pm.SmbBase),
                           U(chip.MainSmbAddress), r.reg, r.bank, false);
    case ReadPath::Smb:
      return SmbByte(ctx, chip.MainSmbAddress, r.reg);
    case ReadPath::SmbWord:
      return SmbReadWordAt(ctx, chip.MainSmbAddress, r.reg);
  }
  return -1;
}

bool WriteRegister(const MonitorContext& ctx, const RegRead& r, uint8_t value) {
  const HwMonitorChip& chip = ctx.detect.chip;
  if (!PortsUsable(ctx, r)) return false;
  switch (r.path) {
    case ReadPath::WbIsa:
      WB_ISAwrite(ctx.io, Port(ctx), r.reg, r.bank, value);
      return true;
    case ReadPath::NsIsa:
      NS_ISAwrite(ctx.io, Port(ctx), r.reg, value);
      return true;
    case ReadPath::SmbBanked:
      if (!HostPresent(ctx) || chip.MainSmbAddress == -1) return false;
      if (!SmbWrite(ctx, chip.MainSmbAddress, kWbRegBankSelect, r.bank)) return false;
      return SmbWrite(ctx, chip.MainSmbAddress, r.reg, value);
    case ReadPath::Smb:
      if (!HostPresent(ctx) || chip.MainSmbAddress == -1) return false;
      return SmbWrite(ctx, chip.MainSmbAddress, r.reg, value);
    default:
      return false;
  }
}

int32_t SmbReadByteAt(const MonitorContext& ctx, int32_t slave, uint8_t reg) {
  if (!HostPresent(ctx) || slave < 0) return -1;
  return SmbByte(ctx, slave, reg);
}

int32_t SmbReadWordAt(const MonitorContext& ctx, int32_t slave, uint8_t reg) {
  if (!HostPresent(ctx) || slave < 0) return -1;
  const PmDevice& pm = ctx.detect.pm;
  return SMBrdw(ctx.io, U(pm.VendorDevice), U(pm.SmbBase), U(slave), reg);
}

}  // namespace kev
