#include "settings/monitor_settings.h"

#include <array>
#include <stdexcept>

namespace kev {
namespace {

template <class T, size_t N>
T& Pick(const std::array<T*, N>& fields, int i) {
  if (i < 0 || static_cast<size_t>(i) >= N) throw std::out_of_range("channel index");
  return *fields[static_cast<size_t>(i)];
}

}  // namespace

bool& ChannelChecked(MonitorSettings& s, int channel) {
  return Pick(
      std::array<bool*, 15>{&s.CheckBoxFan1, &s.CheckBoxFan2, &s.CheckBoxFan3, &s.CheckBoxTemp1,
                            &s.CheckBoxTemp2, &s.CheckBoxTemp3, &s.CheckBoxVolt1, &s.CheckBoxVolt2,
                            &s.CheckBoxVolt3, &s.CheckBoxVolt4, &s.CheckBoxVolt5, &s.CheckBoxVolt6,
                            &s.CheckBoxVolt7, &s.CheckBoxVolt8, &s.CheckBoxVolt9},
      channel - 1);
}

bool& ChannelLogging(MonitorSettings& s, int channel) {
  return Pick(
      std::array<bool*, 15>{&s.LoggingFan1, &s.LoggingFan2, &s.LoggingFan3, &s.LoggingTemp1,
                            &s.LoggingTemp2, &s.LoggingTemp3, &s.LoggingVolt1, &s.LoggingVolt2,
                            &s.LoggingVolt3, &s.LoggingVolt4, &s.LoggingVolt5, &s.LoggingVolt6,
                            &s.LoggingVolt7, &s.LoggingVolt8, &s.LoggingVolt9},
      channel - 1);
}

int32_t& ChannelCaptionIndex(MonitorSettings& s, int channel) {
  return Pick(
      std::array<int32_t*, 15>{&s.Fan1CaptionIndex, &s.Fan2CaptionIndex, &s.Fan3CaptionIndex,
                               &s.Temp1CaptionIndex, &s.Temp2CaptionIndex, &s.Temp3CaptionIndex,
                               &s.Volt1CaptionIndex, &s.Volt2CaptionIndex, &s.Volt3CaptionIndex,
                               &s.Volt4CaptionIndex, &s.Volt5CaptionIndex, &s.Volt6CaptionIndex,
                               &s.Volt7CaptionIndex, &s.Volt8CaptionIndex, &s.Volt9CaptionIndex},
      channel - 1);
}

int32_t& ChannelPositionIndex(MonitorSettings& s, int channel) {
  return Pick(
      std::array<int32_t*, 15>{&s.Fan1PositionIndex, &s.Fan2PositionIndex, &s.Fan3PositionIndex,
                               &s.Temp1PositionIndex, &s.Temp2PositionIndex, &s.Temp3PositionIndex,
                               &s.Volt1PositionIndex, &s.Volt2PositionIndex, &s.Volt3PositionIndex,
                               &s.Volt4PositionIndex, &s.Volt5PositionIndex, &s.Volt6PositionIndex,
                               &s.Volt7PositionIndex, &s.Volt8PositionIndex, &s.Volt9PositionIndex},
      channel - 1);
}

int32_t& FanPPR(MonitorSettings& s, int n) {
  return Pick(std::array<int32_t*, 3>{&s.Fan1PPR, &s.Fan2PPR, &s.Fan3PPR}, n);
}

int32_t& FanLimit(MonitorSettings& s, int n) {
  return Pick(std::array<int32_t*, 3>{&s.Fan1Limit, &s.Fan2Limit, &s.Fan3Limit}, n);
}

int32_t& TempLimit(MonitorSettings& s, int n) {
  return Pick(std::array<int32_t*, 3>{&s.Temp1Limit, &s.Temp2Limit, &s.Temp3Limit}, n);
}

int32_t& TempAdjustor(MonitorSettings& s, int n) {
  return Pick(std::array<int32_t*, 3>{&s.Temp1Adjustor, &s.Temp2Adjustor, &s.Temp3Adjustor}, n);
}

int32_t& VoltULimit(MonitorSettings& s, int n) {
  return Pick(std::array<int32_t*, 9>{&s.Volt1ULimit, &s.Volt2ULimit, &s.Volt3ULimit,
                                      &s.Volt4ULimit, &s.Volt5ULimit, &s.Volt6ULimit,
                                      &s.Volt7ULimit, &s.Volt8ULimit, &s.Volt9ULimit},
              n);
}

int32_t& VoltLLimit(MonitorSettings& s, int n) {
  return Pick(std::array<int32_t*, 9>{&s.Volt1LLimit, &s.Volt2LLimit, &s.Volt3LLimit,
                                      &s.Volt4LLimit, &s.Volt5LLimit, &s.Volt6LLimit,
                                      &s.Volt7LLimit, &s.Volt8LLimit, &s.Volt9LLimit},
              n);
}

std::string& SoundFile(MonitorSettings& s, int kind) {
  return Pick(std::array<std::string*, 3>{&s.SoundFile1, &s.SoundFile2, &s.SoundFile3}, kind - 1);
}

}  // namespace kev
