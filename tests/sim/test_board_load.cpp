// Board files: what a bad one is told, and what a good one builds.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sim/board.h"
#include "test_board_util.h"

namespace kev::sim {
namespace {

using namespace kev::sim::testing;

BoardError ErrorOf(const std::string& text) {
  auto r = LoadBoardJson(text, "bad.json");
  EXPECT_FALSE(r.ok());
  return r.ok() ? BoardError{} : r.error();
}

struct BadCase {
  const char* text;
  const char* field;
  const char* says;  // part of the message
};

class BadBoard : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadBoard, OneErrorNamesFileFieldAndProblem) {
  const BadCase& c = GetParam();
  const BoardError e = ErrorOf(c.text);
  EXPECT_EQ(e.file, "bad.json");
  EXPECT_EQ(e.field, c.field);
  EXPECT_NE(e.message.find(c.says), std::string::npos) << e.message;
  EXPECT_EQ(e.text().rfind("bad.json: ", 0), 0u) << e.text();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadBoard,
    ::testing::Values(
        BadCase{R"({"chips": [)", "", "not valid JSON"},
        BadCase{R"([1, 2])", "", "expected an object"},
        BadCase{R"({"description": "x"})", "chips", "missing field"},
        BadCase{R"({"chips": {}})", "chips", "expected an array"},
        BadCase{R"({"chips": [{"isa": "0x290"}]})", "chips[0].kind", "missing field"},
        BadCase{R"({"chips": [{"kind": "LM99", "isa": 656}]})", "chips[0].kind",
                "unknown chip kind \"LM99\""},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": true}]})", "chips[0].isa",
                "expected a number, got boolean"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656.5}]})", "chips[0].isa",
                "whole number, got 656.5"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": "0xZZ"}]})", "chips[0].isa",
                "is not a number"},
        BadCase{R"({"chips": [{"kind": "LM78", "smbus": 200}]})", "chips[0].smbus", "out of range"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656, "colour": 1}]})", "chips[0].colour",
                "unknown field"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656, "fans": [1, 2, 3, 4]}]})",
                "chips[0].fans", "has 3 fans inputs"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656, "fans": [{"rpm": "fast"}]}]})",
                "chips[0].fans[0].rpm", "expected a number"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656, "temps": [{"shape": "sine"}]}]})",
                "chips[0].temps[0].shape", "unknown shape"},
        BadCase{
            R"({"chips": [{"kind": "LM78", "isa": 656, "temps": [{"shape": "ramp", "from": 1}]}]})",
            "chips[0].temps[0].to", "missing field"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656, "volts": [{"raw": 1, "volts": 2}]}]})",
                "chips[0].volts[0].raw", "exactly one"},
        BadCase{R"({"chips": [{"kind": "LM78"}]})", "chips[0]", "sits on no bus"},
        BadCase{R"({"chips": [{"kind": "LM80", "isa": 656}]})", "chips[0].isa", "no ISA interface"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656, "temps": [20, -1e400]}]})",
                "chips[0].temps[1]", "-1e400 is beyond the range"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656}, {"kind": "W83781D", "isa": 656}]})",
                "chips[1].isa", "already used by chips[0]"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656}, {"kind": "LM78", "smbus": 45}]})",
                "chips[1].id", "used twice"},
        BadCase{R"({"chips": [{"kind": "VT82C686A"}]})", "chips[0].kind", "needs the VT82C686A"},
        BadCase{R"({"south_bridge": {"kind": "PIIX5"}, "chips": []})", "south_bridge.kind",
                "unknown south bridge"},
        BadCase{R"({"host_bridge": {"kind": "440BX", "agp": "yes"}, "chips": []})",
                "host_bridge.agp", "expected true or false"},
        BadCase{R"({"host_bridge": {"kind": "440BX"}, "south_bridge": {"kind": "SiS630"},
                    "chips": []})",
                "host_bridge", "own host bridge"},
        BadCase{R"({"faults": {"smbus_stuck_busy": true}, "chips": []})", "faults.smbus_stuck_busy",
                "no SMBus host"},
        BadCase{R"({"chips": [{"kind": "LM87", "smbus": 46, "registers": ["0x16"]}]})",
                "chips[0].registers", "expected an object"},
        BadCase{R"({"chips": [{"kind": "LM87", "smbus": 46, "registers": {"0xZZ": 4}}]})",
                "chips[0].registers.0xZZ", "is not a number"},
        BadCase{R"({"chips": [{"kind": "LM87", "smbus": 46, "registers": {"0x16": 256}}]})",
                "chips[0].registers.0x16", "out of range"},
        BadCase{R"({"chips": [{"kind": "LM87", "smbus": 46, "registers": {"0x16": 4, "16h": 4}}]})",
                "chips[0].registers.16h", "same register as chips[0].registers.0x16"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656, "registers": {"0x20": 5}}]})",
                "chips[0].registers.0x20", "LM78 register 20h does not keep"},
        BadCase{R"({"chips": [{"kind": "LM75", "smbus": 72, "registers": {"0x07": 5}}]})",
                "chips[0].registers.0x07", "LM75 register 07h does not keep"},
        BadCase{R"({"chips": [{"kind": "IT8712F", "registers": {"0x96": 1}}]})",
                "chips[0].registers.0x96", "IT8712F has no register 96h"},
        BadCase{R"({"chips": [{"kind": "GL518SM", "smbus": 44, "image": {"0x07": "0x12"}}]})",
                "chips[0].image.0x07", "16 bits wide"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656, "image": {"0x20": "0xZZ"}}]})",
                "chips[0].image.0x20", "not a hexadecimal value or XX"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656, "banks": {"1": {"0x50": 1}}}]})",
                "chips[0].banks.1.0x50", "no register banks"},
        BadCase{R"({"chips": [{"kind": "LM78", "isa": 656, "registers": {"0x40": 1},
                    "image": {"0x40": "01"}}]})",
                "chips[0].image.0x40", "same register as chips[0].registers.0x40"},
        BadCase{R"({"pci": [{"bus": 0, "device": 9, "function": 0, "config": ["86 80 1"]}],
                    "chips": []})",
                "pci[0].config[0]", "\"1\" is not a hexadecimal byte"},
        BadCase{R"({"chips": [{"kind": "PC87366", "registers": {"0x10": 1}}]})",
                "chips[0].registers", "not supported for PC87366"}));

TEST(BoardFile, AnUnknownCatalogueNameIsAnErrorNotACrash) {
  auto c = LoadCatalogueBoard("no-such-board");
  ASSERT_FALSE(c.ok());
  EXPECT_NE(c.error().text().find("no-such-board"), std::string::npos);
}

TEST(BoardFile, TwoBoardsLiveSideBySide) {
  auto a = LoadCatalogueBoard("demo");
  auto b = LoadCatalogueBoard("demo");
  ASSERT_TRUE(a.ok() && b.ok());
  a->advanceMs(600000);
  EXPECT_NE(IsaRead(a->machine(), 0x290, 0x27), IsaRead(b->machine(), 0x290, 0x27));
}

TEST(BoardInputs, SignalsFollowTheSimulatedClock) {
  auto r = LoadBoardJson(R"({"chips": [{"id": "c", "kind": "LM78", "isa": "290h",
    "temps": [{"shape": "step", "from": 30, "to": 50, "at_ms": 1000}],
    "volts": [{"volts": {"shape": "ramp", "from": 1.6, "to": 3.2, "start_ms": 0, "end_ms": 100}},
              {"raw": {"shape": "constant", "value": 77}}],
    "fans": [{"rpm": {"shape": "square", "high": 4500, "low": 0, "period_ms": 10, "low_ms": 5},
              "pulses": 4}]}]})",
                         "inputs");
  ASSERT_TRUE(r.ok()) << r.error().text();
  SimBoard& b = r.board();
  SimMachine& m = b.machine();
  EXPECT_EQ(IsaRead(m, 0x290, 0x27), 30);
  EXPECT_EQ(IsaRead(m, 0x290, 0x20), 100);
  EXPECT_EQ(IsaRead(m, 0x290, 0x21), 77);
  EXPECT_EQ(IsaRead(m, 0x290, 0x28), 75);  // four pulses: half the count of two
  b.advanceMs(5);
  EXPECT_EQ(IsaRead(m, 0x290, 0x28), 0xFF);
  b.advanceMs(995);
  EXPECT_EQ(IsaRead(m, 0x290, 0x27), 50);
  EXPECT_EQ(IsaRead(m, 0x290, 0x20), 200);
  ASSERT_NE(b.chipInputs("c"), nullptr);
  EXPECT_EQ(b.chipInputs("nope"), nullptr);
}

// Register values are in place before the chip goes on its buses, so that
// a Winbond part's sub-clients appear where its register 4Ah says.
TEST(BoardRegisters, PowerOnValuesReachTheChipBeforeItIsPlaced) {
  auto r = LoadBoardJson(R"({"south_bridge": {"kind": "PIIX4"},
    "chips": [{"kind": "LM87", "smbus": "0x2E", "temps": [30, 40, 55],
               "registers": {"0x16": "0x04"}},
              {"kind": "W83782D", "smbus": "0x2D", "registers": {"4Ah": "0x32"}}]})",
                         "registers");
  ASSERT_TRUE(r.ok()) << r.error().text();
  SmbusBus& bus = r->smbus();
  uint8_t v = 0;
  ASSERT_EQ(bus.readByte(0x2E, 0x16, v), SmbusResult::Ok);
  EXPECT_EQ(v, 0x04);
  ASSERT_EQ(bus.readByte(0x2E, 0x20, v), SmbusResult::Ok);
  EXPECT_EQ(v, 55);  // 20h now holds the second remote temperature
  EXPECT_EQ(bus.readByte(0x4A, 0, v), SmbusResult::Ok);
  EXPECT_EQ(bus.readByte(0x4B, 0, v), SmbusResult::Ok);
  EXPECT_EQ(bus.readByte(0x48, 0, v), SmbusResult::NoAck);
}

// A replayed image: held readings stay whatever the inputs do, a failed read
// fails on the SMBus and floats on ISA, and the chip still takes set-up
// writes and bank selects; raw PCI bytes overlay the bridge's or add a function.
TEST(BoardImage, HeldRegistersFailedReadsAndRawPci) {
  auto r = LoadBoardJson(R"({"south_bridge": {"kind": "PIIX4"},
    "pci": [{"bus": 0, "device": 7, "function": 3, "config": ["86 80 13 71 07"]},
            {"bus": 0, "device": 9, "function": 0, "config": ["34 12 78 56"]}],
    "chips": [{"kind": "W83782D", "smbus": "0x2D", "isa": "0x290", "temps": [60],
               "image": {"0x27": "0x2A", "0x28": "XX", "0x2B": "0x55", "0x4F": "0x5CXX"},
               "banks": {"1": {"0x50": "0x1C", "0x51": "0x80"}}}]})",
                         "image");
  ASSERT_TRUE(r.ok()) << r.error().text();
  SimMachine& m = r->machine();
  SmbusBus& bus = r->smbus();
  uint8_t v = 0;
  EXPECT_EQ(IsaRead(m, 0x290, 0x27), 0x2A);  // not 60 C
  EXPECT_EQ(bus.readByte(0x2D, 0x28, v), SmbusResult::NoAck);
  EXPECT_EQ(IsaRead(m, 0x290, 0x28), 0xFF);
  IsaWrite(m, 0x290, 0x2B, 0x66);  // a limit takes writes
  EXPECT_EQ(IsaRead(m, 0x290, 0x2B), 0x66);
  IsaWrite(m, 0x290, 0x4E, 0x80);
  EXPECT_EQ(IsaRead(m, 0x290, 0x4F), 0x5C);
  IsaWrite(m, 0x290, 0x4E, 0x00);
  EXPECT_EQ(bus.readByte(0x2D, 0x4F, v), SmbusResult::NoAck);
  IsaWrite(m, 0x290, 0x4E, 0x01);
  EXPECT_EQ(IsaRead(m, 0x290, 0x50), 0x1C);
  uint16_t w = 0;
  ASSERT_EQ(bus.readWord(0x49, 0x00, w), SmbusResult::Ok);  // bank 1's sub-client too
  EXPECT_EQ(w, 0x1C80);

  EXPECT_EQ(PciRead32(m, 7, 3, 0), 0x71138086u);
  EXPECT_EQ(PciRead8(m, 7, 3, 4), 0x07);
  EXPECT_EQ(PciRead32(m, 9, 0, 0), 0x56781234u);
}

TEST(BoardFaults, SmbusFaultsFromFileAndFromTests) {
  auto r = LoadBoardJson(R"({"south_bridge": {"kind": "PIIX4"},
    "faults": {"smbus_collisions": 2, "silent_addresses": ["0x2D"]},
    "chips": [{"id": "lm", "kind": "LM78", "smbus": "0x2D"},
              {"id": "t", "kind": "LM75", "smbus": "0x48"}]})",
                         "faults");
  ASSERT_TRUE(r.ok()) << r.error().text();
  SimBoard& b = r.board();
  uint8_t v = 0;
  EXPECT_EQ(b.smbus().readByte(0x48, 0, v), SmbusResult::Collision);
  EXPECT_EQ(b.smbus().readByte(0x48, 0, v), SmbusResult::Collision);
  EXPECT_EQ(b.smbus().readByte(0x48, 0, v), SmbusResult::Ok);
  EXPECT_EQ(b.smbus().readByte(0x2D, 0x40, v), SmbusResult::NoAck);
  b.setSmbusSilent(0x2D, false);
  EXPECT_EQ(b.smbus().readByte(0x2D, 0x40, v), SmbusResult::Ok);
  EXPECT_TRUE(b.setChipVanished("t", true));
  EXPECT_EQ(b.smbus().readByte(0x48, 0, v), SmbusResult::NoAck);
  EXPECT_FALSE(b.setChipVanished("nope", true));

  // The stuck host shows busy (PIIX4 status bit 0) and starts nothing.
  b.setSmbusStuckBusy(true);
  const uint32_t before = b.smbusHost()->starts();
  b.machine().outb(0x5000 + 4, static_cast<uint8_t>(0x2D << 1 | 1));
  b.machine().outb(0x5000 + 2, 0x48);
  EXPECT_EQ(b.machine().inb(0x5000) & 0x01, 0x01);
  EXPECT_EQ(b.smbusHost()->starts(), before);
}

}  // namespace
}  // namespace kev::sim

namespace kev::sim {
namespace {

// Damaged copies of every catalogue board: cut short, or with one byte
// changed. Each load ends in a board or an error with a message.
TEST(BoardFile, DamagedFilesNeverCrash) {
  for (const auto& name : CatalogueBoardNames()) {
    const std::string text(*CatalogueBoardJson(name));
    const size_t end = text.find_last_of('}');  // cuts before the closing brace
    for (size_t cut = 0; cut < end; cut += 37) {
      auto r = LoadBoardJson(text.substr(0, cut), name);
      EXPECT_FALSE(r.ok());
      EXPECT_FALSE(r.error().message.empty());
    }
    for (size_t at = 0; at < text.size(); at += 53) {
      for (char c : {'"', '{', ']', '7', '-', 'x'}) {
        std::string bad = text;
        bad[at] = c;
        auto r = LoadBoardJson(bad, name);
        if (!r.ok()) {
          EXPECT_FALSE(r.error().message.empty()) << bad;
        }
      }
    }
  }
}

}  // namespace
}  // namespace kev::sim
