// Kernel drivers that own the SMBus host or the chip, found in sysfs and
// /proc/ioports fixture trees.
#include "detect/ownership.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "detect/ownership_fixture.h"

namespace kev {
namespace {

constexpr int32_t kChipPort = 0x290;

struct OwnershipCase {
  const char* name;
  std::function<void(test::OwnershipTree&)> build;
  std::vector<std::string> expected;  // OwnerLine of each owner, in order; {sys}: the tree
  int32_t smbBase;                    // as the configuration files show it
};

const OwnershipCase kCases[] = {
    {"HostDriverBound",
     [](test::OwnershipTree& t) {
       t.AddPiix4();
       t.BindPci("07.3", "piix4_smbus", "i2c_piix4");
       t.SetIoports("5000-5007 : piix4_smbus\n");
     },
     {"piix4_smbus owns PCI 0000:00:07.3 (intel 82371AB (PIIX4)) (the SMBus host and PM device): "
      "free it with \"modprobe -r i2c-piix4\""},
     0x5000},
    {"BuiltInHostDriverIsUnbound",
     [](test::OwnershipTree& t) {
       t.AddPiix4();
       t.BindPci("07.3", "piix4_smbus", "");
     },
     {"piix4_smbus owns PCI 0000:00:07.3 (intel 82371AB (PIIX4)) (the SMBus host and PM device): "
      "free it with \"echo 0000:00:07.3 > {sys}/bus/pci/drivers/piix4_smbus/unbind\""},
     0x5000},
    {"ChipDriverBound",
     [](test::OwnershipTree& t) {
       t.AddHwmon(0, "coretemp", "coretemp.0", "coretemp");
       t.AddHwmon(1, "w83697hf", "w83627hf.656", "w83627hf", "w83627hf");
     },
     {"w83627hf owns hwmon1 on w83627hf.656 (a monitoring chip (w83697hf)): free it with "
      "\"modprobe -r w83627hf\""},
     -1},
    {"IoportsOverlap",
     [](test::OwnershipTree& t) {
       t.AddPiix4();
       t.SetIoports(
           "0000-0cf7 : PCI Bus 0000:00\n  0290-0297 : lm78\n  0300-0307 : it87\n"
           "  5000-500f : pnp 00:02\n    5008-500f : amd756_smbus\n0cf8-0cff : PCI conf1\n");
     },
     {"lm78 owns I/O ports 0290-0297 (the chip's index/data ports): free it with \"modprobe -r "
      "lm78\"",
      "amd756_smbus owns I/O ports 5008-500F (the SMBus host): free it with \"modprobe -r "
      "i2c-amd756\""},
     0x5000},
    {"NothingBound",
     [](test::OwnershipTree& t) {
       t.AddPiix4();
       t.AddHwmon(0, "acpitz", "LNXTHERM:00", "");
       t.SetIoports("0290-0297 : pnp 00:09\n03f8-03ff : serial\n");
     },
     {},
     0x5000},
    // What a reader without privilege sees: 64 configuration bytes, zero
    // addresses; a name that is a folder and a dangling link do not stop it.
    {"UnreadableFiles",
     [](test::OwnershipTree& t) {
       t.AddPiix4(64);
       std::filesystem::create_directories(t.sys() / "class/hwmon/hwmon0/name");
       std::filesystem::create_directories(t.sys() / "class/hwmon/hwmon1");
       std::filesystem::create_symlink("/nonexistent", t.sys() / "class/hwmon/hwmon1/device");
       t.SetIoports("0000-0000 : PCI Bus 0000:00\n  0000-0000 : vt596_smbus\n  garbage\n");
     },
     {"vt596_smbus owns I/O ports (addresses shown to root only) (probably the SMBus host or the "
      "chip): free it with \"modprobe -r i2c-viapro\""},
     -1},
};

class OwnershipTest : public ::testing::TestWithParam<OwnershipCase> {};

TEST_P(OwnershipTest, FindsTheOwnersOfTheSmbusHostAndTheChip) {
  test::OwnershipTree tree;
  GetParam().build(tree);
  const OwnershipFacts facts = ReadOwnership(tree.roots());
  EXPECT_EQ(facts.pm.SmbBase, GetParam().smbBase);
  std::vector<std::string> lines;
  for (const HardwareOwner& o : FindOwners(facts, kChipPort)) lines.push_back(OwnerLine(o));
  std::vector<std::string> expected = GetParam().expected;
  const std::string sys = std::filesystem::canonical(tree.sys()).string();
  for (std::string& e : expected) {
    if (const auto at = e.find("{sys}"); at != std::string::npos) e.replace(at, 5, sys);
  }
  EXPECT_EQ(lines, expected);
}

INSTANTIATE_TEST_SUITE_P(Trees, OwnershipTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

// A stored port on a serial port: the setting is at fault, and "serial" is
// built into most kernels, so no module is named to unload.
TEST(OwnershipTest, ADriverThatIsNoChipsAtTheStoredPortGetsAdviceOnTheSetting) {
  test::OwnershipTree tree;
  tree.SetIoports("03f8-03ff : serial\n");
  const std::vector<HardwareOwner> owners = FindOwners(ReadOwnership(tree.roots()), 0x3F8);
  ASSERT_EQ(owners.size(), 1u);
  EXPECT_EQ(OwnerLine(owners[0]),
            "serial owns I/O ports 03F8-03FF (the chip's index/data ports): the chip port 3F8h "
            "from the settings is no monitoring chip's; set the port in the settings back to 290h");
  const std::string refusal = OwnersRefusalText(owners);
  EXPECT_TRUE(
      refusal.ends_with("\nChange the setting as it says, or pass --force to go on anyway."))
      << refusal;
}

// i2c-piix4 with its adapter: through the adapter it is the way in, not an
// owner; an lm75 bound on it is named and left alone, a monitoring chip's
// driver bound on it stays an owner.
TEST(OwnershipTest, TheSmbusThroughTheKernelIsNoOwnerAndItsClientsAreNamed) {
  test::OwnershipTree tree;
  tree.AddPiix4();
  tree.BindPci("07.3", "piix4_smbus", "i2c_piix4");
  tree.AddAdapter("07.3", 0);
  tree.BindClient("07.3", 0, "0-0048", "lm75");
  tree.BindClient("07.3", 0, "0-002d", "w83781d");
  tree.AddHwmon(1, "w83782d", "0-002d", "w83781d", "w83781d");
  tree.SetIoports("5000-5007 : piix4_smbus\n");
  const OwnershipFacts facts = ReadOwnership(tree.roots());
  ASSERT_TRUE(facts.adapter);
  EXPECT_EQ(SmbusTransportText(facts, true), "through the kernel's piix4_smbus (/dev/i2c-0)");
  EXPECT_EQ(SmbusTransportText(facts, false), "port I/O");
  EXPECT_EQ(FindOwners(facts, kChipPort, false).size(), 2u);  // without it: the host's driver too
  const std::vector<HardwareOwner> owners = FindOwners(facts, kChipPort, true);
  ASSERT_EQ(owners.size(), 1u);
  EXPECT_EQ(owners[0].driver, "w83781d");
  std::vector<std::string> held;
  for (const HardwareOwner& o : KernelHeldAddresses(facts)) held.push_back(OwnerLine(o));
  EXPECT_EQ(held, std::vector<std::string>{"lm75 owns SMBus address 48h on /dev/i2c-0 (an address "
                                           "Kevatra would read): Kevatra leaves it to the kernel"});
}

TEST(OwnershipTest, MissingTreesFindNothing) {
  const OwnershipFacts facts = ReadOwnership({"/nonexistent/sys", "/nonexistent/proc"});
  EXPECT_EQ(facts.pm.VendorDevice, -1);
  EXPECT_TRUE(FindOwners(facts, kChipPort).empty());
}

}  // namespace
}  // namespace kev
