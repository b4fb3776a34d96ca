// SMBus host controllers of the five families, each an I/O device at its base.
#pragma once

#include <cstdint>

#include "sim/machine.h"
#include "sim/smbus.h"

namespace kev::sim {

enum class SmbusHostFamily { Piix4, Ali, Sis630, Sis5595, Amd };

// Every family latches the outcome of a transaction into write-1-to-clear
// status bits and shows busy for a few status reads after the start. A host
// that is busy ignores a new start. A slave that does not acknowledge sets the
// family's device-error bits; a lost arbitration sets its collision bits.
//
// Register blocks mapped relative to base:
//   PIIX4 type  base+00h..0Fh          ALi      base+00h..0Fh
//   SiS 630     base+80h..8Fh          SiS 5595 index base+38h, data base+39h
//   AMD         base+E0h..EFh
class SmbusHost : public IoDevice {
 public:
  ~SmbusHost() override = default;
  virtual SmbusHostFamily family() const = 0;
  virtual uint16_t base() const = 0;
  // Fault: the host reports busy and starts nothing. Its reset (kill, or the
  // ALi time-out reset) clears the fault unless survivesReset is set.
  virtual void setStuckBusy(bool stuck, bool survivesReset = false) = 0;
  // How many times the host was reset (kill or time-out reset written).
  virtual uint32_t resets() const = 0;
  // How many transactions the host started on the bus.
  virtual uint32_t starts() const = 0;
};

// Status reads a started transaction stays busy for.
inline constexpr int kSmbusHostBusyReads = 2;

// Creates a host of the family, maps its register block at base in m and
// connects it to bus. The machine owns the host.
SmbusHost& AddSmbusHost(SimMachine& m, SmbusHostFamily family, uint16_t base, SmbusBus& bus);

}  // namespace kev::sim
