// South-bridge and host-bridge PCI functions of the period's chipsets, with
// their SMBus hosts and the board-switch targets that live in them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/board.h"
#include "sim/pci.h"
#include "sim/smbus_host.h"

namespace kev::sim {

// How the BIOS left a south bridge. Kinds: "PIIX4", "PIIX4E", "ICH", "ICH0",
// "ICH2", "ICH2-M", "ICH3-M", "AMD-756", "AMD-766", "AMD-768", "VT82C596B",
// "VT82C596B-3051", "VT82C686A", "VT82C686B", "VT8231", "VT8233", "VT8233C",
// "SiS5595", "SiS630", "M1535D+".
struct SouthBridgeSetup {
  std::string kind;
  std::optional<uint8_t> revision;  // default: the part's usual stepping
  uint16_t smbusBase = 0x5000;      // SMBus host (SiS 630: PM I/O space) base
  uint16_t pmIoBase = 0xE400;       // PIIX4 / VIA PM I/O block (GPIO latches)
  bool smbusHidden = false;         // ICH: LPC register F2h bit 3 set
  bool pmEnabled = true;            // SiS 630: device 1 register 40h bit 7
  uint16_t monitorBase = 0;         // VIA 70h, SiS 5595 68h; 0: none
  bool monitorEnabled = true;       // VIA 74h bit 0
};

struct SouthBridge {
  PciFunction* pm = nullptr;       // the function the SMBus base is read from
  PciFunction* monitor = nullptr;  // the function holding the monitor base
  SmbusHost* host = nullptr;
};

bool IsSouthBridgeKind(std::string_view kind);
std::vector<std::string> SouthBridgeKinds();

// The identifier (vendor | device << 16) of a function on bus 0 by device
// and function number; 0 where none answers.
using PciIdAt = std::function<uint32_t(uint8_t device, uint8_t function)>;
// The kind whose PM function carries pmId and revision. Kinds that share a
// PM function are told apart as the parts are: by a revision bit (PIIX4E,
// VT82C686B) or by the identifier of their function 0 (ICH2-M). nullopt when
// no kind has that PM function.
std::optional<std::string> SouthBridgeKindOf(uint32_t pmId, uint8_t revision, const PciIdAt& idAt);
// Builds the functions at their usual locations on bus 0. The kind must be
// one IsSouthBridgeKind accepts.
SouthBridge AddSouthBridge(SimBoard& board, const SouthBridgeSetup& setup);

// Host bridges at bus 0 device 0. Kinds: "440BX", "440GX", "440LX", "i810",
// "i815", "i830M", "i850", "KT133", "KT266", "ApolloPro133A", "AMD-751",
// "AMD-761", "M1541", "SiS5600", "SiS530". agp false gives the 440BX/GX identifier of the
// AGP-disabled configuration; dualCoreVoltage clears the 440BX/GX register 50h bit 15.
struct HostBridgeSetup {
  std::string kind;
  bool agp = true;
  bool dualCoreVoltage = false;
};

bool IsHostBridgeKind(std::string_view kind);
std::vector<std::string> HostBridgeKinds();
PciFunction& AddHostBridge(SimBoard& board, const HostBridgeSetup& setup);

// A byte of I/O that keeps what is written (GPIO output latches).
class ByteLatch : public IoDevice {
 public:
  explicit ByteLatch(uint8_t value = 0) : value_(value) {}
  uint8_t value() const { return value_; }
  uint8_t ioRead8(uint16_t) override { return value_; }
  void ioWrite8(uint16_t, uint8_t v) override { value_ = v; }

 private:
  uint8_t value_;
};

// A 16-bit register of I/O that keeps what is written, byte lanes included.
class WordLatch : public IoDevice {
 public:
  WordLatch(uint16_t port, uint16_t value) : port_(port), value_(value) {}
  uint16_t value() const { return value_; }
  uint8_t ioRead8(uint16_t port) override;
  void ioWrite8(uint16_t port, uint8_t v) override;

 private:
  uint16_t port_;
  uint16_t value_;
};

}  // namespace kev::sim
