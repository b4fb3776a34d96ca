// The PM device scan, the ICH SMBus enable, the dual core-voltage test and
// the board switch, on simulated boards.
#include <gtest/gtest.h>

#include <string>

#include "detect_fixture.h"
#include "sim/pci.h"

namespace kev::test {
namespace {

std::string SouthOnly(const std::string& kind, const std::string& extra = "") {
  return R"({"south_bridge": {"kind": ")" + kind + R"(", "smbus_base": "0x5000")" + extra +
         R"(}, "chips": []})";
}

struct SouthCase {
  const char* kind;
  int32_t device, function;
  uint32_t vendorDevice;
  const char* shownName;
};

class PmScanEverySouthBridge : public ::testing::TestWithParam<SouthCase> {};

TEST_P(PmScanEverySouthBridge, FindsThePmFunctionItsBaseAndName) {
  const SouthCase& c = GetParam();
  auto b = BoardFromJson(SouthOnly(c.kind));
  ASSERT_TRUE(b);
  const PmDevice pm = ScanPmDevice(b->machine());
  EXPECT_EQ(pm.PciDevice, c.device);
  EXPECT_EQ(pm.PciFunction, c.function);
  EXPECT_EQ(static_cast<uint32_t>(pm.VendorDevice), c.vendorDevice);
  EXPECT_EQ(pm.SmbBase, 0x5000);
  EXPECT_GE(pm.Revision, 0);
  EXPECT_EQ(PmDeviceName(b->machine(), pm.VendorDevice, pm.Revision), c.shownName);
}

INSTANTIATE_TEST_SUITE_P(
    Detect, PmScanEverySouthBridge,
    ::testing::Values(SouthCase{"PIIX4", 7, 3, 0x71138086, "intel 82371AB (PIIX4)"},
                      SouthCase{"PIIX4E", 7, 3, 0x71138086, "intel 82371EB (PIIX4E)"},
                      SouthCase{"ICH", 31, 3, 0x24138086, "intel 82801AA (ICH)"},
                      SouthCase{"ICH0", 31, 3, 0x24238086, "intel 82801AB (ICH0)"},
                      SouthCase{"ICH2", 31, 3, 0x24438086, "intel 82801BA (ICH2)"},
                      SouthCase{"ICH2-M", 31, 3, 0x24438086, "intel 82801BAM (ICH2-M)"},
                      SouthCase{"ICH3-M", 31, 3, 0x24838086, "intel 82801CAM (ICH3-M)"},
                      SouthCase{"AMD-756", 7, 3, 0x740B1022, "AMD AMD-756"},
                      SouthCase{"AMD-766", 7, 3, 0x74131022, "AMD AMD-766"},
                      SouthCase{"AMD-768", 7, 3, 0x74431022, "AMD AMD-768"},
                      SouthCase{"VT82C596B", 7, 3, 0x30501106, "VIA VT82C596B"},
                      SouthCase{"VT82C596B-3051", 7, 3, 0x30511106, "VIA VT82C596B"},
                      SouthCase{"VT82C686A", 7, 4, 0x30571106, "VIA VT82C686A"},
                      SouthCase{"VT82C686B", 7, 4, 0x30571106, "VIA VT82C686B"},
                      SouthCase{"VT8231", 17, 4, 0x82351106, "VIA VT8231"},
                      SouthCase{"VT8233", 17, 0, 0x82311106, "VIA VT8233"},
                      SouthCase{"VT8233C", 17, 0, 0x30741106, "VIA VT8233C"},
                      SouthCase{"SiS5595", 1, 0, 0x00081039, "SiS 5595"},
                      SouthCase{"SiS630", 1, 0, 0x06301039, "SiS 630"},
                      SouthCase{"M1535D+", 17, 0, 0x710110B9, "ALi M1535D+"}),
    [](const ::testing::TestParamInfo<SouthCase>& i) {
      std::string n = i.param.kind;
      for (char& ch : n) {
        if (ch == '-' || ch == '+') ch = '_';
      }
      return n;
    });

TEST(PmScan, NoSupportedDeviceLeavesEveryFieldNotFound) {
  auto b = BoardFromJson(R"({"host_bridge": {"kind": "440BX"}, "chips": []})");
  ASSERT_TRUE(b);
  DetectState st;
  DetectPmDevice(b->machine(), MonitorSettings{}, 0, st);
  EXPECT_EQ(st.pm.PciDevice, -1);
  EXPECT_EQ(st.pm.PciFunction, -1);
  EXPECT_EQ(st.pm.VendorDevice, -1);
  EXPECT_EQ(st.pm.Revision, -1);
  EXPECT_EQ(st.pm.SmbBase, -1);
  EXPECT_FALSE(st.chip.MainSmbFound);
  EXPECT_EQ(PmDeviceName(b->machine(), st.pm.VendorDevice, st.pm.Revision), "Unknown");
}

TEST(PmScan, LowestPciFunctionWinsOverEarlierTableEntry) {
  // A VIA 686A at 7/4 and a PIIX4 identifier (table entry 1) at 7/5 and 9/3.
  auto b = BoardFromJson(SouthOnly("VT82C686A"));
  ASSERT_TRUE(b);
  auto& late = b->make<sim::PciFunction>(0x8086, 0x7113, 0x01);
  b->attachPci(7, 5, late);
  auto& later = b->make<sim::PciFunction>(0x8086, 0x7113, 0x01);
  b->attachPci(9, 3, later);
  const PmDevice pm = ScanPmDevice(b->machine());
  EXPECT_EQ(static_cast<uint32_t>(pm.VendorDevice), 0x30571106u);
  EXPECT_EQ(pm.PciDevice, 7);
  EXPECT_EQ(pm.PciFunction, 4);
}

TEST(PmScan, Sis5595WithoutItsFunctionOnePartnerIsRejectedAndTheScanGoesOn) {
  auto b = BoardFromJson(SouthOnly("SiS5595"));
  ASSERT_TRUE(b);
  sim::PciFunction* partner = b->pci().find(0, 1, 1);
  ASSERT_NE(partner, nullptr);
  partner->setHidden(true);
  EXPECT_EQ(ScanPmDevice(b->machine()).VendorDevice, -1);

  auto& amd = b->make<sim::PciFunction>(0x1022, 0x740B, 0x03);
  amd.set16(0x58, 0x6001);
  b->attachPci(9, 3, amd);
  const PmDevice pm = ScanPmDevice(b->machine());
  EXPECT_EQ(static_cast<uint32_t>(pm.VendorDevice), 0x740B1022u);
  EXPECT_EQ(pm.PciDevice, 9);
  EXPECT_EQ(pm.SmbBase, 0x6000);
}

TEST(PmScan, Sis630WithPmSpaceOffKnowsTheChipsetButNoSmbus) {
  auto b = BoardFromJson(SouthOnly("SiS630", R"(, "pm_enabled": false)"));
  ASSERT_TRUE(b);
  DetectState st;
  DetectPmDevice(b->machine(), MonitorSettings{}, 0, st);
  EXPECT_EQ(static_cast<uint32_t>(st.pm.VendorDevice), 0x06301039u);
  EXPECT_EQ(st.pm.PciDevice, -1);
  EXPECT_EQ(st.pm.PciFunction, -1);
  EXPECT_EQ(st.pm.SmbBase, -1);
  EXPECT_FALSE(st.chip.MainSmbFound);
  EXPECT_EQ(PmDeviceName(b->machine(), st.pm.VendorDevice, st.pm.Revision), "SiS 630");
}

TEST(PmScan, HiddenIch2SmbusIsFoundOnlyAfterTheEnable) {
  auto b = BoardFromJson(SouthOnly("ICH2", R"(, "smbus_hidden": true)"));
  ASSERT_TRUE(b);
  sim::PciFunction* lpc = b->pci().find(0, 31, 0);
  ASSERT_NE(lpc, nullptr);
  lpc->set8(0xF3, 0x5A);  // the other byte of the word must survive
  EXPECT_EQ(ScanPmDevice(b->machine()).VendorDevice, -1);

  EnableIchSmbus(b->machine());
  EXPECT_EQ(lpc->get8(0xF2) & 0x08, 0);
  EXPECT_EQ(lpc->get8(0xF3), 0x5A);
  const PmDevice pm = ScanPmDevice(b->machine());
  EXPECT_EQ(static_cast<uint32_t>(pm.VendorDevice), 0x24438086u);
  EXPECT_EQ(pm.PciDevice, 31);
  EXPECT_EQ(pm.PciFunction, 3);
  EXPECT_EQ(pm.SmbBase, 0x5000);
}

TEST(PmScan, IchEnableWritesNothingOnOtherChipsets) {
  for (const char* kind : {"PIIX4", "VT82C686A", "M1535D+"}) {
    auto b = BoardFromJson(SouthOnly(kind));
    ASSERT_TRUE(b);
    b->machine().startTrace();
    EnableIchSmbus(b->machine());
    for (const sim::TraceEntry& e : b->machine().trace()) {
      EXPECT_FALSE(e.dir == sim::TraceEntry::Dir::Out && e.port >= 0xCFC && e.port <= 0xCFF)
          << kind << ": " << sim::ToString(e);
    }
  }
}

TEST(DualCoreVoltage, OnlyPiix4With440BxOrGxAndTheBoardStrap) {
  struct Case {
    const char* host;
    bool agp;
    bool strap;
    const char* south;
    bool expected;
  };
  const Case cases[] = {
      {"440BX", true, true, "PIIX4E", true},     {"440BX", false, true, "PIIX4E", true},
      {"440GX", true, true, "PIIX4E", true},     {"440GX", false, true, "PIIX4", true},
      {"440BX", true, false, "PIIX4E", false},   {"440LX", true, false, "PIIX4", false},
      {"440BX", true, true, "VT82C596B", false},
  };
  for (const Case& c : cases) {
    const std::string json = std::string(R"({"host_bridge": {"kind": ")") + c.host +
                             R"(", "agp": )" + (c.agp ? "true" : "false") +
                             R"(, "dual_core_voltage": )" + (c.strap ? "true" : "false") +
                             R"(}, "south_bridge": {"kind": ")" + c.south + R"("}, "chips": []})";
    auto b = BoardFromJson(json);
    ASSERT_TRUE(b) << json;
    DetectState st;
    DetectPmDevice(b->machine(), MonitorSettings{}, 0, st);
    EXPECT_EQ(st.DualCoreVoltage, c.expected) << c.host << " agp " << c.agp << " " << c.south;
  }
}

// ---- Board switch ----------------------------------------------------------

// Logical device 8 register F1h of the Winbond Super-I/O at 2Eh.
uint8_t ReadSwitchRegister(sim::SimMachine& m) {
  m.outb(0x2E, 0x87);
  m.outb(0x2E, 0x87);
  m.outb(0x2E, 0x07);
  m.outb(0x2F, 0x08);
  m.outb(0x2E, 0xF1);
  const uint8_t v = m.inb(0x2F);
  m.outb(0x2E, 0xAA);
  return v;
}

struct SwitchRun {
  std::unique_ptr<sim::SimBoard> board;
  DetectState st;
};

SwitchRun RunSwitch(const std::string& json, bool asms, uint32_t mode,
                    void (*preset)(sim::SimBoard&)) {
  SwitchRun r{BoardFromJson(json), {}};
  if (!r.board) return r;
  preset(*r.board);
  MonitorSettings s;
  s.ASMS = asms;
  DetectPmDevice(r.board->machine(), s, mode, r.st);
  return r;
}

TEST(BoardSwitch, UntouchedWhenAsmsIsOffAndNoCommandLineSwitch) {
  auto b = BoardFromJson(SouthOnly("PIIX4", R"(, "pm_io_base": "0xE400")"));
  ASSERT_TRUE(b);
  b->machine().outb(0xE437, 0xFF);
  b->machine().startTrace();
  DetectState st;
  DetectPmDevice(b->machine(), MonitorSettings{}, 0, st);
  for (const sim::TraceEntry& e : b->machine().trace()) EXPECT_NE(e.port, 0xE437);
  EXPECT_EQ(b->machine().inb(0xE437), 0xFF);
}

TEST(BoardSwitch, Piix4DrivesBits4To3OfPortE437) {
  const std::string json = SouthOnly("PIIX4", R"(, "pm_io_base": "0xE400")");
  auto preset = [](sim::SimBoard& b) { b.machine().outb(0xE437, 0xFF); };
  auto two = RunSwitch(json, false, 2, preset);
  EXPECT_EQ(two.board->machine().inb(0xE437), 0xEF);
  auto one = RunSwitch(json, false, 1, preset);
  EXPECT_EQ(one.board->machine().inb(0xE437), 0xE7);
  auto setting = RunSwitch(json, true, 0, preset);  // the setting alone means position 1
  EXPECT_EQ(setting.board->machine().inb(0xE437), 0xE7);
}

TEST(BoardSwitch, Vt82c686SetsBit0AndClearsBit3OfPortE44D) {
  const std::string json = SouthOnly("VT82C686A", R"(, "pm_io_base": "0xE400")");
  auto preset = [](sim::SimBoard& b) { b.machine().outb(0xE44D, 0xFF); };
  EXPECT_EQ(RunSwitch(json, false, 2, preset).board->machine().inb(0xE44D), 0xF7);
  EXPECT_EQ(RunSwitch(json, true, 1, preset).board->machine().inb(0xE44D), 0xF6);
}

TEST(BoardSwitch, Vt82c596bDrivesBit6OfPortE44D) {
  for (const char* kind : {"VT82C596B", "VT82C596B-3051"}) {
    const std::string json = SouthOnly(kind, R"(, "pm_io_base": "0xE400")");
    auto clear = [](sim::SimBoard& b) { b.machine().outb(0xE44D, 0x00); };
    auto set = [](sim::SimBoard& b) { b.machine().outb(0xE44D, 0xFF); };
    EXPECT_EQ(RunSwitch(json, false, 2, clear).board->machine().inb(0xE44D), 0x40) << kind;
    EXPECT_EQ(RunSwitch(json, false, 1, set).board->machine().inb(0xE44D), 0xBF) << kind;
  }
}

TEST(BoardSwitch, IntelIchAndVt8233DriveTheWinbondSuperIoRegisterF1) {
  for (const char* kind : {"ICH", "ICH0", "ICH2", "VT8233"}) {
    const std::string json = std::string(R"({"south_bridge": {"kind": ")") + kind +
                             R"("}, "superio": {"kind": "Winbond", "ldn8": {"0xF1": "0xFF"}},)" +
                             R"( "chips": []})";
    auto none = [](sim::SimBoard&) {};
    EXPECT_EQ(ReadSwitchRegister(RunSwitch(json, false, 2, none).board->machine()), 0xF7) << kind;
    EXPECT_EQ(ReadSwitchRegister(RunSwitch(json, false, 1, none).board->machine()), 0xE7) << kind;
  }
}

TEST(BoardSwitch, Sis630DrivesTheWordAtSmbusBasePlus3A) {
  const std::string json = SouthOnly("SiS630");
  auto preset = [](sim::SimBoard& b) { b.machine().outw(0x503A, 0xFFFF); };
  EXPECT_EQ(RunSwitch(json, false, 2, preset).board->machine().inw(0x503A), 0xFF7F);
  EXPECT_EQ(RunSwitch(json, false, 1, preset).board->machine().inw(0x503A), 0xFF6F);
}

TEST(BoardSwitch, Sis630WithPmSpaceOffWritesNoPort) {
  auto b = BoardFromJson(SouthOnly("SiS630", R"(, "pm_enabled": false)"));
  ASSERT_TRUE(b);
  b->machine().startTrace();
  MonitorSettings s;
  s.ASMS = true;
  DetectState st;
  DetectPmDevice(b->machine(), s, 2, st);
  for (const sim::TraceEntry& e : b->machine().trace()) {
    EXPECT_TRUE(e.port == 0xCF8 || (e.port >= 0xCFC && e.port <= 0xCFF) || e.port == 0xEB)
        << sim::ToString(e);
  }
}

TEST(BoardSwitch, AliKeepsBits7And4To0OfTheLowWordAndTheHighWord) {
  const std::string json = SouthOnly("M1535D+");
  auto preset = [](sim::SimBoard& b) { b.pci().find(0, 17, 0)->set32(0xB8, 0xA5A5FFFF); };
  auto two = RunSwitch(json, false, 2, preset);
  EXPECT_EQ(two.board->pci().find(0, 17, 0)->get32(0xB8), 0xA5A500DFu);
  auto one = RunSwitch(json, false, 1, preset);
  EXPECT_EQ(one.board->pci().find(0, 17, 0)->get32(0xB8), 0xA5A5009Fu);
}

}  // namespace
}  // namespace kev::test
