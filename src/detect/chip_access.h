// The one register path to the monitoring chip: over the SMBus, the ISA
// index/data pair (plain or Winbond-banked), the VIA I/O window or the
// PC87366 logical devices. Nothing above it knows the transport.
#pragma once

#include <cstdint>

#include "detect/records.h"
#include "hw/portio.h"

namespace kev {

enum class ChipPath : uint8_t { None, Smbus, IsaPair, WinbondIsa, Via, Pc87366 };

// PC87366 logical device an access goes to; other chips have only Main
// (for the PC87366, Main is the fan-speed device).
enum class RegSpace : uint8_t { Main, Voltage, Temperature };

// Winbond bank-select values (register 4Eh): bank 0 with the high byte of the
// vendor ID, bank 0 with the low byte, banks 1 and 2.
inline constexpr uint8_t kWbBank0 = 0x80;
inline constexpr uint8_t kWbBank0Low = 0x00;
inline constexpr uint8_t kWbBank1 = 0x81;
inline constexpr uint8_t kWbBank2 = 0x82;
inline constexpr uint8_t kWbRegBank = 0x4E;

class ChipRegs {
 public:
  // port: the chip's ISA / VIA base (MainChipPortAddress); the SMBus path
  // uses pm.VendorDevice, pm.SmbBase and chip.MainSmbAddress, the PC87366
  // path the chip's logical-device bases.
  ChipRegs(PortIo& io, ChipPath path, const PmDevice& pm, const HwMonitorChip& chip, int32_t port);

  ChipPath path() const { return path_; }

  // Byte at reg, or -1 when an SMBus read fails (and on ChipPath::None, or
  // for a PC87366 block without a usable base, which is never written).
  // bank: the Winbond bank for banked paths (over the SMBus a bank other than
  // bank 0 is selected through 4Eh and bank 0 restored after); for the
  // PC87366 voltage and temperature devices the channel.
  int32_t read(uint8_t reg, uint8_t bank = kWbBank0, RegSpace space = RegSpace::Main);
  void write(uint8_t reg, uint8_t value, uint8_t bank = kWbBank0, RegSpace space = RegSpace::Main);
  // 16-bit SMBus read, first byte on the bus in bits 15-8; -1 on failure or
  // on any other path.
  int32_t readWord(uint8_t reg);

 private:
  PortIo& io_;
  ChipPath path_;
  uint32_t pmId_;
  uint32_t smbBase_;
  uint32_t slave_;
  // The PC87366 block of space, or -1 when it cannot be used.
  int32_t block(RegSpace space) const;

  uint32_t port_;
  int32_t fsm_, vlm_, tms_;
};

}  // namespace kev
