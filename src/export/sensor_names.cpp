#include "export/sensor_names.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "monitor/temp_channel.h"

namespace kev::metrics {
namespace {

struct ChipLabelRow {
  int32_t kind;
  std::string_view label;
};
constexpr std::array<ChipLabelRow, 24> kChipLabels{{
    {kind::LM78Compatible, "lm78"},
    {kind::LM78, "lm78"},
    {kind::LM78J, "lm78j"},
    {kind::LM79, "lm79"},
    {kind::LM80, "lm80"},
    {kind::LM81, "lm81"},
    {kind::LM87, "lm87"},
    {kind::PC87366, "pc87366"},
    {kind::WinbondChip, "winbond"},
    {kind::W83781D, "w83781d"},
    {kind::W83627HF, "w83627hf"},
    {kind::W83782D, "w83782d"},
    {kind::W83783S, "w83783s"},
    {kind::W83697HF, "w83697hf"},
    {kind::GL518SM, "gl518sm"},
    {kind::GL520SM, "gl520sm"},
    {kind::AS99127F_WB, "as99127f"},
    {kind::AS99127F_AS, "as99127f"},
    {kind::SiS5595, "sis5595"},
    {kind::VT82C686A, "vt82c686a"},
    {kind::VT82C686B, "vt82c686b"},
    {kind::VT8231, "vt8231"},
    {kind::IT8705F, "it8705f"},
    {kind::IT8712F, "it8712f"},
}};

constexpr std::array<std::string_view, 3> kGroupPrefixes{"fan", "temp", "in"};

}  // namespace

std::string ChipLabel(int32_t namedChipKind) {
  for (const ChipLabelRow& row : kChipLabels) {
    if (row.kind == namedChipKind) return std::string(row.label);
  }
  return "unknown";
}

std::string SourceLabel(const SensorChannel& ch, const DetectState& detect,
                        const MonitorSettings& s, const std::string& chipLabel) {
  if (ch.group != ChannelGroup::Temp || !UsesAuxSensor(detect, s, ch.n)) return chipLabel;
  const int32_t address = TempSensorAddress(ch.n == 1 ? s.Temp2SMBAddress : s.Temp3SMBAddress);
  std::array<char, 8> hex{};
  std::snprintf(hex.data(), hex.size(), "0x%02x", static_cast<unsigned>(address & 0xFF));
  const bool word = detect.chip.SmbTempSensorType == kSensorWord;
  return std::string(word ? "lm75-" : "max1617-") + hex.data();
}

std::string SensorName(const SensorChannel& ch) {
  // hwmon counts fans and temperatures from 1, voltage inputs from 0.
  const int number = ch.group == ChannelGroup::Volt ? ch.n : ch.n + 1;
  return std::string(kGroupPrefixes[static_cast<size_t>(ch.group)]) + std::to_string(number);
}

}  // namespace kev::metrics
