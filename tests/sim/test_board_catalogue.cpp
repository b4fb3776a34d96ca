// Every catalogue board loads and answers where its description says.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "sim/board.h"
#include "test_board_util.h"

namespace kev::sim {
namespace {

using namespace kev::sim::testing;
using nlohmann::json;

struct PciLocation {
  int dev, fn;
  uint32_t id;
};

// Where each south bridge's SMBus/PM function sits, from the parts' datasheets.
const std::map<std::string, PciLocation> kSouth = {
    {"PIIX4", {7, 3, 0x71138086}},     {"PIIX4E", {7, 3, 0x71138086}},
    {"ICH", {31, 3, 0x24138086}},      {"ICH0", {31, 3, 0x24238086}},
    {"ICH2", {31, 3, 0x24438086}},     {"ICH2-M", {31, 3, 0x24438086}},
    {"ICH3-M", {31, 3, 0x24838086}},   {"AMD-756", {7, 3, 0x740B1022}},
    {"AMD-766", {7, 3, 0x74131022}},   {"AMD-768", {7, 3, 0x74431022}},
    {"VT82C596B", {7, 3, 0x30501106}}, {"VT82C596B-3051", {7, 3, 0x30511106}},
    {"VT82C686A", {7, 4, 0x30571106}}, {"VT82C686B", {7, 4, 0x30571106}},
    {"VT8231", {17, 4, 0x82351106}},   {"VT8233", {17, 0, 0x82311106}},
    {"VT8233C", {17, 0, 0x30741106}},  {"SiS5595", {1, 0, 0x00081039}},
    {"SiS630", {0, 0, 0x06301039}},    {"M1535D+", {17, 0, 0x710110B9}},
};

uint16_t Port(const json& v) {
  return v.is_string() ? static_cast<uint16_t>(std::stoul(v.get<std::string>(), nullptr, 16))
                       : v.get<uint16_t>();
}

class CatalogueBoard : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    auto text = CatalogueBoardJson(GetParam());
    ASSERT_TRUE(text);
    desc_ = json::parse(*text);
    auto r = LoadCatalogueBoard(GetParam());
    ASSERT_TRUE(r.ok()) << r.error().text();
    board_ = r.take();
  }
  SimMachine& m() { return board_->machine(); }

  // Something answers at an ISA index/data pair: the index port reads back.
  void ExpectIsaChip(uint16_t base) {
    m().outb(static_cast<uint16_t>(base + 5), 0x40);
    EXPECT_EQ(m().inb(static_cast<uint16_t>(base + 5)), 0x40) << "no chip at " << base;
    EXPECT_NE(m().inb(static_cast<uint16_t>(base + 6)), 0xFF);
  }

  json desc_;
  std::unique_ptr<SimBoard> board_;
};

// Suites over the boards whose description has a part.
class BoardWithSouthBridge : public CatalogueBoard {};
class BoardWithPciHost : public CatalogueBoard {};
class BoardWithSuperIo : public CatalogueBoard {};

TEST_P(BoardWithSouthBridge, AnswersWithItsIdentifier) {
  const auto& sb = desc_["south_bridge"];
  const PciLocation loc = kSouth.at(sb["kind"].get<std::string>());
  if (sb.value("smbus_hidden", false)) {
    EXPECT_EQ(PciRead32(m(), loc.dev, loc.fn, 0), 0xFFFFFFFFu);
    const uint8_t disable = PciRead8(m(), 31, 0, 0xF2);
    PciWrite8(m(), 31, 0, 0xF2, static_cast<uint8_t>(disable & ~0x08));
  }
  EXPECT_EQ(PciRead32(m(), loc.dev, loc.fn, 0), loc.id);
  EXPECT_NE(board_->smbusHost(), nullptr);
}

TEST_P(BoardWithPciHost, HostBridgeSitsAtDeviceZero) {
  const uint32_t id = PciRead32(m(), 0, 0, 0);
  EXPECT_NE(id, 0xFFFFFFFFu);
  EXPECT_NE(id & 0xFFFF, 0u);
}

TEST_P(CatalogueBoard, EveryChipAnswersWhereItClaims) {
  for (const auto& c : desc_["chips"]) {
    const std::string kind = c["kind"];
    SCOPED_TRACE(kind);
    if (c.contains("isa")) ExpectIsaChip(Port(c["isa"]));
    if (c.contains("smbus")) {
      uint8_t v = 0;
      EXPECT_EQ(board_->smbus().readByte(static_cast<uint8_t>(Port(c["smbus"])), 0x00, v),
                SmbusResult::Ok);
    }
    if (kind == "PC87366") {
      const uint16_t port = Port(c["config_port"]);
      EXPECT_EQ(SioRead(m(), port, 0x20), 0xE9);
    }
    if (kind == "SiS5595") ExpectIsaChip(PciRead32(m(), 1, 0, 0x68) & 0xFFF8);
    if (kind.rfind("VT8", 0) == 0) {
      const auto& loc = kSouth.at(desc_["south_bridge"]["kind"].get<std::string>());
      EXPECT_EQ(PciRead8(m(), loc.dev, loc.fn, 0x74) & 1, 1);
      const auto base = static_cast<uint16_t>(PciRead32(m(), loc.dev, loc.fn, 0x70) & 0xFF80);
      m().outb(static_cast<uint16_t>(base + 0x40), 0x01);
      EXPECT_EQ(m().inb(static_cast<uint16_t>(base + 0x40)), 0x01);
    }
    const std::string id = c.value("id", kind);
    ASSERT_NE(board_->chipInputs(id), nullptr) << id;
    EXPECT_EQ(board_->chipKind(id), kind);
  }
}

TEST_P(BoardWithSuperIo, WinbondSuperIoOpensWithItsKey) {
  const uint16_t port = Port(desc_["superio"]["port"]);
  EXPECT_EQ(m().inb(static_cast<uint16_t>(port + 1)), 0xFF);  // closed
  m().outb(port, 0x87);
  m().outb(port, 0x87);
  EXPECT_EQ(SioRead(m(), port, 0x20), Port(desc_["superio"]["chip_id"]));
}

json Description(const std::string& name) { return json::parse(*CatalogueBoardJson(name)); }

bool HasSouthBridge(const json& d) { return d.contains("south_bridge"); }
// A SiS 630 board has no host_bridge: its south bridge is the host bridge.
bool HasPciHost(const json& d) { return d.contains("host_bridge") || HasSouthBridge(d); }
bool HasSuperIo(const json& d) { return d.contains("superio"); }

std::vector<std::string> BoardsWhere(bool (*holds)(const json&)) {
  std::vector<std::string> names;
  for (const std::string& name : CatalogueBoardNames()) {
    if (holds(Description(name))) names.push_back(name);
  }
  return names;
}

std::string BoardTestName(const ::testing::TestParamInfo<std::string>& p) {
  std::string n = p.param;
  for (char& ch : n)
    if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return n;
}

INSTANTIATE_TEST_SUITE_P(All, CatalogueBoard, ::testing::ValuesIn(CatalogueBoardNames()),
                         BoardTestName);
INSTANTIATE_TEST_SUITE_P(All, BoardWithSouthBridge,
                         ::testing::ValuesIn(BoardsWhere(HasSouthBridge)), BoardTestName);
INSTANTIATE_TEST_SUITE_P(All, BoardWithPciHost, ::testing::ValuesIn(BoardsWhere(HasPciHost)),
                         BoardTestName);
INSTANTIATE_TEST_SUITE_P(All, BoardWithSuperIo, ::testing::ValuesIn(BoardsWhere(HasSuperIo)),
                         BoardTestName);

TEST(Catalogue, EachPartFilterFindsBoards) {
  EXPECT_FALSE(BoardsWhere(HasSouthBridge).empty());
  EXPECT_FALSE(BoardsWhere(HasPciHost).empty());
  EXPECT_FALSE(BoardsWhere(HasSuperIo).empty());
}

TEST(Catalogue, CoversEverySouthBridgeAndChipKind) {
  std::set<std::string> south, chips;
  for (const auto& name : CatalogueBoardNames()) {
    const json d = Description(name);
    if (d.contains("south_bridge")) south.insert(d["south_bridge"]["kind"].get<std::string>());
    for (const auto& c : d["chips"]) chips.insert(c["kind"].get<std::string>());
  }
  for (const auto& [kind, loc] : kSouth) EXPECT_TRUE(south.count(kind)) << kind;
  for (const char* k :
       {"LM78",     "LM78-J",  "LM79",    "LM80",     "LM81",    "LM87",        "W83781D",
        "W83627HF", "W83782D", "W83783S", "W83697HF", "Winbond", "AS99127F-WB", "AS99127F-AS",
        "GL518SM",  "GL520SM", "LM75",    "MAX1617",  "SiS5595", "VT82C686A",   "VT82C686B",
        "VT8231",   "PC87366", "IT8705F", "IT8712F"})
    EXPECT_TRUE(chips.count(k)) << k;
}

TEST(Catalogue, DemoReadingsMoveFanStallsAndCpuPassesSixtyDegrees) {
  auto r = LoadCatalogueBoard("demo");
  ASSERT_TRUE(r.ok()) << r.error().text();
  SimBoard& b = r.board();
  const uint16_t base = 0x290;
  const uint8_t tempEarly = IsaRead(b.machine(), base, 0x27);
  bool stalled = false, turning = false;
  for (int s = 0; s < 120; ++s) {
    const uint8_t fan2 = IsaRead(b.machine(), base, 0x29);
    (fan2 == 0xFF ? stalled : turning) = true;
    b.advanceMs(1000);
  }
  EXPECT_TRUE(stalled);
  EXPECT_TRUE(turning);
  b.advanceMs(600000);
  const uint8_t tempLate = IsaRead(b.machine(), base, 0x27);
  EXPECT_LT(tempEarly, 45);
  EXPECT_GT(tempLate, 65);
  EXPECT_LT(tempLate, 0x80);
}

}  // namespace
}  // namespace kev::sim
