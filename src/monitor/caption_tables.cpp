#include "monitor/caption_tables.h"

#include <stdexcept>

#include "detect/records.h"

namespace kev {
namespace {

constexpr std::string_view kBlank = "                       ";  // 23 blanks
constexpr CaptionEntry kOwn{"", ""};                            // index 0: the row's own caption
constexpr CaptionEntry kHidden{kBlank, ""};

}  // namespace

const std::array<CaptionEntry, 13> FanCaptionTable{{
    kOwn,
    kHidden,
    {"  Front Panel  ", "Front Panel Fan"},
    {"   Rear Panel   ", "Rear Panel Fan"},
    {"   Side Panel   ", "Side Panel Fan"},
    {"  Power Unit  ", "Power Unit Fan"},
    {"     System      ", "System Fan"},
    {"      HDD        ", "HDD Fan"},
    {"      HDD 1     ", "HDD 1 Fan"},
    {"      HDD 2     ", "HDD 2 Fan"},
    {"      CPU         ", "CPU Fan"},
    {"      CPU 1      ", "CPU 1 Fan"},
    {"      CPU 2      ", "CPU 2 Fan"},
}};

const std::array<CaptionEntry, 21> TempCaptionTable{{
    kOwn,
    kHidden,
    {"Mother Board", "Mother Board Temp."},
    {"  Power Unit  ", "Power Unit Temp."},
    {"     System      ", "System Temp."},
    {"      HDD        ", "HDD Temp."},
    {"      HDD 1     ", "HDD 1 Temp."},
    {"      HDD 2     ", "HDD 2 Temp."},
    {"      Local        ", "Local Temp."},
    {"     Remote     ", "Remote Temp."},
    {"  Video Chip  ", "Video Chip Temp."},
    {"    Chip Set    ", "Chip Set Temp."},
    {"      CPU         ", "CPU Temp."},
    {"      CPU 1      ", "CPU 1 Temp."},
    {"      CPU 2      ", "CPU 2 Temp."},
    {"    Heat Sink   ", "Heat Sink Temp."},
    {"   Heat Sink 1 ", "Heat Sink 1 Temp."},
    {"   Heat Sink 2 ", "Heat Sink 2 Temp."},
    {"    CPU Core   ", "CPU Core Temp."},
    {"  CPU Core 1 ", "CPU Core 1 Temp."},
    {"  CPU Core 2 ", "CPU Core 2 Temp."},
}};

const std::array<CaptionEntry, 17> VoltCaptionTable{{
    kOwn,
    kHidden,
    {"    VCORE      ", "VCORE"},
    {"     VINR0      ", "VINR0"},
    {"      +3.3V       ", "+3.3V"},
    {"      +5.0V       ", "+5.0V"},
    {"    +12.0V       ", "+12.0V"},
    {"     -12.0V       ", "-12.0V"},
    {"       -5.0V       ", "-5.0V"},
    {"       5VSB      ", "5VSB"},
    {"      VBAT      ", "VBAT"},
    {"    VCORE1   ", "VCORE1"},
    {"    VCORE2   ", "VCORE2"},
    {"        VTT         ", "VTT"},
    {"      +2.5V       ", "+2.5V"},
    {"       3VSB      ", "3VSB"},
    {"        VDD         ", "VDD"},
}};

namespace {

constexpr std::array<std::string_view, 3> kFanOwn{"      Fan 1        ", "      Fan 2        ",
                                                  "      Fan 3        "};
constexpr std::array<std::string_view, 3> kTempOwn{"    Temp. 1     ", "    Temp. 2     ",
                                                   "    Temp. 3     "};
constexpr std::array<std::string_view, 9> kVoltOwn{
    "      Volt. 1     ", "      Volt. 2     ", "      Volt. 3     ",
    "      Volt. 4     ", "      Volt. 5     ", "      Volt. 6     ",
    "      Volt. 7     ", "      Volt. 8     ", "      Volt. 9     "};

const std::array<RowGroupInfo, kGroupCount> kGroups{{
    {ChannelGroup::Fan, 1, 3, 0, 15, FanCaptionTable, kFanOwn, "Fan Speed"},
    {ChannelGroup::Temp, 4, 3, 3, 92, TempCaptionTable, kTempOwn, "Temperature"},
    {ChannelGroup::Volt, 7, 9, 6, 169, VoltCaptionTable, kVoltOwn, "Voltage"},
}};

// Default caption index of voltage rows; Volt 1 and 2 differ on dual-core boards.
constexpr std::array<int32_t, 9> kVoltDefaultCaption{2, 3, 4, 5, 6, 7, 8, 9, 10};
constexpr std::array<int32_t, 2> kDualCoreDefaultCaption{11, 12};

struct PresetRule {
  int32_t chipKind;  // kAnyChip matches every kind
  bool needsDualCore;
  VoltPreset preset;
};
constexpr int32_t kAnyChip = -2;

const std::array<PresetRule, 4> kVoltPresets{{
    {kind::PC87366, false, {{10, 6, 7, 5, 9, 2, 4, 15, 16}, {{8, 3, 4, 2, 7, 0, 1, 6, 5}}}},
    {kind::IT8705F, false, {{2, 14, 4, 5, 6, 15, 7, 9, 10}, {{0, 1, 2, 3, 4, 6, 5, 7, 8}}}},
    {kAnyChip, true, {{11, 12, 4, 5, 6, 7, 8, 9, 10}, std::nullopt}},
    {kAnyChip, false, {{2, 3, 4, 5, 6, 7, 8, 9, 10}, std::nullopt}},
}};

}  // namespace

const RowGroupInfo& GroupInfo(ChannelGroup g) {
  return kGroups[static_cast<size_t>(GroupIndex(g))];
}

const RowGroupInfo& GroupOfChannel(int channel) {
  if (channel < 1 || channel > kChannelCount) throw std::out_of_range("channel out of range");
  for (const RowGroupInfo& g : kGroups) {
    if (channel < g.firstChannel + g.rowCount) return g;
  }
  return kGroups.back();
}

int GroupRow(int channel) { return channel - GroupOfChannel(channel).firstChannel; }

int GroupIndex(ChannelGroup g) { return static_cast<int>(g); }

int LastCaptionIndex(ChannelGroup g) { return static_cast<int>(GroupInfo(g).captions.size()) - 1; }

int SlotTop(ChannelGroup g, int slot) { return GroupInfo(g).firstSlotTop + kSlotPitch * slot; }

int TabPosition(ChannelGroup g, int slot) { return GroupInfo(g).firstTab + slot; }

bool CaptionIndexValid(int channel, int32_t index) {
  return index >= 0 && index <= LastCaptionIndex(GroupOfChannel(channel).group);
}

CaptionEntry CaptionFor(int channel, int32_t index) {
  const RowGroupInfo& g = GroupOfChannel(channel);
  if (!CaptionIndexValid(channel, index)) throw std::out_of_range("caption index out of range");
  if (index == 0) return {g.ownCaptions[static_cast<size_t>(GroupRow(channel))], ""};
  return g.captions[static_cast<size_t>(index)];
}

int32_t DefaultCaptionIndex(int channel, bool dualCoreVoltage) {
  const RowGroupInfo& g = GroupOfChannel(channel);
  if (g.group != ChannelGroup::Volt) return 0;
  const auto n = static_cast<size_t>(GroupRow(channel));
  if (dualCoreVoltage && n < kDualCoreDefaultCaption.size()) return kDualCoreDefaultCaption[n];
  return kVoltDefaultCaption[n];
}

const VoltPreset& FirstStartVoltPreset(int32_t chipKind, bool dualCoreVoltage) {
  for (const PresetRule& r : kVoltPresets) {
    const bool kindMatches = r.chipKind == kAnyChip || r.chipKind == chipKind;
    if (kindMatches && (!r.needsDualCore || dualCoreVoltage)) return r.preset;
  }
  return kVoltPresets.back().preset;
}

}  // namespace kev
