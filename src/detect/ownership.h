// Kernel drivers that already drive the hardware the program would touch:
// the driver bound to the PM device's PCI function, hwmon devices of the
// monitoring chips the program knows, and I/O port claims over the SMBus
// host or the chip's index/data pair. Read from sysfs and proc only; no
// port is touched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "detect/records.h"

namespace kev {

struct OwnershipRoots {
  std::string sys = "/sys";
  std::string proc = "/proc";
};

struct HardwareOwner {
  std::string driver;  // as the kernel names it, e.g. "piix4_smbus"
  std::string device;  // what it sits on, e.g. "PCI 0000:00:07.3 (intel 82371AB (PIIX4))"
  std::string what;    // what the program would share with it, e.g. "the SMBus host"
  std::string free;    // the command that frees it, e.g. "modprobe -r i2c-piix4"
  // Instead of a command: what to change when the driver is no monitoring
  // chip's and only a stored chip port points at its ports.
  std::string advice;
};

// The kernel's i2c adapter on the PM device's SMBus function, where a
// driver (i2c-piix4 and the like) exposes one.
struct KernelAdapter {
  int number = -1;     // N of /dev/i2c-N
  std::string driver;  // as the kernel names it, e.g. "piix4_smbus"
  std::string node() const { return "/dev/i2c-" + std::to_string(number); }
};
std::optional<KernelAdapter> FindKernelAdapter(const std::string& sysRoot, const PmDevice& pm);

// A kernel client driver bound to an address on that adapter.
struct KernelClient {
  uint8_t address = 0;
  std::string driver;
};

struct IoClaim {
  uint32_t first = 0;
  uint32_t last = 0;
  std::string name;
};

// What sysfs and /proc/ioports tell. Read it before privileges are dropped:
// /proc/ioports shows addresses only to a privileged reader.
struct OwnershipFacts {
  PmDevice pm;                           // the PM device as the configuration files show it
  std::string pmName;                    // its shown name
  bool smbBaseHidden = false;            // its base register lies beyond what we may read
  std::vector<HardwareOwner> bound;      // drivers on the PM function and known chips
  std::vector<IoClaim> claims;           // every line of /proc/ioports
  bool claimAddressesHidden = false;     // an unprivileged reader sees 0000-0000
  std::optional<KernelAdapter> adapter;  // the SMBus host's i2c adapter
  std::vector<KernelClient> clients;     // kernel drivers bound on it
};

OwnershipFacts ReadOwnership(const OwnershipRoots& roots);

// The owners of what the program would touch: the bound drivers, and claims
// over the SMBus host or over the index/data pair of the chip at chipPort
// (the ISA base). One entry per driver. When the SMBus goes through the
// kernel's adapter, its host driver is no owner but the way in.
std::vector<HardwareOwner> FindOwners(const OwnershipFacts& facts, int32_t chipPort,
                                      bool smbusThroughKernel = false);

// The addresses kernel client drivers hold on the adapter, which the program
// leaves alone when it goes through the adapter (monitoring chip drivers
// are owners instead). Not a refusal.
std::vector<HardwareOwner> KernelHeldAddresses(const OwnershipFacts& facts);

// How the SMBus is reached: "through the kernel's piix4_smbus (/dev/i2c-0)"
// or "port I/O".
std::string SmbusTransportText(const OwnershipFacts& facts, bool smbusThroughKernel);

// One line per owner: "DRIVER owns DEVICE (WHAT): free it with COMMAND", or
// the advice instead of the command.
std::string OwnerLine(const HardwareOwner& owner);

// The refusal to start beside the owners, naming each and how to free it.
std::string OwnersRefusalText(const std::vector<HardwareOwner>& owners);

}  // namespace kev
