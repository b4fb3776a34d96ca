#include "detect/ownership.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "detect/detect.h"
#include "hw/sysfs_pci.h"
#include "settings/monitor_settings.h"

namespace kev {
namespace {

namespace fs = std::filesystem;

// The SMBus host registers the program drives sit in the first 16 ports.
constexpr uint32_t kSmbusHostSpan = 16;
// LM78-style chips: index register at base + 5, data register at base + 6.
constexpr uint32_t kChipIndexOffset = 5;
constexpr uint32_t kChipDataOffset = 6;
// A base register read past the visible configuration bytes: all ones with
// bit 0 cleared.
constexpr int32_t kUnreadableBase = 0xFFFE;
constexpr size_t kFullConfigBytes = 256;
constexpr const char* kSmbusHostOwner = "the SMBus host and PM device";

// Kernel drivers of the SMBus hosts and monitoring chips the program knows,
// by the driver, region or hwmon name they show, with the module to unload.
struct KnownDriver {
  std::string_view name;
  std::string_view module;
};
constexpr std::array<KnownDriver, 28> kKnownDrivers{{
    {"piix4_smbus", "i2c-piix4"},
    {"i801_smbus", "i2c-i801"},
    {"vt596_smbus", "i2c-viapro"},
    {"sis5595_smbus", "i2c-sis5595"},
    {"sis630_smbus", "i2c-sis630"},
    {"ali15x3_smbus", "i2c-ali15x3"},
    {"amd756_smbus", "i2c-amd756"},
    {"w83781d", "w83781d"},
    {"w83782d", "w83781d"},
    {"w83783s", "w83781d"},
    {"as99127f", "w83781d"},
    {"w83627hf", "w83627hf"},
    {"w83697hf", "w83627hf"},
    {"lm78", "lm78"},
    {"lm79", "lm78"},
    {"lm80", "lm80"},
    {"lm87", "lm87"},
    {"gl518sm", "gl518sm"},
    {"gl520sm", "gl520sm"},
    {"it87", "it87"},
    {"it8705", "it87"},
    {"it8712", "it87"},
    {"via686a", "via686a"},
    {"sis5595", "sis5595"},
    {"pc87360", "pc87360"},
    {"pc87366", "pc87360"},
    {"asb100", "asb100"},
    {"vt8231", "vt8231"},
}};

const KnownDriver* FindKnown(std::string_view name) {
  for (const KnownDriver& k : kKnownDrivers) {
    if (k.name == name) return &k;
  }
  return nullptr;
}

// The last part of a symbolic link's target, or empty when there is none.
std::string LinkName(const fs::path& link) {
  std::error_code ec;
  const fs::path target = fs::read_symlink(link, ec);
  return ec ? std::string() : target.filename().string();
}

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

// modprobe takes dashes and underscores alike; dashes read as the package
// names users know.
std::string ModprobeCommand(std::string module) {
  for (char& c : module) c = c == '_' ? '-' : c;
  return "modprobe -r " + module;
}

// How to free the driver of device: unload its module; one built into the
// kernel (no module link) is unbound from the device instead. Without a
// driver link the known table names the module.
std::string FreeCommand(const fs::path& device, const std::string& name) {
  const fs::path driverLink = device / "driver";
  const std::string module = LinkName(driverLink / "module");
  if (!module.empty()) return ModprobeCommand(module);
  std::error_code ec;
  const fs::path driverDir = fs::canonical(driverLink, ec);
  const fs::path deviceDir = fs::canonical(device, ec);
  if (!ec && !driverDir.empty()) {
    return "echo " + deviceDir.filename().string() + " > " + (driverDir / "unbind").string();
  }
  const KnownDriver* k = FindKnown(name);
  return ModprobeCommand(k ? std::string(k->module) : name);
}

std::string PciName(const PmDevice& pm) {
  char name[16];
  std::snprintf(name, sizeof name, "0000:00:%02x.%x", static_cast<unsigned>(pm.PciDevice & 0x1F),
                static_cast<unsigned>(pm.PciFunction & 0x7));
  return name;
}

void ReadPmDevice(const OwnershipRoots& roots, OwnershipFacts& facts) {
  SysfsPciConfig config(roots.sys);
  facts.pm = ScanPmDevice(config);
  facts.pmName = std::string(PmDeviceName(config, facts.pm.VendorDevice, facts.pm.Revision));
  if (facts.pm.PciDevice < 0) return;
  const size_t visible = config.visibleBytes(static_cast<uint32_t>(facts.pm.PciDevice),
                                             static_cast<uint32_t>(facts.pm.PciFunction));
  if (visible < kFullConfigBytes && facts.pm.SmbBase == kUnreadableBase) {
    facts.smbBaseHidden = true;
    facts.pm.SmbBase = -1;
  }
  const std::string name = PciName(facts.pm);
  const fs::path device = fs::path(roots.sys) / "bus/pci/devices" / name;
  const std::string driver = LinkName(device / "driver");
  if (driver.empty()) return;
  facts.bound.push_back({driver, "PCI " + name + " (" + facts.pmName + ")", kSmbusHostOwner,
                         FreeCommand(device, driver), ""});
}

void ReadHwmon(const OwnershipRoots& roots, OwnershipFacts& facts) {
  std::error_code ec;
  for (const fs::directory_entry& e :
       fs::directory_iterator(fs::path(roots.sys) / "class/hwmon", ec)) {
    const std::string name = FirstLine(e.path() / "name");
    const fs::path device = e.path() / "device";
    std::string driver = LinkName(device / "driver");
    if (driver.empty()) driver = name;
    const std::string module = LinkName(device / "driver/module");
    if (FindKnown(name) == nullptr && FindKnown(module) == nullptr) continue;
    const std::string on = LinkName(device);
    facts.bound.push_back({driver, e.path().filename().string() + (on.empty() ? "" : " on " + on),
                           "a monitoring chip (" + name + ")", FreeCommand(device, name), ""});
  }
}

void ReadIoports(const OwnershipRoots& roots, OwnershipFacts& facts) {
  std::ifstream in(fs::path(roots.proc) / "ioports");
  std::string line;
  bool anyAddress = false;
  while (std::getline(in, line)) {
    unsigned first = 0;
    unsigned last = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), " %x-%x : %n", &first, &last, &used) != 2 || used == 0) continue;
    facts.claims.push_back({first, last, line.substr(static_cast<size_t>(used))});
    anyAddress = anyAddress || first != 0 || last != 0;
  }
  facts.claimAddressesHidden = !facts.claims.empty() && !anyAddress;
}

// Drivers claim ports under their own name; firmware and bus reservations
// ("pnp 00:08", "ACPI PM1a_EVT_BLK", "0000:00:07.3") are not drivers.
bool IsDriverClaim(const std::string& name) {
  return !name.empty() && name.find_first_of(" :") == std::string::npos;
}

struct PortRange {
  uint32_t first;
  uint32_t last;
  std::string_view what;
  bool chip;  // the index/data pair of the chip port from the settings
};

// A serial port or disk controller at the stored chip port: the setting is
// wrong, and its driver (often built into the kernel) is none to unload.
std::string ChipPortAdvice(int32_t chipPort) {
  char text[160];
  std::snprintf(text, sizeof text,
                "the chip port %Xh from the settings is no monitoring chip's; set the port in "
                "the settings back to %Xh",
                static_cast<unsigned>(chipPort),
                static_cast<unsigned>(MonitorSettings{}.MainChipPortAddress));
  return text;
}

std::string ClaimDevice(const IoClaim& c) {
  char text[40];
  std::snprintf(text, sizeof text, "I/O ports %04X-%04X", c.first, c.last);
  return text;
}

void AddOnce(std::vector<HardwareOwner>& owners, HardwareOwner owner) {
  for (const HardwareOwner& o : owners) {
    if (o.driver == owner.driver) return;
  }
  owners.push_back(std::move(owner));
}

}  // namespace

std::optional<KernelAdapter> FindKernelAdapter(const std::string& sysRoot, const PmDevice& pm) {
  if (pm.PciDevice < 0) return std::nullopt;
  const fs::path device = fs::path(sysRoot) / "bus/pci/devices" / PciName(pm);
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(device, ec)) {
    const std::string name = e.path().filename().string();
    int number = -1;
    int used = 0;
    if (std::sscanf(name.c_str(), "i2c-%d%n", &number, &used) != 1 ||
        used != static_cast<int>(name.size()) || number < 0) {
      continue;
    }
    return KernelAdapter{number, LinkName(device / "driver")};
  }
  return std::nullopt;
}

namespace {

void ReadClients(const OwnershipRoots& roots, OwnershipFacts& facts) {
  facts.adapter = FindKernelAdapter(roots.sys, facts.pm);
  if (!facts.adapter) return;
  const fs::path dir = fs::path(roots.sys) / "bus/pci/devices" / PciName(facts.pm) /
                       ("i2c-" + std::to_string(facts.adapter->number));
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
    int bus = -1;
    unsigned address = 0;
    int used = 0;
    const std::string name = e.path().filename().string();
    if (std::sscanf(name.c_str(), "%d-%4x%n", &bus, &address, &used) != 2 ||
        used != static_cast<int>(name.size()) || bus != facts.adapter->number || address > 0x7F) {
      continue;
    }
    const std::string driver = LinkName(e.path() / "driver");
    if (!driver.empty()) facts.clients.push_back({static_cast<uint8_t>(address), driver});
  }
}

}  // namespace

OwnershipFacts ReadOwnership(const OwnershipRoots& roots) {
  OwnershipFacts facts;
  ReadPmDevice(roots, facts);
  ReadHwmon(roots, facts);
  ReadIoports(roots, facts);
  ReadClients(roots, facts);
  return facts;
}

std::vector<HardwareOwner> KernelHeldAddresses(const OwnershipFacts& facts) {
  std::vector<HardwareOwner> held;
  if (!facts.adapter) return held;
  for (const KernelClient& c : facts.clients) {
    if (FindKnown(c.driver) != nullptr) continue;  // a monitoring chip's: an owner
    char device[64];
    std::snprintf(device, sizeof device, "SMBus address %02Xh on %s", c.address,
                  facts.adapter->node().c_str());
    held.push_back(
        {c.driver, device, "an address Kevatra would read", "", "Kevatra leaves it to the kernel"});
  }
  return held;
}

std::string SmbusTransportText(const OwnershipFacts& facts, bool smbusThroughKernel) {
  if (!smbusThroughKernel || !facts.adapter) return "port I/O";
  return "through the kernel's " + facts.adapter->driver + " (" + facts.adapter->node() + ")";
}

std::vector<HardwareOwner> FindOwners(const OwnershipFacts& facts, int32_t chipPort,
                                      bool smbusThroughKernel) {
  std::vector<HardwareOwner> owners;
  for (const HardwareOwner& o : facts.bound) {
    if (!(smbusThroughKernel && o.what == kSmbusHostOwner)) AddOnce(owners, o);
  }
  std::vector<PortRange> ranges;
  if (!smbusThroughKernel && facts.pm.SmbBase >= static_cast<int32_t>(kFirstDevicePort)) {
    const auto base = static_cast<uint32_t>(facts.pm.SmbBase);
    ranges.push_back({base, base + kSmbusHostSpan - 1, "the SMBus host", false});
  }
  if (chipPort >= static_cast<int32_t>(kFirstDevicePort) &&
      chipPort + static_cast<int32_t>(kChipDataOffset) <= static_cast<int32_t>(kLastPort)) {
    const auto base = static_cast<uint32_t>(chipPort);
    ranges.push_back(
        {base + kChipIndexOffset, base + kChipDataOffset, "the chip's index/data ports", true});
  }
  for (const IoClaim& c : facts.claims) {
    if (!IsDriverClaim(c.name)) continue;
    const KnownDriver* known = FindKnown(c.name);
    const std::string free = ModprobeCommand(known ? std::string(known->module) : c.name);
    if (facts.claimAddressesHidden) {
      // Without the addresses, a claim by a known driver is taken as one.
      if (known != nullptr) {
        AddOnce(owners, {c.name, "I/O ports (addresses shown to root only)",
                         "probably the SMBus host or the chip", free, ""});
      }
      continue;
    }
    for (const PortRange& r : ranges) {
      if (c.first > r.last || r.first > c.last) continue;
      const bool wrongSetting = r.chip && known == nullptr;
      AddOnce(owners, {c.name, ClaimDevice(c), std::string(r.what), wrongSetting ? "" : free,
                       wrongSetting ? ChipPortAdvice(chipPort) : ""});
    }
  }
  return owners;
}

std::string OwnerLine(const HardwareOwner& o) {
  const std::string head = o.driver + " owns " + o.device + " (" + o.what + "): ";
  return head + (o.advice.empty() ? "free it with \"" + o.free + "\"" : o.advice);
}

std::string OwnersRefusalText(const std::vector<HardwareOwner>& owners) {
  std::ostringstream text;
  text << "Kernel drivers already drive the hardware Kevatra would use, and two programs on one "
          "SMBus host or chip garble each other's readings:\n";
  for (const HardwareOwner& o : owners) text << "  " << OwnerLine(o) << '\n';
  const bool anyToFree = std::any_of(owners.begin(), owners.end(),
                                     [](const HardwareOwner& o) { return o.advice.empty(); });
  // A wrong stored port is fixed in the settings; there is no driver to free.
  if (anyToFree) {
    text << "Free " << (owners.size() == 1 ? "it" : "them") << " (as root), or";
  } else {
    text << "Change the setting as it says, or";
  }
  text << " pass --force to go on anyway.";
  return text.str();
}

}  // namespace kev
