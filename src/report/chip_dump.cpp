#include "report/chip_dump.h"

#include <array>

#include "hw/uns_isa.h"
#include "hw/upc87366.h"
#include "hw/usmbus.h"
#include "hw/uvt82c686a.h"
#include "hw/uwb_isa.h"
#include "report/dump_layout.h"
#include "report/registers.h"
#include "report/text_format.h"

namespace kev::report {

namespace {

// The register access of the fresh probe's chip.
struct DumpPath {
  PortIo& io;
  const InfoSummary& s;

  bool smb() const { return s.MainSmbAddress != -1; }
  uint32_t port() const { return static_cast<uint32_t>(s.ChipPort); }
  int32_t smbRead(uint32_t reg) const {
    return SMBrdb(io, s.PmId, static_cast<uint32_t>(s.PmBase),
                  static_cast<uint32_t>(s.MainSmbAddress), reg);
  }
  int32_t smbWord(uint32_t reg) const {
    return SMBrdw(io, s.PmId, static_cast<uint32_t>(s.PmBase),
                  static_cast<uint32_t>(s.MainSmbAddress), reg);
  }
  void smbWrite(uint32_t reg, uint32_t value) const {
    SMBwtb(io, s.PmId, static_cast<uint32_t>(s.PmBase), static_cast<uint32_t>(s.MainSmbAddress),
           reg, value);
  }
  int32_t read(DumpAccess access, uint32_t reg) const {
    if (access == DumpAccess::Via) return static_cast<int32_t>(VT82C686Aread(io, port(), reg));
    if (smb()) return smbRead(reg);
    return static_cast<int32_t>(NS_ISAread(io, port(), reg));
  }
  // Winbond banked read; over the SMBus the caller has selected the bank.
  int32_t banked(uint32_t reg, uint32_t bank) const {
    if (smb()) return smbRead(reg);
    return static_cast<int32_t>(WB_ISAread(io, port(), reg, bank));
  }
  void selectBankOverSmbus(uint32_t bank) const {
    if (smb()) smbWrite(kWbRegBankSelect, bank);
  }
};

void AppendLine(std::string& out, std::string_view what, uint32_t reg, int32_t value, int digits) {
  out += "  ";
  out += what;
  out += ' ';
  AppendHex(out, reg, 2);
  out += "h : ";
  AppendHex(out, value, digits);
  out += 'h';
}

void AppendRegLine(std::string& out, uint32_t reg, int32_t value, int digits = 2) {
  AppendLine(out, "REG", reg, value, digits);
  out += '\n';
}

void AppendBankLine(std::string& out, std::string_view what, uint32_t reg, int32_t value,
                    uint32_t bank) {
  AppendLine(out, what, reg, value, 2);
  out += "  (BANK  : ";
  AppendDec(out, static_cast<int32_t>(bank));
  out += ")\n";
}

void DumpRanges(std::string& out, const DumpPath& chip, const DumpLayout& rule) {
  for (const RegRange& r : rule.ranges) {
    if (r.digits == 0) continue;
    for (uint32_t reg = r.first; reg <= r.last; ++reg) {
      const int32_t v = r.digits == 4 ? chip.smbWord(reg) : chip.read(rule.access, reg);
      AppendRegLine(out, reg, v, r.digits);
    }
  }
}

// Register 4Fh with the high-byte select bit (HBACS) as given.
void AppendVendorIdLine(std::string& out, int32_t value, int hbacs) {
  AppendLine(out, "REG", kWbRegVendorId, value, 2);
  out += "  (HBACS : ";
  AppendDec(out, hbacs);
  out += ")\n";
}

void DumpWinbond(std::string& out, const DumpPath& chip) {
  chip.selectBankOverSmbus(kWbBank0High);
  for (uint32_t reg = kWbDumpCommonFirst; reg <= kWbDumpCommonLast; ++reg) {
    AppendRegLine(out, reg, chip.banked(reg, kWbBank0High));
  }
  AppendVendorIdLine(out, chip.banked(kWbRegVendorId, kWbBank0High), 1);
  chip.selectBankOverSmbus(kWbBank0Low);
  AppendVendorIdLine(out, chip.banked(kWbRegVendorId, kWbBank0Low), 0);
  chip.selectBankOverSmbus(kWbBank0High);
  for (uint32_t b = 0; b < kWbDumpBanks; ++b) {
    const uint32_t bank = kWbBank0High + b;
    chip.selectBankOverSmbus(bank);
    for (uint32_t reg = kWbDumpBankedFirst; reg <= kWbDumpBankedLast; ++reg) {
      AppendBankLine(out, "REG", reg, chip.banked(reg, bank), b);
    }
  }
  if (chip.smb()) {
    chip.smbWrite(kWbRegBankSelect, kWbBank0High);
  } else {
    NS_ISAwrite(chip.io, chip.port(), kWbRegBankSelect, kWbBank0Low);
  }
}

// Run-time block bases of the three logical devices; -1 for none.
struct PcBases {
  int32_t fsm;
  int32_t vlm;
  int32_t tms;
};

// The bases found at start-up; where start-up found none, the ones the
// fresh identification read.
PcBases PcBasesFor(const InfoSummary& s, const DetectState& st) {
  const auto pick = [](int32_t atStart, int32_t fresh) { return atStart != -1 ? atStart : fresh; };
  return {pick(st.chip.FsmBase, s.FsmBase), pick(st.chip.VlmBase, s.VlmBase),
          pick(st.chip.TmsBase, s.TmsBase)};
}

// A block without a usable base reads FFh, as an absent device would, and
// no port is touched for it.
constexpr int32_t kAbsentByte = 0xFF;

int32_t PcBlockRead(PortIo& io, const PcBases& b, PcBlock block, uint32_t ofs, uint32_t bank) {
  const int32_t base = block == PcBlock::Fsm ? b.fsm : block == PcBlock::Vlm ? b.vlm : b.tms;
  if (!PC87366BaseUsable(base)) return kAbsentByte;
  const auto port = static_cast<uint32_t>(base);
  switch (block) {
    case PcBlock::Fsm:
      return static_cast<int32_t>(PC87366rd_fsm(io, port, ofs));
    case PcBlock::Vlm:
      return static_cast<int32_t>(PC87366rd_vlm(io, port, ofs, bank));
    case PcBlock::Tms:
      break;
  }
  return static_cast<int32_t>(PC87366rd_tms(io, port, ofs, bank));
}

void DumpPcBlock(std::string& out, PortIo& io, const PcBases& b, const PcDumpDevice& dev) {
  if (dev.lastBank == 0) {
    for (uint32_t ofs = 0; ofs < kPcDumpBlockOffsets; ++ofs) {
      AppendLine(out, "OFS", ofs, PcBlockRead(io, b, dev.block, ofs, 0), 2);
      out += '\n';
    }
    return;
  }
  for (uint32_t bank = 0; bank <= dev.lastBank; ++bank) {
    for (uint32_t ofs = bank == 0 ? 0 : kPcDumpChannelFirst; ofs < kPcDumpBlockOffsets; ++ofs) {
      AppendBankLine(out, "OFS", ofs, PcBlockRead(io, b, dev.block, ofs, bank), bank);
    }
  }
}

void DumpPc87366(std::string& out, PortIo& io, uint32_t port, const PcBases& b) {
  for (uint8_t reg : kPcDumpGlobalRegs) AppendRegLine(out, reg, PC87366rd_scr(io, port, reg));
  for (const PcDumpDevice& dev : kPcDumpDevices) {
    out += "\n  LDN : ";
    AppendHex(out, dev.ldn, 2);
    out += "h\n";
    for (uint8_t reg : kPcDumpDeviceRegs)
      AppendRegLine(out, reg, PC87366rd_ldn(io, port, dev.ldn, reg));
    DumpPcBlock(out, io, b, dev);
  }
}

bool Reachable(DumpWhen when, const InfoSummary& s) {
  const bool smb = s.MainSmbAddress != -1;
  switch (when) {
    case DumpWhen::SmbOrIsa:
      return smb || s.IsaFlag;
    case DumpWhen::SmbOnly:
      return smb;
    case DumpWhen::IsaOnly:
      break;
  }
  return s.IsaFlag;
}

}  // namespace

void AppendChipRegisters(std::string& out, PortIo& io, const InfoSummary& s,
                         const DetectState& state) {
  const DumpLayout* rule = DumpLayoutOf(s.ChipKind);
  if (rule == nullptr || !Reachable(rule->when, s)) return;
  out += '\n';
  out += Banner("Registers Value");
  out += "\n\n";
  const DumpPath chip{io, s};
  switch (rule->style) {
    case DumpStyle::Ranges:
      DumpRanges(out, chip, *rule);
      break;
    case DumpStyle::Winbond:
      DumpWinbond(out, chip);
      break;
    case DumpStyle::Pc87366:
      DumpPc87366(out, io, chip.port(), PcBasesFor(s, state));
      break;
  }
  out += kSectionRule;
  out += "\n\n";
}

}  // namespace kev::report
