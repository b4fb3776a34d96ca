// The fixed-form sections of the profile, checked against literal texts.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "report/expected_text.h"
#include "report/profile.h"
#include "sim/machine.h"
#include "sim/pci.h"

namespace kev::report {
namespace {

TEST(ProfileTitle, NamesProgramAndVersion) {
  std::string out;
  AppendTitle(out);
  EXPECT_EQ(out, "\n--[ Kevatra  Ver.2.1.0.0 ]--\n\n");
}

TEST(ProfileSummary, LabelsPaddedAndBlankLineBeforeChip) {
  InfoSummary s;
  s.texts = {"intel 82371AB (PIIX4)", "7", "3", "5000h", "Winbond W83782D", "2Dh", "49h", "*****"};
  std::string out;
  AppendSummarySection(out, s);
  EXPECT_EQ(out,
            "\n--[ Hardware Monitoring Profile ]-----------------------------\n"
            "\n  PM Device Chip:             intel 82371AB (PIIX4)"
            "\n  PM Device Number:           7"
            "\n  PM Function Number:         3"
            "\n  SMBus Base Address:         5000h"
            "\n"
            "\n  Hardware Monitoring Chip:   Winbond W83782D"
            "\n  SMBus 1st Address:          2Dh"
            "\n  SMBus 2nd Address:          49h"
            "\n  SMBus 3rd Address:          *****"
            "\n--------------------------------------------------------------\n\n");
}

DetectState IchState() {
  DetectState st;
  st.pm = {31, 3, static_cast<int32_t>(0x24838086), 0x02, 0x0500};
  st.chip.ChipVendor = 0x5CA3;
  st.chip.ChipRevision = 0x30;
  st.chip.FoundOnPort = true;
  st.chip.MainSmbAddress = 0x2D;
  st.chip.MainSmbFound = true;
  st.FanDivisor = {2, 8, 0x80};
  return st;
}

TEST(ProfileSettingValues, WholeSectionFromStateAndSettings) {
  MonitorSettings set;
  set.MainChipPortAddressUse = true;
  set.MainChipPortAddress = 0x290;
  set.Temp2SMBUse = true;
  set.Temp2SMBAddress = 7;
  set.Temp3SMBAddress = -1;
  set.Sensor2OnDieDiode = true;
  std::string out;
  AppendSettingValues(out, set, IchState());
  EXPECT_EQ(out,
            "\n--[ Setting Value ]-------------------------------------------\n\n"
            "  PMCID:     24838086h\n"
            "  PMVID:     00008086h\n"
            "  PMDID:     00002403h\n"
            "  PMRID:     00000002h\n"
            "  HWMVID:    00005CA3h\n"
            "  HWMDID:    00000030h\n"
            "  SETPORT:   true\n"
            "  EFCTPORT:  true\n"
            "  PORTADRS:  00000290h\n"
            "  EFCTMSMB:  true\n"
            "  MSMBONLY:  false\n"
            "  MSMBUSE:   false\n"
            "  MSMBADRS:  0000002Dh\n"
            "  T2SMBUSE:  true\n"
            "  T2SMBINDX: 00000007h\n"
            "  T2SMBADRS: 00000049h\n"
            "  T3SMBUSE:  false\n"
            "  T3SMBINDX: FFFFFFFFh\n"
            "  T3SMBADRS: FFFFFFFFh\n"
            "  DIODES1:   false\n"
            "  DIODES2:   true\n"
            "  DIODES3:   false\n"
            "  FAN1DIV:   00000002h\n"
            "  FAN2DIV:   00000008h\n"
            "  FAN3DIV:   00000080h\n"
            "--------------------------------------------------------------\n\n");
}

TEST(ProfileSettingValues, NothingDetectedAndIndexesOutsideTheTable) {
  MonitorSettings set;
  set.Temp2SMBAddress = 14;  // one past the last entry
  set.Temp3SMBAddress = 13;  // the last entry, 4Fh
  std::string out;
  AppendSettingValues(out, set, DetectState{});
  // No PM device: the identifier is -1, its device half masked with FF7Fh.
  EXPECT_NE(out.find("  PMCID:     FFFFFFFFh\n  PMVID:     0000FFFFh\n  PMDID:     0000FF7Fh\n"
                     "  PMRID:     FFFFFFFFh\n  HWMVID:    FFFFFFFFh\n  HWMDID:    FFFFFFFFh\n"),
            std::string::npos);
  EXPECT_NE(out.find("  T2SMBINDX: 0000000Eh\n  T2SMBADRS: FFFFFFFFh\n"), std::string::npos);
  EXPECT_NE(out.find("  T3SMBINDX: 0000000Dh\n  T3SMBADRS: 0000004Fh\n"), std::string::npos);
  EXPECT_NE(out.find("  MSMBADRS:  FFFFFFFFh\n"), std::string::npos);
}

TEST(ProfileSettingValues, DeviceIdOfAHighIdentifierIsMaskedTo16Bits) {
  DetectState st;
  st.pm.VendorDevice = static_cast<int32_t>(0x80861106);  // bit 31 set
  std::string out;
  AppendSettingValues(out, MonitorSettings{}, st);
  EXPECT_NE(out.find("  PMDID:     00008006h\n"), std::string::npos);
}

TEST(ProfileMonitorWindow, PrefixesLabelsAndTexts) {
  MonitorWindowText rows;
  rows.labels[0] = "CPU Fan";
  rows.texts[0] = "4411RPM";
  rows.labels[3] = "CPU Temp.";
  rows.texts[3] = "40C / 104F [Err]";
  for (size_t i = 6; i < kWindowRows; ++i) rows.texts[i] = "Ignore";
  rows.texts[14] = "+3.36V";
  std::string out;
  AppendMonitorWindow(out, rows);
  EXPECT_EQ(out,
            "\n--[ Monitor Window ]------------------------------------------\n\n"
            "  Fan1 [CPU Fan] : 4411RPM\n"
            "  Fan2 [] : \n"
            "  Fan3 [] : \n"
            "  Temp.1 [CPU Temp.] : 40C / 104F [Err]\n"
            "  Temp.2 [] : \n"
            "  Temp.3 [] : \n"
            "  Volt1 [] : Ignore\n"
            "  Volt2 [] : Ignore\n"
            "  Volt3 [] : Ignore\n"
            "  Volt4 [] : Ignore\n"
            "  Volt5 [] : Ignore\n"
            "  Volt6 [] : Ignore\n"
            "  Volt7 [] : Ignore\n"
            "  Volt8 [] : Ignore\n"
            "  Volt9 [] : +3.36V\n"
            "--------------------------------------------------------------\n\n");
}

// Counts the configuration cycles that are switched on, by location.
class CycleCounter : public PortIo {
 public:
  explicit CycleCounter(PortIo& inner) : inner_(inner) {}
  uint8_t inb(uint16_t p) override { return inner_.inb(p); }
  uint16_t inw(uint16_t p) override { return inner_.inw(p); }
  uint32_t inl(uint16_t p) override { return inner_.inl(p); }
  void outb(uint16_t p, uint8_t v) override { inner_.outb(p, v); }
  void outw(uint16_t p, uint16_t v) override { inner_.outw(p, v); }
  void outl(uint16_t p, uint32_t v) override {
    if (p == 0xCF8 && (v & 0x80000000u) != 0) {
      ++cycles;
      if ((v & 0xFCu) == 0) locations.insert(v & 0x00FFFF00u);
    }
    inner_.outl(p, v);
  }
  bool requestAccess() override { return true; }

  uint64_t cycles = 0;
  std::set<uint32_t> locations;  // bus/device/function fields of offset-0 cycles

 private:
  PortIo& inner_;
};

struct PciBoard {
  sim::SimMachine m;
  sim::PciHost host{m};
  sim::PciFunction bridge{0x8086, 0x7190, 0x03};
  sim::PciFunction lone{0x1106, 0x3057, 0x40};    // function 3 without a function 0
  sim::PciFunction behind{0x10DE, 0x0110, 0xA1};  // on bus 1
  PciBoard() {
    for (unsigned i = 0x10; i < 0x100; ++i) bridge.set8(static_cast<uint8_t>(i), uint8_t(i * 7));
    lone.set32(0x90, 0x00005001);
    host.attach(0, 0, 0, &bridge);
    host.attach(0, 31, 3, &lone);
    host.attach(1, 0, 0, &behind);
  }
};

TEST(ProfilePci, ListsEveryPresentFunctionInBusDeviceFunctionOrder) {
  PciBoard b;
  std::string out;
  AppendPciConfiguration(out, b.m);
  const std::string expected =
      "\n--[ PCI Configuration Registers ]-----------------------------\n\n" +
      expect::PciBlock(0, 0, 0, b.bridge) + expect::PciBlock(0, 31, 3, b.lone) +
      expect::PciBlock(1, 0, 0, b.behind) +
      "--------------------------------------------------------------\n\n";
  EXPECT_EQ(out, expected);
  EXPECT_EQ(out, expect::PciSection(b.host));
}

TEST(ProfilePci, ProbesAllLocationsOnceAndReadsPresentOnesBytewise) {
  PciBoard b;
  CycleCounter io(b.m);
  std::string out;
  AppendPciConfiguration(out, io);
  EXPECT_EQ(io.locations.size(), 65536u);
  // One identifier read everywhere, then 256 byte reads for each of three.
  EXPECT_EQ(io.cycles, 65536u + 3u * 256u);
}

TEST(ProfilePci, StepwiseScanGivesTheSameSection) {
  PciBoard b;
  std::string whole, stepped;
  AppendPciConfiguration(whole, b.m);
  PciConfigurationScan scan;
  uint32_t steps = 1;
  while (!scan.Step(stepped, b.m, 1000)) ++steps;
  EXPECT_EQ(steps, 66u);  // 65 full steps and the last 536 slots
  EXPECT_TRUE(scan.Step(stepped, b.m, 1000));
  EXPECT_EQ(stepped, whole);
}

TEST(ProfilePci, HiddenFunctionIsLeftOut) {
  PciBoard b;
  b.lone.setHidden(true);
  std::string out;
  AppendPciConfiguration(out, b.m);
  EXPECT_EQ(out.find("Device   Number : 31\n"), std::string::npos);
  EXPECT_NE(out.find("  BUS      Number : 1\n"), std::string::npos);
}

}  // namespace
}  // namespace kev::report
