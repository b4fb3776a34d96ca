// Sysfs and proc trees of a board, built in a fresh folder, for the scan of
// kernel drivers that own the hardware.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "detect/ownership.h"
#include "settings/temp_dir.h"

namespace kev::test {

class OwnershipTree {
 public:
  OwnershipTree() {
    std::filesystem::create_directories(root_ / "sys/bus/pci/devices");
    std::filesystem::create_directories(root_ / "proc");
  }

  OwnershipRoots roots() const { return {(root_ / "sys").string(), (root_ / "proc").string()}; }
  std::filesystem::path sys() const { return root_ / "sys"; }

  // Function "DD.F" of bus 0: its identifier dword and other dwords by
  // offset, cut to the bytes a reader may see (64 when not privileged).
  void AddPci(const std::string& slot, uint32_t vendorDevice, std::map<uint8_t, uint32_t> dwords,
              size_t visible = 256) {
    const auto dir = sys() / "bus/pci/devices" / ("0000:00:" + slot);
    std::filesystem::create_directories(dir);
    std::string bytes(256, '\0');
    dwords[0] = vendorDevice;
    for (const auto& [offset, value] : dwords) {
      for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    }
    Write(dir / "config", bytes.substr(0, visible));
  }
  // The PIIX4 power-management function at 07.3 with its SMBus at 5000h.
  void AddPiix4(size_t visible = 256) { AddPci("07.3", 0x71138086, {{0x90, 0x5001}}, visible); }

  // Binds a driver to the function; module empty: built into the kernel.
  void BindPci(const std::string& slot, const std::string& driver, const std::string& module) {
    const auto driverDir = sys() / "bus/pci/drivers" / driver;
    Link(sys() / "bus/pci/devices" / ("0000:00:" + slot) / "driver", driverDir);
    if (!module.empty()) Link(driverDir / "module", sys() / "module" / module);
  }

  // hwmonN named name, on device (e.g. "w83627hf.656") bound to driver
  // from module (empty: built in).
  void AddHwmon(int n, const std::string& name, const std::string& device,
                const std::string& driver, const std::string& module = "") {
    const auto dir = sys() / "class/hwmon" / ("hwmon" + std::to_string(n));
    const auto deviceDir = sys() / "devices/platform" / device;
    std::filesystem::create_directories(dir);
    Write(dir / "name", name + "\n");
    Link(dir / "device", deviceDir);
    if (driver.empty()) return;
    const auto driverDir = sys() / "bus/platform/drivers" / driver;
    Link(deviceDir / "driver", driverDir);
    if (!module.empty()) Link(driverDir / "module", sys() / "module" / module);
  }

  // The driver's i2c adapter i2c-N on the function, and a client driver
  // bound at address on it.
  void AddAdapter(const std::string& slot, int n) {
    std::filesystem::create_directories(sys() / "bus/pci/devices" / ("0000:00:" + slot) /
                                        ("i2c-" + std::to_string(n)));
  }
  void BindClient(const std::string& slot, int n, const std::string& client,
                  const std::string& driver) {
    Link(sys() / "bus/pci/devices" / ("0000:00:" + slot) / ("i2c-" + std::to_string(n)) / client /
             "driver",
         sys() / "bus/i2c/drivers" / driver);
  }

  void SetIoports(const std::string& text) { Write(root_ / "proc/ioports", text); }

 private:
  static void Write(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
  }
  static void Link(const std::filesystem::path& link, const std::filesystem::path& target) {
    std::filesystem::create_directories(target);
    std::filesystem::create_directories(link.parent_path());
    std::filesystem::create_directory_symlink(target, link);
  }

  TempDir dir_;
  std::filesystem::path root_{dir_.path()};
};

}  // namespace kev::test
