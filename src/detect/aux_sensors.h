// The auxiliary SMBus temperature sensors that Temp 2 and Temp 3 may use,
// addressed by their TempSensorAddressList index.
#pragma once

#include <cstdint>

#include "detect/records.h"
#include "hw/portio.h"
#include "settings/monitor_settings.h"

namespace kev {

class AuxSensorBus {
 public:
  AuxSensorBus(PortIo& io, const PmDevice& pm) : io_(io), pm_(pm) {}
  // -1 when the index is outside the list or the transaction fails.
  int32_t read(int32_t index, uint8_t reg);
  void write(int32_t index, uint8_t reg, uint8_t value);
  bool answers(int32_t index) { return read(index, kRegProbe) != -1; }

  static constexpr uint8_t kRegProbe = 0x00;

 private:
  PortIo& io_;
  const PmDevice& pm_;
};

// Stored indexes outside the list count as automatic (-1).
void SanitizeSensorIndexes(MonitorSettings& s);

// The first answering index other than `other`, while target is -1.
void SearchSensor(AuxSensorBus& bus, int32_t& target, int32_t other);

// Finds and sets up the Temp 2 / Temp 3 sensors and their kind.
void FindAuxSensors(PortIo& io, MonitorSettings& s, DetectState& st);

}  // namespace kev
