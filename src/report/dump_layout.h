// The layout of the profile's "Registers Value" section by chip kind: which
// registers it dumps and in what order. Written once here for the report
// that writes the section and for the replay that reads it back.
#pragma once

#include <array>
#include <cstdint>

#include "detect/records.h"
#include "hw/upc87366.h"

namespace kev::report {

// How a dump is laid out.
enum class DumpStyle { Ranges, Winbond, Pc87366 };
// Which path reaches the registers: the SMBus at the main address when
// there is one, else the ISA pair at the chip port; or the VIA monitor's
// I/O block at the chip port.
enum class DumpAccess { Register, Via };
// When a dump is written at all.
enum class DumpWhen { SmbOrIsa, SmbOnly, IsaOnly };

struct RegRange {
  uint8_t first;
  uint8_t last;
  int digits;  // 2 for byte reads, 4 for 16-bit word reads
};

struct DumpLayout {
  DumpStyle style;
  DumpWhen when;
  DumpAccess access;
  std::array<RegRange, 3> ranges;  // Ranges style; unused entries have digits 0
};

inline constexpr DumpLayout kLm78Dump{
    DumpStyle::Ranges, DumpWhen::SmbOrIsa, DumpAccess::Register, {{{0x20, 0x4F, 2}}}};
inline constexpr DumpLayout kLm80Dump{DumpStyle::Ranges,
                                      DumpWhen::SmbOnly,
                                      DumpAccess::Register,
                                      {{{0x00, 0x06, 2}, {0x20, 0x3F, 2}}}};
inline constexpr DumpLayout kLm8xDump{DumpStyle::Ranges,
                                      DumpWhen::SmbOnly,
                                      DumpAccess::Register,
                                      {{{0x13, 0x4D, 2}, {0x80, 0x80, 2}}}};
inline constexpr DumpLayout kGenesysDump{DumpStyle::Ranges,
                                         DumpWhen::SmbOnly,
                                         DumpAccess::Register,
                                         {{{0x00, 0x06, 2}, {0x07, 0x0C, 4}, {0x0D, 0x1F, 2}}}};
inline constexpr DumpLayout kViaDump{
    DumpStyle::Ranges, DumpWhen::IsaOnly, DumpAccess::Via, {{{0x20, 0x5F, 2}}}};
inline constexpr DumpLayout kIteDump{
    DumpStyle::Ranges, DumpWhen::SmbOrIsa, DumpAccess::Register, {{{0x00, 0x7F, 2}}}};
inline constexpr DumpLayout kWinbondDump{
    DumpStyle::Winbond, DumpWhen::SmbOrIsa, DumpAccess::Register, {}};
inline constexpr DumpLayout kPc87366Dump{
    DumpStyle::Pc87366, DumpWhen::IsaOnly, DumpAccess::Register, {}};

struct KindDump {
  int32_t kind;
  const DumpLayout* layout;
};

// A kind left out has no register section; an unknown chip is dumped the
// Winbond way.
inline constexpr std::array<KindDump, 25> kKindDumps{{
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

// The layout of a chip kind's dump; null when the kind has none.
constexpr const DumpLayout* DumpLayoutOf(int32_t chipKind) {
  for (const KindDump& k : kKindDumps) {
    if (k.kind == chipKind) return k.layout;
  }
  return nullptr;
}

// Winbond: the common registers with bank 0 selected, the vendor ID 4Fh in
// both HBACS halves, then 50h-5Fh of every bank.
inline constexpr uint8_t kWbDumpCommonFirst = 0x20;
inline constexpr uint8_t kWbDumpCommonLast = 0x4E;
inline constexpr uint8_t kWbDumpBankedFirst = 0x50;
inline constexpr uint8_t kWbDumpBankedLast = 0x5F;
inline constexpr uint8_t kWbDumpBanks = 8;

// PC87366: the global configuration registers, then for each logical device
// its "LDN" line, its configuration registers and its block's offsets (bank
// 0 whole, the other channel banks from 0Ah).
inline constexpr std::array<uint8_t, 15> kPcDumpGlobalRegs{
    0x07, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E};
inline constexpr std::array<uint8_t, 12> kPcDumpDeviceRegs{0x30, 0x60, 0x61, 0x62, 0x63, 0x70,
                                                           0x71, 0x74, 0x75, 0xF0, 0xF1, 0xF2};
inline constexpr uint8_t kPcDumpBlockOffsets = 0x10;
inline constexpr uint8_t kPcDumpChannelFirst = 0x0A;  // first offset of a channel bank

enum class PcBlock { Fsm, Vlm, Tms };

struct PcDumpDevice {
  uint32_t ldn;
  PcBlock block;
  uint32_t lastBank;  // 0: the block has no banks
};

inline constexpr std::array<PcDumpDevice, 3> kPcDumpDevices{{
    {kPc87366LdnFsm, PcBlock::Fsm, 0},
    {kPc87366LdnVlm, PcBlock::Vlm, 13},
    {kPc87366LdnTms, PcBlock::Tms, 2},
}};

}  // namespace kev::report
