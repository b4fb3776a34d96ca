#include "detect/chip_tables.h"

#include "detect/records.h"

namespace kev::config {
namespace {

using namespace kev::kind;

constexpr KindSet kLm78Family{LM78Compatible, LM78, LM78J, LM79};
constexpr KindSet kWinbond4{WinbondChip, W83781D};
constexpr KindSet kAs99127f{AS99127F_WB, AS99127F_AS};
constexpr KindSet kWinbond8Isa{W83627HF, W83782D};

// ---- Paths and flags ------------------------------------------------------

constexpr FlagSet kKeepBoth{Flag::Keep, Flag::Keep};
constexpr FlagSet kPortFlags{Flag::Clear, Flag::Clear};
constexpr FlagSet kSmbOnlyFlags{Flag::Set, Flag::Set};
constexpr FlagSet kSmbFlags{Flag::SetUnlessOnPort, Flag::Clear};
constexpr FlagSet kNoPathFlags{Flag::Keep, Flag::Clear};

// kinds, SMBus path when, port path when, port path, flags on the SMBus path,
// on the port path, with no path, clear MainChipPortAddressUse
// clang-format off
constexpr std::array<PathRow, 8> kPathTable{{
    {{LM78Compatible, LM78, LM78J, LM79}, When::IfFound, When::IfFound, ChipPath::IsaPair,
     kSmbFlags, kPortFlags, kNoPathFlags, false},
    {{WinbondChip, W83781D, W83627HF, W83782D}, When::IfFound, When::IfFound, ChipPath::WinbondIsa,
     kSmbFlags, kPortFlags, kNoPathFlags, false},
    {{IT8705F, IT8712F}, When::IfFound, When::IfFound, ChipPath::IsaPair,
     kSmbFlags, kPortFlags, kNoPathFlags, false},
    {{LM80, LM81, LM87, W83783S, GL518SM, GL520SM, AS99127F_WB, AS99127F_AS}, When::Always, When::Never, ChipPath::None,
     kSmbOnlyFlags, kSmbOnlyFlags, kSmbOnlyFlags, true},
    {{PC87366}, When::Never, When::IfFound, ChipPath::Pc87366,
     kKeepBoth, kPortFlags, kKeepBoth, false},
    {{W83697HF}, When::Never, When::IfFound, ChipPath::WinbondIsa,
     kKeepBoth, kPortFlags, kNoPathFlags, false},
    {{SiS5595}, When::Never, When::Always, ChipPath::IsaPair,
     kKeepBoth, kPortFlags, kPortFlags, false},
    {{VT82C686A, VT8231}, When::Never, When::Always, ChipPath::Via,
     kKeepBoth, kPortFlags, kPortFlags, false},
}};
// clang-format on

// ---- Fan divisor search ---------------------------------------------------

constexpr uint8_t kNoExtReg = 0;
constexpr int16_t kAssembled = -1;

// kinds, fans; per fan: count register, how it is read, divisor register,
// field shift, field bits, extension bit, steps, place in an assembled code;
// register read whole as the code (or assembled), extension register.
constexpr std::array<SearchRow, 8> kSearchTable{{
    {{LM78Compatible, LM78, LM78J, LM79, LM81, LM87, SiS5595},
     2,
     {{{0x28, CountRead::Byte, 0x47, 4, 2, -1, 4, 0},
       {0x29, CountRead::Byte, 0x47, 6, 2, -1, 4, 0}}},
     0x47,
     kNoExtReg},
    {{VT82C686A, VT8231},
     2,
     {{{0x29, CountRead::Byte, 0x47, 4, 2, -1, 4, 0},
       {0x2A, CountRead::Byte, 0x47, 6, 2, -1, 4, 0}}},
     0x47,
     kNoExtReg},
    {{LM80},
     2,
     {{{0x28, CountRead::Byte, 0x05, 2, 2, -1, 4, 0},
       {0x29, CountRead::Byte, 0x05, 4, 2, -1, 4, 0}}},
     0x05,
     kNoExtReg},
    {{PC87366},
     3,
     {{{0x07, CountRead::Byte, 0x08, 5, 2, -1, 4, 0},
       {0x0A, CountRead::Byte, 0x0B, 5, 2, -1, 4, 2},
       {0x0D, CountRead::Byte, 0x0E, 5, 2, -1, 4, 4}}},
     kAssembled,
     kNoExtReg},
    {{WinbondChip, W83781D, AS99127F_WB, AS99127F_AS},
     3,
     {{{0x28, CountRead::Byte, 0x47, 4, 2, -1, 4, 2},
       {0x29, CountRead::Byte, 0x47, 6, 2, -1, 4, 4},
       {0x2A, CountRead::Byte, 0x4B, 6, 2, -1, 4, 6}}},
     kAssembled,
     kNoExtReg},
    {{W83627HF, W83782D, W83783S, W83697HF},
     3,
     {{{0x28, CountRead::Byte, 0x47, 4, 2, 5, 8, 0},
       {0x29, CountRead::Byte, 0x47, 6, 2, 6, 8, 3},
       {0x2A, CountRead::Byte, 0x4B, 6, 2, 7, 8, 6}}},
     kAssembled,
     kRegDiodes},
    {{GL518SM, GL520SM},
     2,
     {{{0x07, CountRead::WordHigh, 0x0F, 6, 2, -1, 4, 0},
       {0x07, CountRead::WordLow, 0x0F, 4, 2, -1, 4, 0}}},
     0x0F,
     kNoExtReg},
    {{IT8705F, IT8712F},
     3,
     {{{0x0D, CountRead::Byte, 0x0B, 0, 3, -1, 8, 0},
       {0x0E, CountRead::Byte, 0x0B, 3, 3, -1, 8, 0},
       {0x0F, CountRead::Byte, 0x0B, 6, 1, -1, 2, 0}}},
     0x0B,
     kNoExtReg},
}};

// ---- Divisor decoding -----------------------------------------------------

constexpr FanDecode kTwo{Decode::Two};
constexpr FanDecode P(uint8_t shift, uint8_t mask) { return {Decode::Power, shift, mask}; }

constexpr std::array<DecodeRow, 7> kDecodeTable{{
    {{LM80}, {P(2, 3), P(4, 3), kTwo}},
    {{PC87366}, {P(0, 3), P(2, 3), P(4, 3)}},
    {{WinbondChip, W83781D, AS99127F_WB, AS99127F_AS}, {P(2, 3), P(4, 3), P(6, 3)}},
    {{W83627HF, W83782D, W83783S, W83697HF}, {P(0, 7), P(3, 7), P(6, 7)}},
    {{GL518SM, GL520SM}, {P(6, 3), P(4, 3), kTwo}},
    // Fan 3 of the ITE chips: bit 6 of 0Bh selects divide by 8 over divide by 2.
    {{IT8705F, IT8712F}, {P(0, 7), P(3, 7), FanDecode{Decode::EightIf, 6, 1}}},
    {{Unknown}, {kTwo, kTwo, kTwo}},
}};
constexpr DecodeRow kDefaultDecode{{}, {P(4, 3), P(6, 3), kTwo}};

// ---- Writes before and after the search -----------------------------------

constexpr uint8_t kRegConfig = 0x40;
constexpr uint8_t kRegIntMask1 = 0x43;
constexpr uint8_t kRegIntMask2 = 0x44;
constexpr uint8_t kRegWbTempConfig = 0x52;  // banks 1 and 2: sensor 2 / 3 configuration
constexpr uint8_t kStart = 0x01;

constexpr RegOp Set(uint8_t reg, uint8_t v) { return {Act::Set, reg, v}; }

constexpr std::array<RegOp, 1> kStartLm78{{Set(kRegConfig, kStart)}};
constexpr std::array<RegOp, 2> kStartWbSmb{
    {{Act::SetOnSmbus, kWbRegBank, kWbBank0}, Set(kRegConfig, kStart)}};
constexpr std::array<RegOp, 2> kStartWbAlways{{Set(kWbRegBank, kWbBank0), Set(kRegConfig, kStart)}};

constexpr std::array<RegOp, 3> kEndLm78{
    {Set(kRegConfig, kStart), Set(kRegIntMask1, 0xFF), Set(kRegIntMask2, 0x7F)}};

constexpr std::array<RegOp, 1> kStartLm80{{Set(0x00, 0x01)}};
constexpr std::array<RegOp, 4> kEndLm80{
    {Set(0x00, 0x01), Set(0x03, 0xFF), Set(0x04, 0x7F), Set(0x06, 0x01)}};

constexpr std::array<RegOp, 3> kEndLm8x{
    {Set(kRegConfig, kStart), Set(kRegIntMask1, 0xFF), Set(kRegIntMask2, 0x13)}};

constexpr std::array<RegOp, 4> kEndPc87366{{
    {Act::And, 0x08, 0xFC, 0, RegSpace::Voltage},
    {Act::And, 0x08, 0xFC, 0, RegSpace::Temperature},
    {Act::OrChannels, 0x0A, 0x01, 0, RegSpace::Voltage, 14},
    {Act::OrChannels, 0x0A, 0x01, 0, RegSpace::Temperature, 3},
}};

constexpr RegOp kSubClientsRead{Act::SubClientsRead, kRegSubClients};
constexpr RegOp kSubClientsWrite{Act::SubClientsAnd, kRegSubClients, 0x77};
constexpr RegOp kBank1TempOn{Act::Set, kRegWbTempConfig, 0x00, kWbBank1};
constexpr RegOp kBank2TempOn{Act::Set, kRegWbTempConfig, 0x00, kWbBank2};
constexpr RegOp kStartDiodeMode{Act::Or, kRegDiodes, 0x01};

constexpr std::array<RegOp, 7> kEndWb4{{kSubClientsRead, Set(kRegConfig, kStart),
                                        Set(kRegIntMask1, 0xFF), Set(kRegIntMask2, 0x1F),
                                        kSubClientsWrite, kBank1TempOn, kBank2TempOn}};
constexpr std::array<RegOp, 9> kEndWb8{{kStartDiodeMode,
                                        kSubClientsRead,
                                        Set(kRegConfig, kStart),
                                        Set(kRegIntMask1, 0xFF),
                                        Set(kRegIntMask2, 0x3F),
                                        kSubClientsWrite,
                                        kBank1TempOn,
                                        kBank2TempOn,
                                        {Act::Diodes, kRegDiodes, 0, kWbBank0, RegSpace::Main, 3}}};
constexpr std::array<RegOp, 8> kEndW83783s{{
    kSubClientsRead,
    Set(kRegConfig, kStart),
    Set(kRegIntMask1, 0xFF),
    Set(kRegIntMask2, 0x0F),
    kSubClientsWrite,
    {Act::ClearTemp2Config, 0x01, 0x00},
    {Act::Diodes, kRegDiodes, 0, kWbBank0, RegSpace::Main, 2},
    {Act::FindTemp3, 0x01, 0x00},
}};
constexpr std::array<RegOp, 7> kEndW83697hf{
    {kStartDiodeMode,
     Set(kRegConfig, kStart),
     Set(kRegIntMask1, 0xFF),
     Set(kRegIntMask2, 0x17),
     kBank1TempOn,
     kBank2TempOn,
     {Act::Diodes, kRegDiodes, 0, kWbBank0, RegSpace::Main, 3}}};

constexpr uint8_t kRegGlConfig = 0x03;
constexpr uint8_t kGlStart = 0x40;
constexpr std::array<RegOp, 1> kStartGl{{{Act::Or, kRegGlConfig, kGlStart}}};
constexpr std::array<RegOp, 2> kEndGl518{
    {{Act::CodeAnd, 0x0F, 0xF7}, {Act::Or, kRegGlConfig, kGlStart}}};

constexpr std::array<RegOp, 8> kEndAs99127f{{kSubClientsRead,
                                             Set(kRegConfig, kStart),
                                             Set(kRegIntMask1, 0xFF),
                                             Set(kRegIntMask2, 0x3F),
                                             kSubClientsWrite,
                                             kBank1TempOn,
                                             kBank2TempOn,
                                             {Act::SensorTypeIsKind}}};

constexpr std::array<RegOp, 3> kEndSis{
    {Set(kRegConfig, kStart), Set(kRegIntMask1, 0xFF), Set(kRegIntMask2, 0x80)}};
constexpr std::array<RegOp, 3> kEndVia{
    {Set(kRegIntMask1, 0xFF), Set(kRegIntMask2, 0xFF), Set(kRegConfig, kStart)}};

constexpr std::array<RegOp, 1> kStartIte{{Set(0x00, 0x01)}};

constexpr std::array<SetupRow, 14> kSetupTable{{
    {kLm78Family, kStartLm78, kEndLm78},
    {{LM80}, kStartLm80, kEndLm80},
    {{LM81, LM87}, kStartLm78, kEndLm8x},
    {{PC87366}, {}, kEndPc87366},
    {kWinbond4, kStartWbSmb, kEndWb4, SubClients::Both, FirstRunUse::BothOnSmbus},
    {kWinbond8Isa, kStartWbSmb, kEndWb8, SubClients::Both, FirstRunUse::BothOnSmbus},
    {{W83783S}, kStartWbAlways, kEndW83783s, SubClients::Temp2Only, FirstRunUse::Temp2},
    {{W83697HF}, kStartLm78, kEndW83697hf},
    {{GL518SM}, kStartGl, kEndGl518},
    {{GL520SM}, kStartGl, kStartGl},
    {kAs99127f, kStartWbAlways, kEndAs99127f, SubClients::Both, FirstRunUse::Both, true},
    {{SiS5595}, kStartLm78, kEndSis},
    {{VT82C686A, VT8231}, {}, kEndVia},
    {{IT8705F, IT8712F}, kStartIte, kStartIte},  // start and end: the same single write
}};

constexpr std::array<VoltPreset, 2> kVoltPresets{{
    {{IT8705F, IT8712F}, 7, 1, 255},
    {{IT8712F}, 6, 1, 255},
}};

template <class Row, size_t N>
const Row* Find(const std::array<Row, N>& table, int32_t kind) {
  for (const Row& r : table) {
    if (r.kinds.has(kind)) return &r;
  }
  return nullptr;
}

}  // namespace

const KindSet kDiodeKinds{W83627HF, W83782D, W83783S, W83697HF};
const KindSet kNoAuxSensorKinds{WinbondChip, W83781D, W83627HF, W83782D, AS99127F_WB, AS99127F_AS};

const PathRow* FindPathRow(int32_t kind) { return Find(kPathTable, kind); }
const SearchRow* FindSearchRow(int32_t kind) { return Find(kSearchTable, kind); }
const DecodeRow& FindDecodeRow(int32_t kind) {
  const DecodeRow* r = Find(kDecodeTable, kind);
  return r != nullptr ? *r : kDefaultDecode;
}
const SetupRow* FindSetupRow(int32_t kind) { return Find(kSetupTable, kind); }
std::span<const VoltPreset> VoltPresets() { return kVoltPresets; }

}  // namespace kev::config
