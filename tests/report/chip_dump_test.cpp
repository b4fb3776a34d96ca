// Which register section each kind of chip gets, and the Winbond dump's
// bank handling over the SMBus.
#include "report/chip_dump.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "report/expected_text.h"
#include "sim/board.h"
#include "sim/chips.h"
#include "sim/superio.h"

namespace kev::report {
namespace {

constexpr std::string_view kBanner =
    "\n--[ Registers Value ]-----------------------------------------\n\n";
constexpr std::string_view kEnd =
    "--------------------------------------------------------------\n\n";

// The lines between the section's banner and its closing rule.
std::vector<std::string> SectionLines(const std::string& out) {
  std::vector<std::string> lines;
  if (out.empty()) return lines;
  EXPECT_EQ(out.substr(0, kBanner.size()), kBanner);
  EXPECT_EQ(out.substr(out.size() - kEnd.size()), kEnd);
  std::istringstream in(out.substr(kBanner.size(), out.size() - kBanner.size() - kEnd.size()));
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

struct Dumped {
  std::unique_ptr<sim::SimBoard> board;
  InfoSummary summary;
  std::string out;
};

Dumped DumpBoard(const std::string& name) {
  Dumped d;
  auto r = sim::LoadCatalogueBoard(name);
  if (!r.ok()) {
    ADD_FAILURE() << r.error().text();
    return d;
  }
  d.board = r.take();
  d.summary = GatherSummary(d.board->machine());
  AppendChipRegisters(d.out, d.board->machine(), d.summary, DetectState{});
  return d;
}

struct SectionCase {
  const char* board;
  int32_t kind;
  size_t lines;  // 0: no section at all
};

TEST(ChipDump, SectionSizePerKind) {
  const SectionCase cases[] = {
      {"440bx-noagp-lm78j", kind::LM78J, 48},  // 20h-4Fh over ISA
      {"amd751-amd756-lm79", kind::LM79, 48},  //
      {"ali-m1535-lm78", kind::LM78, 48},      // the same over the SMBus
      {"sis5600-sis5595", kind::SiS5595, 48},  //
      {"amd761-amd766-lm80", kind::LM80, 39},  // 00h-06h, 20h-3Fh
      {"amd761-amd768-lm81", kind::LM81, 60},  // 13h-4Dh, 80h
      {"440gx-dual-lm87", kind::LM87, 60},     //
      {"apollo-vt8231", kind::VT8231, 64},     // 20h-5Fh
      {"i850-ich2-it8712f-smbus", kind::IT8712F, 128},
      {"sis630-it8712f", kind::IT8712F, 128},
      {"apollo-vt82c596b-gl520sm-max1617", kind::GL520SM, 32},
      {"440bx-w83783s", kind::W83783S, 177},  // 47 + 2 + 8 x 16
      {"i815-ich2-hidden-w83627hf", kind::W83627HF, 177},
      {"p3b-as99127f-wb", kind::AS99127F_WB, 177},
      {"i815-pc87366-2e", kind::PC87366, 195},    // 15 + 3 x 14 + 16 + 94 + 28
      {"440lx-no-chip", kind::Unknown, 0},        // nothing to reach
      {"i830m-ich3m-max1617", kind::Unknown, 0},  // a sensor only, outside 28h-2Fh
  };
  for (const SectionCase& c : cases) {
    SCOPED_TRACE(c.board);
    const Dumped d = DumpBoard(c.board);
    EXPECT_EQ(d.summary.ChipKind, c.kind);
    EXPECT_EQ(SectionLines(d.out).size(), c.lines);
  }
}

TEST(ChipDump, RangeDumpsReadByteAndWordRegisters) {
  const Dumped d = DumpBoard("apollo-vt82c596b-gl520sm-max1617");
  ASSERT_TRUE(d.board);
  auto* chip = dynamic_cast<sim::MonitorChip*>(d.board->chipInputs("main"));
  ASSERT_NE(chip, nullptr);
  const auto lines = SectionLines(d.out);
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[0], expect::Format("  REG 00h : %02Xh", chip->reg(0, 0x00)));
  EXPECT_EQ(lines[7],
            expect::Format("  REG 07h : %02X%02Xh", chip->reg(0, 0x07), chip->reg(1, 0x07)));
  EXPECT_EQ(lines[13], expect::Format("  REG 0Dh : %02Xh", chip->reg(0, 0x0D)));
}

TEST(ChipDump, WinbondOverSmbusWalksBanksAndLeavesBank0High) {
  const Dumped d = DumpBoard("kt266-vt8233c-w83782d");
  ASSERT_TRUE(d.board);
  EXPECT_EQ(d.summary.MainSmbAddress, 0x2D);
  auto* chip = dynamic_cast<sim::MonitorChip*>(d.board->chipInputs("main"));
  ASSERT_NE(chip, nullptr);
  const auto lines = SectionLines(d.out);
  ASSERT_EQ(lines.size(), 177u);
  size_t plain = 0, hbacs = 0, banked = 0;
  for (const std::string& l : lines) {
    if (l.find("(HBACS") != std::string::npos) {
      ++hbacs;
    } else if (l.find("(BANK") != std::string::npos) {
      ++banked;
    } else {
      ++plain;
    }
  }
  EXPECT_EQ(plain, 47u);
  EXPECT_EQ(hbacs, 2u);
  EXPECT_EQ(banked, 128u);
  EXPECT_EQ(lines[46], "  REG 4Eh : 80h");
  EXPECT_EQ(lines[47], "  REG 4Fh : 5Ch  (HBACS : 1)");
  EXPECT_EQ(lines[48], "  REG 4Fh : A3h  (HBACS : 0)");
  // Bank 1 holds the second temperature sensor.
  EXPECT_EQ(lines[49 + 16], expect::Format("  REG 50h : %02Xh  (BANK  : 1)", chip->reg(1, 0x50)));
  EXPECT_EQ(lines[176], expect::Format("  REG 5Fh : %02Xh  (BANK  : 7)", chip->reg(7, 0x5F)));
  EXPECT_EQ(chip->reg(0, 0x4E), 0x80);
}

TEST(ChipDump, Pc87366WithoutStartUpBasesUsesTheFreshOnes) {
  auto r = sim::LoadCatalogueBoard("i815-pc87366-2e");
  ASSERT_TRUE(r.ok()) << r.error().text();
  sim::SimMachine& m = r->machine();
  const InfoSummary s = GatherSummary(m);
  ASSERT_NE(s.FsmBase, -1);
  std::string out;
  m.startTrace();
  AppendChipRegisters(out, m, s, DetectState{});  // start-up found no PC87366
  m.stopTrace();
  for (const sim::TraceEntry& e : m.trace()) ASSERT_LT(e.port, 0xFFF0) << sim::ToString(e);
  auto* sio = dynamic_cast<sim::Pc87366*>(r->chipInputs("main"));
  ASSERT_NE(sio, nullptr);
  const std::string fanCount = expect::Format("  OFS 07h : %02Xh\n", sio->fsmReg(0x07));
  EXPECT_NE(out.find("  LDN : 09h\n"), std::string::npos);
  EXPECT_NE(out.find(fanCount), std::string::npos);
}

TEST(ChipDump, NoSectionWithoutTheNeededPath) {
  sim::SimMachine m;
  const auto dump = [&](int32_t chipKind, int32_t mainAddress, bool isa) {
    InfoSummary s;
    s.ChipKind = chipKind;
    s.MainSmbAddress = mainAddress;
    s.IsaFlag = isa;
    std::string out;
    AppendChipRegisters(out, m, s, DetectState{});
    return out;
  };
  // Neither an SMBus address nor a port path.
  EXPECT_EQ(dump(kind::W83782D, -1, false), "");
  EXPECT_EQ(dump(kind::LM78, -1, false), "");
  EXPECT_EQ(dump(kind::Unknown, -1, false), "");
  // SMBus-only dumps need the SMBus, port-only dumps the port path.
  EXPECT_EQ(dump(kind::LM80, -1, true), "");
  EXPECT_EQ(dump(kind::GL518SM, -1, true), "");
  EXPECT_EQ(dump(kind::VT82C686B, 0x2D, false), "");
  EXPECT_EQ(dump(kind::PC87366, 0x2D, false), "");
  // Kinds without a dump: none identified, and codes detection never makes.
  EXPECT_EQ(dump(-1, 0x2D, true), "");
  EXPECT_EQ(dump(0x190, 0x2D, true), "");
  EXPECT_EQ(dump(0x1B0, 0x2D, true), "");
}

}  // namespace
}  // namespace kev::report
