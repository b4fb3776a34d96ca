#include "detect/aux_sensors.h"

#include <array>

#include "detect/chip_tables.h"
#include "hw/usmbus.h"

namespace kev {
namespace {

constexpr int32_t kListSize = static_cast<int32_t>(TempSensorAddressList.size());
// Indexes of 18h-2Bh: only byte sensors sit there.
constexpr int32_t kFirstWordSensorIndex = 6;
// 4Ch-4Eh: addresses shared by both sensor kinds.
constexpr int32_t kSharedFirst = 10;
constexpr int32_t kSharedLast = 12;

// Byte sensor: manufacturer ID register and the IDs that mark one.
constexpr uint8_t kRegManufacturerId = 0xFE;
constexpr int32_t kByteSensorId = 0x4D;
constexpr int32_t kByteSensorAltId = 0x49;

struct SensorWrite {
  uint8_t reg;
  uint8_t value;
};
// Configuration (run, alert unmasked), conversion rate, remote high and low limits.
constexpr std::array<SensorWrite, 4> kByteSensorSetup{
    {{0x09, 0x00}, {0x0A, 0x07}, {0x0D, 0x48}, {0x0E, 0xBF}}};

bool MayBeByteSensor(int32_t index) {
  return index != -1 &&
         (index < kFirstWordSensorIndex || (index >= kSharedFirst && index <= kSharedLast));
}

}  // namespace

int32_t AuxSensorBus::read(int32_t index, uint8_t reg) {
  const int32_t addr = TempSensorAddress(index);
  if (addr == -1 || pm_.SmbBase == -1) return -1;
  return SMBrdb(io_, static_cast<uint32_t>(pm_.VendorDevice), static_cast<uint32_t>(pm_.SmbBase),
                static_cast<uint32_t>(addr), reg);
}

void AuxSensorBus::write(int32_t index, uint8_t reg, uint8_t value) {
  const int32_t addr = TempSensorAddress(index);
  if (addr == -1 || pm_.SmbBase == -1) return;
  SMBwtb(io_, static_cast<uint32_t>(pm_.VendorDevice), static_cast<uint32_t>(pm_.SmbBase),
         static_cast<uint32_t>(addr), reg, value);
}

void SanitizeSensorIndexes(MonitorSettings& s) {
  for (int32_t* index : {&s.Temp2SMBAddress, &s.Temp3SMBAddress}) {
    if (*index < -1 || *index >= kListSize) *index = -1;
  }
}

void SearchSensor(AuxSensorBus& bus, int32_t& target, int32_t other) {
  for (int32_t index = 0; index < kListSize && target == -1; ++index) {
    if (bus.answers(index) && index != other) target = index;
  }
}

void FindAuxSensors(PortIo& io, MonitorSettings& s, DetectState& st) {
  HwMonitorChip& chip = st.chip;
  if (config::kNoAuxSensorKinds.has(chip.ChipKind) || st.pm.SmbBase == -1) return;
  AuxSensorBus bus(io, st.pm);
  if (s.Temp2SMBUse || s.Temp3SMBUse) SearchSensor(bus, s.Temp2SMBAddress, s.Temp3SMBAddress);
  if (s.Temp2SMBUse && s.Temp3SMBUse) SearchSensor(bus, s.Temp3SMBAddress, s.Temp2SMBAddress);

  const int32_t probed = s.Temp2SMBAddress;
  if (MayBeByteSensor(probed)) {
    if (bus.read(probed, kRegManufacturerId) == kByteSensorId ||
        bus.read(probed, kRegManufacturerId) == kByteSensorAltId) {
      chip.SmbTempSensorType = kSensorByte;
    }
  }
  const bool byteSensor = chip.SmbTempSensorType == kSensorByte;
  if (!byteSensor) {
    for (int32_t* index : {&s.Temp2SMBAddress, &s.Temp3SMBAddress}) {
      if (*index < kFirstWordSensorIndex) *index = -1;
    }
  }

  // A word sensor gives one temperature, a byte sensor two (local and remote).
  const bool shareWithTemp3 =
      byteSensor ? (s.SettingsDefaulted || s.Temp3SMBUse) : (!s.Temp2SMBUse && s.Temp3SMBUse);
  if (s.Temp3SMBAddress == -1 && shareWithTemp3) s.Temp3SMBAddress = s.Temp2SMBAddress;
  if (!s.SettingsDefaulted && !s.Temp2SMBUse) s.Temp2SMBAddress = -1;

  if (byteSensor && MayBeByteSensor(probed)) {
    for (const SensorWrite& w : kByteSensorSetup) bus.write(probed, w.reg, w.value);
  }
}

}  // namespace kev
