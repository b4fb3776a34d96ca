// Monitoring-chip identification over every path: south-bridge monitors, the
// ISA pair, the ITE and PC87366 Super-I/Os and the SMBus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "detect_fixture.h"

namespace kev::test {
namespace {

// A PIIX4 board (SMBus at 5000h) with one chip described by chipJson.
std::string PiixBoard(const std::string& chipJson) {
  return R"({"host_bridge": {"kind": "440BX"}, "south_bridge": {"kind": "PIIX4", )"
         R"("smbus_base": "0x5000"}, "chips": [)" +
         chipJson + "]}";
}

struct Found {
  explicit Found(std::unique_ptr<sim::SimBoard> b) : board(std::move(b)) {}
  std::unique_ptr<sim::SimBoard> board;
  MonitorSettings s = FirstRunSettings();
  DetectState st;
};

Found Detect(const std::string& json, int32_t port = 0x290) {
  Found f(BoardFromJson(json));
  if (!f.board) return f;
  f.s.MainChipPortAddress = port;
  EnableIchSmbus(f.board->machine());
  DetectPmDevice(f.board->machine(), f.s, 0, f.st);
  DetectChip(f.board->machine(), f.s, f.st);
  return f;
}

struct KindCase {
  const char* model;
  int32_t kind;
  int32_t vendor;
  int32_t revision;
};

std::string Name(const ::testing::TestParamInfo<KindCase>& i) {
  std::string n = i.param.model;
  for (char& ch : n) {
    if (ch == '-') ch = '_';
  }
  return n;
}

class IsaChip : public ::testing::TestWithParam<KindCase> {};

TEST_P(IsaChip, IsIdentifiedAtTheIsaPairAndFoundOnPort) {
  const KindCase& c = GetParam();
  Found f = Detect(PiixBoard(std::string(R"({"kind": ")") + c.model + R"(", "isa": "0x290"})"));
  ASSERT_TRUE(f.board);
  EXPECT_EQ(f.st.chip.ChipKind, c.kind);
  EXPECT_EQ(f.st.chip.ChipVendor, c.vendor);
  EXPECT_EQ(f.st.chip.ChipRevision, c.revision);
  EXPECT_TRUE(f.st.chip.FoundOnPort);
  EXPECT_EQ(f.s.MainChipPortAddress, 0x290);
  EXPECT_FALSE(f.s.MainChipSMBUse);  // found on a port: the first run leaves it
}

INSTANTIATE_TEST_SUITE_P(Detect, IsaChip,
                         ::testing::Values(KindCase{"LM78", kind::LM78, 1, 0x00},
                                           KindCase{"LM78-J", kind::LM78J, 1, 0x40},
                                           KindCase{"LM79", kind::LM79, 1, 0xC0},
                                           KindCase{"W83781D", kind::W83781D, 0x5CA3, 0x10},
                                           KindCase{"W83627HF", kind::W83627HF, 0x5CA3, 0x21},
                                           KindCase{"W83782D", kind::W83782D, 0x5CA3, 0x30},
                                           KindCase{"W83697HF", kind::W83697HF, 0x5CA3, 0x60},
                                           KindCase{"Winbond", kind::WinbondChip, 0x5CA3, 0x71}),
                         Name);

class SmbusChip : public ::testing::TestWithParam<KindCase> {};

TEST_P(SmbusChip, IsIdentifiedAtTheProbedAddress) {
  const KindCase& c = GetParam();
  Found f = Detect(PiixBoard(std::string(R"({"kind": ")") + c.model + R"(", "smbus": "0x2D"})"));
  ASSERT_TRUE(f.board);
  EXPECT_TRUE(f.st.chip.MainSmbFound);
  EXPECT_EQ(f.st.chip.MainSmbAddress, 0x2D);
  EXPECT_EQ(f.st.chip.ChipKind, c.kind);
  EXPECT_EQ(f.st.chip.ChipVendor, c.vendor);
  EXPECT_EQ(f.st.chip.ChipRevision, c.revision);
  EXPECT_FALSE(f.st.chip.FoundOnPort);
  EXPECT_TRUE(f.s.MainChipSMBUse);  // first run without a port chip
}

INSTANTIATE_TEST_SUITE_P(Detect, SmbusChip,
                         ::testing::Values(KindCase{"LM78", kind::LM78, 1, 0x00},
                                           KindCase{"LM79", kind::LM79, 1, 0xC0},
                                           KindCase{"LM80", kind::LM80, 1, 0xF0},
                                           KindCase{"LM81", kind::LM81, 1, 0x81},
                                           KindCase{"LM87", kind::LM87, 1, 0x82},
                                           KindCase{"W83781D", kind::W83781D, 0x5CA3, 0x10},
                                           KindCase{"W83782D", kind::W83782D, 0x5CA3, 0x30},
                                           KindCase{"W83783S", kind::W83783S, 0x5CA3, 0x40},
                                           KindCase{"AS99127F-WB", kind::AS99127F_WB, 0x5CA3, 0x31},
                                           KindCase{"AS99127F-AS", kind::AS99127F_AS, 0x12C3, 0x31},
                                           KindCase{"GL518SM", kind::GL518SM, 2, 0x80},
                                           KindCase{"GL520SM", kind::GL520SM, 2, 0x20}),
                         Name);

// A real LM80's reserved registers hold whatever they hold, and 49h, 4Fh
// and 58h repeat them; one published dump reads 49h at 09h. Each value below
// once made it look like another chip or none.
TEST(ChipDetect, Lm80IsKnownWhateverItsReservedRegistersHold) {
  for (const char* reserved :
       {R"("0x00": "0x01", "0x02": "0x0C", "0x09": "0x49")", R"("0x09": "0x00")",
        R"("0x09": "0xC0")", R"("0x09": "0x80", "0x3E": "0x01")", R"("0x18": "0x90")",
        R"("0x09": "0xFF")"}) {
    Found f = Detect(PiixBoard(std::string(R"({"kind": "LM80", "smbus": "0x2D", "registers": {)") +
                               reserved + "}}"));
    ASSERT_TRUE(f.board);
    EXPECT_EQ(ChipName(f.st.chip.ChipKind), "National Semiconductor LM80") << reserved;
  }
}

TEST(ChipDetect, SmbusProbeTakesTheLowestAnsweringAddress) {
  Found f =
      Detect(PiixBoard(R"({"kind": "LM75", "smbus": "0x48"}, )"
                       R"({"kind": "LM87", "smbus": "0x2E"}, {"kind": "LM80", "smbus": "0x2F"})"));
  ASSERT_TRUE(f.board);
  EXPECT_EQ(f.st.chip.MainSmbAddress, 0x2E);
  EXPECT_EQ(f.st.chip.ChipKind, kind::LM87);
}

TEST(ChipDetect, LaterRunKeepsTheAccessSettingForAnSmbusChip) {
  Found f(BoardFromJson(PiixBoard(R"({"kind": "LM87", "smbus": "0x2D"})")));
  ASSERT_TRUE(f.board);
  f.s.SettingsDefaulted = false;
  DetectPmDevice(f.board->machine(), f.s, 0, f.st);
  DetectChip(f.board->machine(), f.s, f.st);
  EXPECT_EQ(f.st.chip.ChipKind, kind::LM87);
  EXPECT_FALSE(f.s.MainChipSMBUse);
}

TEST(ChipDetect, WinbondOnIsaIsReadInBank0WithTheVendorHighByteFirst) {
  Found f(BoardFromJson(PiixBoard(R"({"kind": "W83781D", "isa": "0x290"})")));
  ASSERT_TRUE(f.board);
  sim::SimMachine& m = f.board->machine();
  DetectPmDevice(m, f.s, 0, f.st);
  m.startTrace();
  DetectChip(m, f.s, f.st);
  const std::vector<std::string> expected{
      "R58",                         // not the ITE signature
      "C",                           // something answers at the pair
      "W4E=80", "R49",    "W4E=80",  // a
      "W4E=80", "W40=01", "W4E=80",  // start
      "W4E=80", "R40",    "W4E=80",  // b
      "W4E=80", "R4F",    "W4E=80",  // vendor high byte 5Ch
      "W4E=00", "R4F",    "W4E=80",  // vendor low byte A3h
      "W4E=80", "R58",    "W4E=80",  // chip ID
  };
  EXPECT_EQ(PairAccesses(m, 0x290), expected);
  EXPECT_EQ(f.st.chip.ChipVendor, 0x5CA3);
  EXPECT_EQ(f.st.chip.ChipKind, kind::W83781D);
}

TEST(ChipDetect, IsaChipAtAnotherBaseIsFoundThroughTheSetting) {
  Found f = Detect(PiixBoard(R"({"kind": "W83781D", "isa": "0x2A0"})"), 0x2A0);
  ASSERT_TRUE(f.board);
  EXPECT_EQ(f.st.chip.ChipKind, kind::W83781D);
  EXPECT_EQ(f.s.MainChipPortAddress, 0x2A0);
}

TEST(ChipDetect, PortSettingOutsideThePortSpaceTouchesNoWrappedPort) {
  for (int32_t port : {-1, 0xFFFE, 0x10290}) {
    Found f(BoardFromJson(PiixBoard(R"({"kind": "LM78", "isa": "0x290"})")));
    ASSERT_TRUE(f.board);
    f.s.MainChipPortAddress = port;
    f.board->machine().startTrace();
    DetectPmDevice(f.board->machine(), f.s, 0, f.st);
    DetectChip(f.board->machine(), f.s, f.st);
    for (const sim::TraceEntry& e : f.board->machine().trace()) {
      EXPECT_FALSE(e.port < 0x10 || e.port >= 0xFFF0) << port << ": " << sim::ToString(e);
    }
    EXPECT_EQ(f.st.chip.ChipKind, kind::Unknown) << port;
    EXPECT_EQ(f.s.MainChipPortAddress, port);
  }
}

// With privilege given to a user who is not root, a stored port is used
// only where monitoring chips sit or where the program finds a chip itself;
// any other is never touched and the default is tried instead.
TEST(ChipDetect, RestrictedStoredPortsAreUsedOnlyWhereMonitoringChipsSit) {
  struct Case {
    const char* what;
    std::string board;
    int32_t stored;
    int32_t port;  // where detection leaves MainChipPortAddress
    bool refused;
    int32_t kind;
  };
  const std::string lm78 = PiixBoard(R"({"kind": "LM78", "isa": "0x290"})");
  const Case cases[] = {
      {"default block", lm78, 0x290, 0x290, false, kind::LM78},
      {"another ISA block", PiixBoard(R"({"kind": "W83781D", "isa": "0x2A0"})"), 0x2A0, 0x2A0,
       false, kind::W83781D},
      {"Super-I/O monitor block", PiixBoard(R"({"kind": "IT8712F", "isa": "0xA00"})"), 0xA00, 0xA00,
       false, kind::IT8712F},
      {"stored configuration port", PiixBoard(R"({"kind": "PC87366", "config_port": "0x4E"})"),
       0x4E, 0x4E, false, kind::PC87366},
      {"monitor base the bridge announces",
       R"({"south_bridge": {"kind": "VT82C686A"}, )"
       R"("chips": [{"kind": "VT82C686A", "isa": "0xEC00"}]})",
       0xEC00, 0xEC00, false, kind::VT82C686A},
      {"serial port", lm78, 0x3F8, 0x290, true, kind::LM78},
      {"disk controller", PiixBoard(R"({"kind": "LM78", "isa": "0x2A0"})"), 0x1F0, 0x290, true,
       kind::Unknown},
      {"block reaching into COM4", lm78, 0x2E2, 0x290, true, kind::LM78},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Found f(BoardFromJson(c.board));
    ASSERT_TRUE(f.board);
    f.s.MainChipPortAddress = c.stored;
    f.st.SettingsPortRestricted = true;
    DetectPmDevice(f.board->machine(), f.s, 0, f.st);
    f.board->machine().startTrace();
    DetectChip(f.board->machine(), f.s, f.st);
    EXPECT_EQ(f.s.MainChipPortAddress, c.port);
    EXPECT_EQ(f.st.RefusedSettingsPort, c.refused ? c.stored : -1);
    EXPECT_EQ(f.st.chip.ChipKind, c.kind);
    if (!c.refused) continue;
    for (const sim::TraceEntry& e : f.board->machine().trace()) {
      EXPECT_FALSE(e.port >= c.stored && e.port < c.stored + 8) << sim::ToString(e);
    }
  }
}

TEST(ChipDetect, SavedPc87366PortIsNotProbedAsAnIsaPairOnTheNextStart) {
  // The first start stores the configuration port 4Eh; as an index/data pair
  // it would be 53h/54h, the timer's control port alias.
  Found first = Detect(PiixBoard(R"({"kind": "PC87366", "config_port": "0x4E"})"));
  ASSERT_TRUE(first.board);
  ASSERT_EQ(first.s.MainChipPortAddress, 0x4E);
  Found later = Detect(PiixBoard(R"({"kind": "PC87366", "config_port": "0x4E"})"), 0x4E);
  ASSERT_TRUE(later.board);
  later.s.SettingsDefaulted = false;
  later.board->machine().startTrace();
  DetectChip(later.board->machine(), later.s, later.st);
  for (const sim::TraceEntry& e : later.board->machine().trace()) {
    EXPECT_FALSE(e.port == 0x53 || e.port == 0x54) << sim::ToString(e);
  }
  EXPECT_EQ(later.st.chip.ChipKind, kind::PC87366);
  EXPECT_EQ(later.s.MainChipPortAddress, 0x4E);
}

TEST(ChipDetect, IteOnIsaTakesTheControllerBaseFromLogicalDevice4) {
  for (auto [model, kindCode, rev] : {std::tuple{"IT8712F", kind::IT8712F, 0x8712},
                                      std::tuple{"IT8705F", kind::IT8705F, 0x8705}}) {
    Found f = Detect(PiixBoard(std::string(R"({"kind": ")") + model + R"(", "isa": "0x290"})"));
    ASSERT_TRUE(f.board);
    EXPECT_EQ(f.st.chip.ChipKind, kindCode) << model;
    EXPECT_EQ(f.st.chip.ChipVendor, 0x90);
    EXPECT_EQ(f.st.chip.ChipRevision, rev);
    EXPECT_TRUE(f.st.chip.FoundOnPort);
    EXPECT_EQ(f.s.MainChipPortAddress, 0x290);
  }
}

TEST(ChipDetect, IteOnSmbusTakesItsBaseButIsNotFoundOnPort) {
  Found f = Detect(PiixBoard(R"({"kind": "IT8712F", "isa": "0xA00", "smbus": "0x2D"})"));
  ASSERT_TRUE(f.board);
  EXPECT_EQ(f.st.chip.ChipKind, kind::IT8712F);
  EXPECT_EQ(f.st.chip.ChipRevision, 0x8712);
  EXPECT_FALSE(f.st.chip.FoundOnPort);
  EXPECT_EQ(f.s.MainChipPortAddress, 0xA00);
  EXPECT_TRUE(f.s.MainChipSMBUse);
}

TEST(ChipDetect, IteWithItsControllerSwitchedOffIsNotTaken) {
  Found f = Detect(
      PiixBoard(R"({"kind": "IT8712F", "isa": "0xA00", "smbus": "0x2D", "ec_active": false})"));
  ASSERT_TRUE(f.board);
  EXPECT_EQ(f.st.chip.ChipVendor, -1);
  EXPECT_EQ(f.st.chip.ChipKind, kind::Unknown);
  EXPECT_EQ(f.s.MainChipPortAddress, 0x290);
}

TEST(ChipDetect, Pc87366AtEitherConfigurationPort) {
  for (const char* port : {"0x2E", "0x4E"}) {
    Found f = Detect(PiixBoard(std::string(R"({"kind": "PC87366", "config_port": ")") + port +
                               R"(", "fsm_base": "0xE00", "vlm_base": "0xE10", )"
                               R"("tms_base": "0xE20"})"));
    ASSERT_TRUE(f.board);
    EXPECT_EQ(f.st.chip.ChipKind, kind::PC87366) << port;
    EXPECT_EQ(f.st.chip.ChipVendor, 1);
    EXPECT_EQ(f.st.chip.ChipRevision, 0xE9);
    EXPECT_TRUE(f.st.chip.FoundOnPort);
    EXPECT_EQ(f.s.MainChipPortAddress, std::stoi(port, nullptr, 16));
    EXPECT_EQ(f.st.chip.FsmBase, 0xE00);
    EXPECT_EQ(f.st.chip.VlmBase, 0xE10);
    EXPECT_EQ(f.st.chip.TmsBase, 0xE20);
  }
}

TEST(ChipDetect, SouthBridgeMonitorsAnnounceTheirBase) {
  struct Case {
    const char* south;
    const char* chip;
    int32_t base;
    int32_t kind;
  };
  for (const Case& c : {Case{"VT82C686A", "VT82C686A", 0xEC00, kind::VT82C686A},
                        Case{"VT82C686B", "VT82C686B", 0xEC00, kind::VT82C686A},
                        Case{"VT8231", "VT8231", 0xEC80, kind::VT8231},
                        Case{"SiS5595", "SiS5595", 0x0290, kind::SiS5595}}) {
    char json[256];
    std::snprintf(json, sizeof json,
                  R"({"south_bridge": {"kind": "%s"}, "chips": [{"kind": "%s", "isa": "0x%X"}]})",
                  c.south, c.chip, c.base);
    Found f = Detect(json, 0x2A0);
    ASSERT_TRUE(f.board) << json;
    EXPECT_EQ(f.st.chip.ChipKind, c.kind) << c.south;
    EXPECT_EQ(f.s.MainChipPortAddress, c.base) << c.south;
    EXPECT_TRUE(f.st.chip.FoundOnPort);
  }
}

TEST(ChipDetect, UnprogrammedSis5595MonitorBaseTouchesNoSystemPort) {
  // The board's monitor is an LM78; the bridge's own monitor base reads 0.
  Found f(BoardFromJson(R"({"south_bridge": {"kind": "SiS5595"}, )"
                        R"("chips": [{"kind": "LM78", "isa": "0x290"}]})"));
  ASSERT_TRUE(f.board);
  DetectPmDevice(f.board->machine(), f.s, 0, f.st);
  f.board->machine().startTrace();
  DetectChip(f.board->machine(), f.s, f.st);
  for (const sim::TraceEntry& e : f.board->machine().trace()) {
    EXPECT_GE(e.port, 0x100) << sim::ToString(e);
  }
  EXPECT_EQ(f.st.chip.ChipKind, kind::LM78);
  EXPECT_EQ(f.s.MainChipPortAddress, 0x290);
}

TEST(ChipDetect, ViaMonitorSwitchedOffIsNotFound) {
  Found f = Detect(R"({"south_bridge": {"kind": "VT82C686A", "monitor_enabled": false}, )"
                   R"("chips": [{"kind": "VT82C686A", "isa": "0xEC00"}]})");
  ASSERT_TRUE(f.board);
  EXPECT_EQ(f.st.chip.ChipKind, kind::Unknown);
  EXPECT_EQ(f.s.MainChipPortAddress, 0x290);
}

TEST(ChipDetect, NothingAnywhereGivesUnknown) {
  Found f = Detect(PiixBoard(""));
  ASSERT_TRUE(f.board);
  EXPECT_FALSE(f.st.chip.MainSmbFound);
  EXPECT_EQ(f.st.chip.ChipVendor, -1);
  EXPECT_EQ(f.st.chip.ChipRevision, -1);
  EXPECT_EQ(f.st.chip.ChipKind, kind::Unknown);
  EXPECT_FALSE(f.st.chip.FoundOnPort);
  EXPECT_EQ(ChipName(f.st.chip.ChipKind), "Unknown");
}

TEST(ChipDetect, Gl520Vin4ModeFollowsRegister03Bit4) {
  for (bool vin4 : {false, true}) {
    Found f = Detect(PiixBoard(std::string(R"({"kind": "GL520SM", "smbus": "0x2D", )") +
                               R"("registers": {"0x03": ")" + (vin4 ? "0x10" : "0x00") + R"("}})"));
    ASSERT_TRUE(f.board);
    EXPECT_EQ(f.st.chip.ChipKind, kind::GL520SM);
    EXPECT_EQ(f.st.chip.Gl520Vin4Mode, vin4);
  }
}

TEST(ChipDetect, IdentifyChipWorksOnTheReportsOwnCopies) {
  auto b = BoardFromJson(PiixBoard(R"({"kind": "W83782D", "smbus": "0x2D"})"));
  ASSERT_TRUE(b);
  EnableIchSmbus(b->machine());
  const PmDevice pm = ScanPmDevice(b->machine());
  const SmbProbeResult probe = ProbeMainSmbAddress(b->machine(), pm.VendorDevice, pm.SmbBase);
  int32_t port = 0x290;
  const ChipIdentity id = IdentifyChip(b->machine(), pm, probe.MainSmbAddress, port);
  EXPECT_EQ(id.ChipKind, kind::W83782D);
  EXPECT_FALSE(id.FoundOnPort);
  EXPECT_EQ(port, 0x290);
}

TEST(ChipKinds, NamesAndClassification) {
  EXPECT_EQ(ChipName(kind::LM78Compatible), "NS LM78(Compatible)");
  EXPECT_EQ(ChipName(kind::VT82C686B), "VIA VT82C686B");
  EXPECT_EQ(ChipName(kind::IT8712F), "ITE IT8712F");
  EXPECT_EQ(ChipName(0x1B0), "Unknown");  // the last of the 28 entries
  EXPECT_EQ(ChipName(0x1C0), "Unknown");  // past the list
  EXPECT_EQ(ChipName(-1), "Unknown");

  EXPECT_EQ(ClassifyChip(1, 0x12), kind::Unknown);           // NS, unlisted revision
  EXPECT_EQ(ClassifyChip(0x5CA3, 0x99), kind::WinbondChip);  // Winbond, unlisted chip
  EXPECT_EQ(ClassifyChip(2, 0x00), -1);                      // listed vendor, unknown part
  EXPECT_EQ(ClassifyChip(0x1106, 0x1234), -1);
  EXPECT_EQ(ClassifyChip(0x4321, 0x10), kind::Unknown);  // unlisted vendor
  EXPECT_EQ(ClassifyChip(-1, -1), kind::Unknown);
}

}  // namespace
}  // namespace kev::test
