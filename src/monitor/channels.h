// The 15 fixed monitoring channels: three fans, three temperatures, nine
// voltages. Per-user state (checked, caption, logging, limits) lives in the
// settings record; a channel holds only what the sampling cycle produces.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kev {

enum class ChannelGroup : uint8_t { Fan, Temp, Volt };

inline constexpr int kChannelCount = 15;
inline constexpr int kFanCount = 3;
inline constexpr int kTempCount = 3;
inline constexpr int kVoltCount = 9;

// Error kinds passed to the error actions; also select SoundFile1..3.
inline constexpr int kErrorKindFan = 1;
inline constexpr int kErrorKindTemp = 2;
inline constexpr int kErrorKindVolt = 3;

struct SensorChannel {
  ChannelGroup group = ChannelGroup::Fan;
  int number = 1;            // 1..15; also the row's CheckBox/Panel index
  int n = 0;                 // index within the group, from 0
  std::string ChannelLabel;  // the row's label, written into log lines; may be empty
  bool inError = false;
  std::string valueText;  // what the row's value panel shows
  // The reading in full precision, in rpm, degrees Celsius or volts; none
  // without one. A stopped fan reads 0.
  std::optional<double> value;
};

using ChannelSet = std::array<SensorChannel, kChannelCount>;

// The 15 channels in number order, labels empty, no errors.
ChannelSet MakeChannels();

// Channel number 1..15 of group member n.
int ChannelNumber(ChannelGroup group, int n);
SensorChannel& ChannelOf(ChannelSet& channels, ChannelGroup group, int n);

int ErrorKind(ChannelGroup group);

// "FAN_1.LOG" .. "VOLT_9.LOG".
std::string LogFileName(const SensorChannel& channel);

bool AnyChannelInError(const ChannelSet& channels);

}  // namespace kev
