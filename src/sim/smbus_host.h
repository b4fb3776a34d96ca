// SMBus host controllers of the five families, each an I/O device at its base.
#pragma once

#include <memory>

#include "sim/machine.h"
#include "sim/smbus.h"

namespace kev::sim {

enum class SmbusHostFamily { Piix4, Ali, Sis630, Sis5595, Amd };

class SmbusHost : public IoDevice {
 public:
  ~SmbusHost() override = default;
  virtual SmbusHostFamily family() const = 0;
  virtual uint16_t base() const = 0;
  // Fault: the host reports busy forever until reset by its reset value.
  virtual void setStuckBusy(bool stuck) = 0;
};

// Creates a host of the family, maps its register block at base in m and
// connects it to bus. The machine owns the host.
SmbusHost& AddSmbusHost(SimMachine& m, SmbusHostFamily family, uint16_t base, SmbusBus& bus);

}  // namespace kev::sim
