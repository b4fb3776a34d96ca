#include "report/chip_dump.h"

#include <array>

#include "hw/uns_isa.h"
#include "hw/upc87366.h"
#include "hw/usmbus.h"
#include "hw/uvt82c686a.h"
#include "hw/uwb_isa.h"
#include "report/registers.h"
#include "report/text_format.h"

namespace kev::report {

namespace {

// How a dump is laid out.
enum class Style { Ranges, Winbond, Pc87366 };
// Which path reaches the registers: the SMBus at the main address when
// there is one, else the ISA pair at the chip port; or the VIA monitor's
// I/O block at the chip port.
enum class Access { Register, Via };
// When a dump is printed at all.
enum class When { SmbOrIsa, SmbOnly, IsaOnly };

struct RegRange {
  uint8_t first;
  uint8_t last;
  int digits;  // 2 for byte reads, 4 for 16-bit word reads
};

struct DumpRule {
  Style style;
  When when;
  Access access;
  std::array<RegRange, 3> ranges;  // unused entries have digits 0
};

constexpr DumpRule kLm78Dump{Style::Ranges, When::SmbOrIsa, Access::Register, {{{0x20, 0x4F, 2}}}};
constexpr DumpRule kLm80Dump{
    Style::Ranges, When::SmbOnly, Access::Register, {{{0x00, 0x06, 2}, {0x20, 0x3F, 2}}}};
constexpr DumpRule kLm8xDump{
    Style::Ranges, When::SmbOnly, Access::Register, {{{0x13, 0x4D, 2}, {0x80, 0x80, 2}}}};
constexpr DumpRule kGenesysDump{Style::Ranges,
                                When::SmbOnly,
                                Access::Register,
                                {{{0x00, 0x06, 2}, {0x07, 0x0C, 4}, {0x0D, 0x1F, 2}}}};
constexpr DumpRule kViaDump{Style::Ranges, When::IsaOnly, Access::Via, {{{0x20, 0x5F, 2}}}};
constexpr DumpRule kIteDump{Style::Ranges, When::SmbOrIsa, Access::Register, {{{0x00, 0x7F, 2}}}};
constexpr DumpRule kWinbondDump{Style::Winbond, When::SmbOrIsa, Access::Register, {}};
constexpr DumpRule kPc87366Dump{Style::Pc87366, When::IsaOnly, Access::Register, {}};

struct KindDump {
  int32_t kind;
  const DumpRule* rule;
};

constexpr std::array<KindDump, 25> kKindDumps{{
    {kind::LM78Compatible, &kLm78Dump}, {kind::LM78, &kLm78Dump},
    {kind::LM78J, &kLm78Dump},          {kind::LM79, &kLm78Dump},
    {kind::SiS5595, &kLm78Dump},        {kind::LM80, &kLm80Dump},
    {kind::LM81, &kLm8xDump},           {kind::LM87, &kLm8xDump},
    {kind::PC87366, &kPc87366Dump},     {kind::Unknown, &kWinbondDump},
    {kind::WinbondChip, &kWinbondDump}, {kind::W83781D, &kWinbondDump},
    {kind::W83627HF, &kWinbondDump},    {kind::W83782D, &kWinbondDump},
    {kind::W83783S, &kWinbondDump},     {kind::W83697HF, &kWinbondDump},
    {kind::AS99127F_WB, &kWinbondDump}, {kind::AS99127F_AS, &kWinbondDump},
    {kind::GL518SM, &kGenesysDump},     {kind::GL520SM, &kGenesysDump},
    {kind::VT82C686A, &kViaDump},       {kind::VT82C686B, &kViaDump},
    {kind::VT8231, &kViaDump},          {kind::IT8705F, &kIteDump},
    {kind::IT8712F, &kIteDump},
}};

const DumpRule* RuleFor(int32_t chipKind) {
  for (const KindDump& k : kKindDumps) {
    if (k.kind == chipKind) return k.rule;
  }
  return nullptr;
}

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
  int32_t read(Access access, uint32_t reg) const {
    if (access == Access::Via) return static_cast<int32_t>(VT82C686Aread(io, port(), reg));
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

void DumpRanges(std::string& out, const DumpPath& chip, const DumpRule& rule) {
  for (const RegRange& r : rule.ranges) {
    if (r.digits == 0) continue;
    for (uint32_t reg = r.first; reg <= r.last; ++reg) {
      const int32_t v = r.digits == 4 ? chip.smbWord(reg) : chip.read(rule.access, reg);
      AppendRegLine(out, reg, v, r.digits);
    }
  }
}

constexpr uint32_t kWbPlainFirst = 0x20;
constexpr uint32_t kWbPlainLast = 0x4E;
constexpr uint32_t kWbBankedFirst = 0x50;
constexpr uint32_t kWbBankedLast = 0x5F;
constexpr uint32_t kWbBanks = 8;

// Register 4Fh with the high-byte select bit (HBACS) as given.
void AppendVendorIdLine(std::string& out, int32_t value, int hbacs) {
  AppendLine(out, "REG", kWbRegVendorId, value, 2);
  out += "  (HBACS : ";
  AppendDec(out, hbacs);
  out += ")\n";
}

void DumpWinbond(std::string& out, const DumpPath& chip) {
  chip.selectBankOverSmbus(kWbBank0High);
  for (uint32_t reg = kWbPlainFirst; reg <= kWbPlainLast; ++reg) {
    AppendRegLine(out, reg, chip.banked(reg, kWbBank0High));
  }
  AppendVendorIdLine(out, chip.banked(kWbRegVendorId, kWbBank0High), 1);
  chip.selectBankOverSmbus(kWbBank0Low);
  AppendVendorIdLine(out, chip.banked(kWbRegVendorId, kWbBank0Low), 0);
  chip.selectBankOverSmbus(kWbBank0High);
  for (uint32_t b = 0; b < kWbBanks; ++b) {
    const uint32_t bank = kWbBank0High + b;
    chip.selectBankOverSmbus(bank);
    for (uint32_t reg = kWbBankedFirst; reg <= kWbBankedLast; ++reg) {
      AppendBankLine(out, "REG", reg, chip.banked(reg, bank), b);
    }
  }
  if (chip.smb()) {
    chip.smbWrite(kWbRegBankSelect, kWbBank0High);
  } else {
    NS_ISAwrite(chip.io, chip.port(), kWbRegBankSelect, kWbBank0Low);
  }
}

// PC87366: global configuration registers, then three logical devices.
constexpr uint32_t kScrLogicalDevice = 0x07;
constexpr std::array<uint8_t, 15> kPcGlobalRegs{0x07, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26,
                                                0x27, 0x28, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E};
constexpr std::array<uint8_t, 12> kPcDeviceRegs{0x30, 0x60, 0x61, 0x62, 0x63, 0x70,
                                                0x71, 0x74, 0x75, 0xF0, 0xF1, 0xF2};
constexpr uint32_t kPcBlockOffsets = 0x10;
constexpr uint32_t kPcChannelFirst = 0x0A;  // first offset of the selected channel

enum class PcBlock { Fsm, Vlm, Tms };

struct PcDevice {
  uint32_t ldn;
  PcBlock block;
  uint32_t lastBank;  // 0: the block has no banks
};

constexpr std::array<PcDevice, 3> kPcDevices{{
    {kPc87366LdnFsm, PcBlock::Fsm, 0},
    {kPc87366LdnVlm, PcBlock::Vlm, 13},
    {kPc87366LdnTms, PcBlock::Tms, 2},
}};

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

void DumpPcBlock(std::string& out, PortIo& io, const PcBases& b, const PcDevice& dev) {
  if (dev.lastBank == 0) {
    for (uint32_t ofs = 0; ofs < kPcBlockOffsets; ++ofs) {
      AppendLine(out, "OFS", ofs, PcBlockRead(io, b, dev.block, ofs, 0), 2);
      out += '\n';
    }
    return;
  }
  for (uint32_t bank = 0; bank <= dev.lastBank; ++bank) {
    for (uint32_t ofs = bank == 0 ? 0 : kPcChannelFirst; ofs < kPcBlockOffsets; ++ofs) {
      AppendBankLine(out, "OFS", ofs, PcBlockRead(io, b, dev.block, ofs, bank), bank);
    }
  }
}

void DumpPc87366(std::string& out, PortIo& io, uint32_t port, const PcBases& b) {
  for (uint8_t reg : kPcGlobalRegs) AppendRegLine(out, reg, PC87366rd_scr(io, port, reg));
  for (const PcDevice& dev : kPcDevices) {
    out += "\n  LDN : ";
    AppendHex(out, dev.ldn, 2);
    out += "h\n";
    for (uint8_t reg : kPcDeviceRegs) {
      PC87366wt_scr(io, port, kScrLogicalDevice, dev.ldn);
      AppendRegLine(out, reg, PC87366rd_scr(io, port, reg));
    }
    DumpPcBlock(out, io, b, dev);
  }
}

bool Reachable(When when, const InfoSummary& s) {
  const bool smb = s.MainSmbAddress != -1;
  switch (when) {
    case When::SmbOrIsa:
      return smb || s.IsaFlag;
    case When::SmbOnly:
      return smb;
    case When::IsaOnly:
      break;
  }
  return s.IsaFlag;
}

}  // namespace

void AppendChipRegisters(std::string& out, PortIo& io, const InfoSummary& s,
                         const DetectState& state) {
  const DumpRule* rule = RuleFor(s.ChipKind);
  if (rule == nullptr || !Reachable(rule->when, s)) return;
  out += '\n';
  out += Banner("Registers Value");
  out += "\n\n";
  const DumpPath chip{io, s};
  switch (rule->style) {
    case Style::Ranges:
      DumpRanges(out, chip, *rule);
      break;
    case Style::Winbond:
      DumpWinbond(out, chip);
      break;
    case Style::Pc87366:
      DumpPc87366(out, io, chip.port(), PcBasesFor(s, state));
      break;
  }
  out += kSectionRule;
  out += "\n\n";
}

}  // namespace kev::report
