// The one record of everything the user sets and the program remembers.
// Field names are the registry value names.
#pragma once

#include <cstdint>
#include <string>

namespace kev {

struct MonitorSettings {
  // General
  bool AlwaysOnTop = false;
  bool MainChipPortAddressUse = false;
  bool MainChipSMBUse = false;
  bool MonitorWindowMode = false;
  bool ASMS = false;
  bool Sensor1OnDieDiode = false;
  bool Sensor2OnDieDiode = false;
  bool Sensor3OnDieDiode = false;
  int32_t TransparencyPercentage = 0;
  int32_t MainChipPortAddress = 0x290;
  int32_t IntervalTime = 1000;
  int32_t xPosition = 0;  // defaults centre the window: see LoadContext
  int32_t yPosition = 0;

  // ErrorAction
  bool ErrAct1Switch = false;
  bool ErrAct2Switch = false;
  bool ErrAct3Switch = false;
  bool ErrAct4Switch = false;
  bool HoldErrAct1 = false;
  bool HoldErrAct2 = false;
  bool HoldErrAct3 = false;
  bool HoldErrAct4 = false;
  std::string SoundFile1;
  std::string SoundFile2;
  std::string SoundFile3;

  // Display
  bool CheckBoxFan1 = false, CheckBoxFan2 = false, CheckBoxFan3 = false;
  bool CheckBoxTemp1 = false, CheckBoxTemp2 = false, CheckBoxTemp3 = false;
  bool CheckBoxVolt1 = false, CheckBoxVolt2 = false, CheckBoxVolt3 = false;
  bool CheckBoxVolt4 = false, CheckBoxVolt5 = false, CheckBoxVolt6 = false;
  bool CheckBoxVolt7 = false, CheckBoxVolt8 = false, CheckBoxVolt9 = false;

  // Logging
  bool LoggingFan1 = false, LoggingFan2 = false, LoggingFan3 = false;
  bool LoggingTemp1 = false, LoggingTemp2 = false, LoggingTemp3 = false;
  bool LoggingVolt1 = false, LoggingVolt2 = false, LoggingVolt3 = false;
  bool LoggingVolt4 = false, LoggingVolt5 = false, LoggingVolt6 = false;
  bool LoggingVolt7 = false, LoggingVolt8 = false, LoggingVolt9 = false;
  int32_t LogFileSizeLimit = 1;
  std::string LogFileDirectory;

  // FanSpeed
  int32_t Fan1PPR = 1, Fan2PPR = 1, Fan3PPR = 1;
  int32_t Fan1PositionIndex = 0, Fan2PositionIndex = 1, Fan3PositionIndex = 2;
  int32_t Fan1CaptionIndex = 0, Fan2CaptionIndex = 0, Fan3CaptionIndex = 0;
  int32_t Fan1Limit = 254, Fan2Limit = 254, Fan3Limit = 254;

  // Temperature
  bool Temp2SMBUse = false, Temp3SMBUse = false;
  int32_t Temp2SMBAddress = -1, Temp3SMBAddress = -1;
  int32_t Temp1PositionIndex = 0, Temp2PositionIndex = 1, Temp3PositionIndex = 2;
  int32_t Temp1CaptionIndex = 0, Temp2CaptionIndex = 0, Temp3CaptionIndex = 0;
  int32_t Temp1Limit = 125, Temp1Adjustor = 0;
  int32_t Temp2Limit = 125, Temp2Adjustor = 0;
  int32_t Temp3Limit = 125, Temp3Adjustor = 0;

  // Voltage
  int32_t VoltPrecision = 0;
  int32_t Volt1PositionIndex = 0, Volt2PositionIndex = 1, Volt3PositionIndex = 2;
  int32_t Volt4PositionIndex = 3, Volt5PositionIndex = 4, Volt6PositionIndex = 5;
  int32_t Volt7PositionIndex = 6, Volt8PositionIndex = 7, Volt9PositionIndex = 8;
  int32_t Volt1CaptionIndex = 0, Volt2CaptionIndex = 0, Volt3CaptionIndex = 0;
  int32_t Volt4CaptionIndex = 0, Volt5CaptionIndex = 0, Volt6CaptionIndex = 0;
  int32_t Volt7CaptionIndex = 0, Volt8CaptionIndex = 0, Volt9CaptionIndex = 0;
  int32_t Volt1ULimit = 255, Volt1LLimit = 1, Volt2ULimit = 255, Volt2LLimit = 1;
  int32_t Volt3ULimit = 255, Volt3LLimit = 1, Volt4ULimit = 255, Volt4LLimit = 1;
  int32_t Volt5ULimit = 255, Volt5LLimit = 1, Volt6ULimit = 255, Volt6LLimit = 1;
  int32_t Volt7ULimit = 255, Volt7LLimit = 1, Volt8ULimit = 255, Volt8LLimit = 1;
  int32_t Volt9ULimit = 255, Volt9LLimit = 1;

  // Run-time flags, never stored in the seven keys.
  bool SettingsDefaulted = false;
  bool StartWithWindows = false;

  bool operator==(const MonitorSettings&) const = default;
};

// Per-channel views of the numbered fields, for code that walks channels
// by index (fan n = 0..2, temperature n = 0..2, voltage n = 0..8).
bool& ChannelChecked(MonitorSettings& s, int channel);  // channel 1..15
bool& ChannelLogging(MonitorSettings& s, int channel);
int32_t& ChannelCaptionIndex(MonitorSettings& s, int channel);
int32_t& ChannelPositionIndex(MonitorSettings& s, int channel);
int32_t& FanPPR(MonitorSettings& s, int n);
int32_t& FanLimit(MonitorSettings& s, int n);
int32_t& TempLimit(MonitorSettings& s, int n);
int32_t& TempAdjustor(MonitorSettings& s, int n);
int32_t& VoltULimit(MonitorSettings& s, int n);
int32_t& VoltLLimit(MonitorSettings& s, int n);
std::string& SoundFile(MonitorSettings& s, int kind);  // error kind 1..3

}  // namespace kev
