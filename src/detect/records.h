// What detection and set-up found: the PM device, the monitoring chip and
// the values configuration derives from them. -1 means "not found".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kev {

struct PmDevice {
  int32_t PciDevice = -1;
  int32_t PciFunction = -1;
  int32_t VendorDevice = -1;  // device ID in bits 31-16, vendor ID in 15-0
  int32_t Revision = -1;
  int32_t SmbBase = -1;
};

struct HwMonitorChip {
  int32_t MainSmbAddress = -1;
  bool MainSmbFound = false;
  int32_t ChipVendor = -1;
  int32_t ChipRevision = -1;
  int32_t ChipKind = -1;
  bool FoundOnPort = false;
  int32_t FsmBase = -1;
  int32_t VlmBase = -1;
  int32_t TmsBase = -1;
  bool Gl520Vin4Mode = false;
  int32_t SmbTempSensorType = 0x2000;  // kSensorWord
  bool MainSmbOnly = false;
};

// SmbTempSensorType values besides a chip kind: the auxiliary Temp 2 / Temp 3
// sensor returns a 16-bit (LM75-style) or an 8-bit (MAX1617-style) reading.
inline constexpr int32_t kSensorWord = 0x2000;
inline constexpr int32_t kSensorByte = 0x4000;

// Everything the sampling cycle and the report need from detection and set-up.
struct DetectState {
  PmDevice pm;
  bool DualCoreVoltage = false;
  HwMonitorChip chip;
  std::array<int32_t, 3> FanDivisor{2, 2, 2};  // effective: clock divisor x PPR
  int32_t SubClientIndex = -1;  // AS99127F: TempSensorAddressList index of sub-client 1
  // Real ports (or privilege given to a user who is not root): a stored chip
  // port where no monitoring chip sits is left untouched (detect/port_policy.h).
  bool SettingsPortRestricted = false;
  int32_t RefusedSettingsPort = -1;  // the stored port detection last left alone, or -1
};

// The chip kinds the program knows (ChipKind values).
namespace kind {
inline constexpr int32_t Unknown = 0x00;
inline constexpr int32_t LM78Compatible = 0x10;
inline constexpr int32_t LM78 = 0x20;
inline constexpr int32_t LM78J = 0x30;
inline constexpr int32_t LM79 = 0x40;
inline constexpr int32_t LM80 = 0x50;
inline constexpr int32_t LM81 = 0x60;
inline constexpr int32_t LM87 = 0x70;
inline constexpr int32_t PC87366 = 0x80;
inline constexpr int32_t WinbondChip = 0x90;
inline constexpr int32_t W83781D = 0xA0;
inline constexpr int32_t W83627HF = 0xB0;
inline constexpr int32_t W83782D = 0xC0;
inline constexpr int32_t W83783S = 0xD0;
inline constexpr int32_t W83697HF = 0xE0;
inline constexpr int32_t GL518SM = 0xF0;
inline constexpr int32_t GL520SM = 0x100;
inline constexpr int32_t AS99127F_WB = 0x110;
inline constexpr int32_t AS99127F_AS = 0x120;
inline constexpr int32_t SiS5595 = 0x130;
inline constexpr int32_t VT82C686A = 0x140;
inline constexpr int32_t VT82C686B = 0x150;
inline constexpr int32_t VT8231 = 0x160;
inline constexpr int32_t IT8705F = 0x170;
inline constexpr int32_t IT8712F = 0x180;
}  // namespace kind

// The 14 addresses Temp 2 / Temp 3 auxiliary sensors may sit at.
inline constexpr std::array<uint8_t, 14> TempSensorAddressList{
    0x18, 0x19, 0x1A, 0x29, 0x2A, 0x2B, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F};

// TempSensorAddressList[index], or -1 when index is outside the table.
inline int32_t TempSensorAddress(int32_t index) {
  return index >= 0 && index < static_cast<int32_t>(TempSensorAddressList.size())
             ? TempSensorAddressList[static_cast<std::size_t>(index)]
             : -1;
}

}  // namespace kev
