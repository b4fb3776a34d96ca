// board-from-dump: the dumps a user would take on a catalogue board make a
// board that reads the same.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "cli_fixture.h"
#include "sim/board.h"
#include "sim/chips.h"

namespace kev::cli::testing {
namespace {

using BoardFromDump = CliTest;

// i2cdump's and isadump's own layout.
constexpr uint8_t kWinbondBank = 0x4E;
constexpr uint8_t kWinbondBank0 = 0x80;
constexpr int kWinbondBanks = 8;
constexpr uint16_t kIsaIndex = 5, kIsaData = 6;

using Reader = std::function<std::optional<uint16_t>(uint8_t reg)>;

std::string Cell(std::optional<uint16_t> v, bool word) {
  char buf[8];
  if (!v) return word ? "XXXX " : "XX ";
  std::snprintf(buf, sizeof buf, word ? "%04x " : "%02x ", *v);
  return buf;
}

char TextOf(std::optional<uint16_t> v) {
  if (!v) return 'X';
  if (*v == 0 || *v == 0xFF) return '.';
  return *v < 0x20 || *v >= 0x7F ? '?' : static_cast<char>(*v);
}

std::string I2cGrid(const Reader& read, bool words) {
  std::string out = words ? "     0,8  1,9  2,a  3,b  4,c  5,d  6,e  7,f\n"
                          : "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    "
                            "0123456789abcdef\n";
  const int perRow = words ? 8 : 16;
  for (int row = 0; row < 256; row += perRow) {
    char head[8];
    std::snprintf(head, sizeof head, "%02x: ", row);
    std::string cells, text;
    for (int k = 0; k < perRow; ++k) {
      const auto v = read(static_cast<uint8_t>(row + k));
      cells += Cell(v, words);
      text += TextOf(v);
    }
    out += head + cells + (words ? "" : "   " + text) + "\n";
  }
  return out;
}

std::string IsaGrid(sim::SimMachine& m, uint16_t base) {
  std::string out = "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n";
  for (int row = 0; row < 256; row += 16) {
    char head[8];
    std::snprintf(head, sizeof head, "%02x: ", row);
    out += head;
    for (int k = 0; k < 16; ++k) {
      m.outb(static_cast<uint16_t>(base + kIsaIndex), static_cast<uint8_t>(row + k));
      out += Cell(m.inb(static_cast<uint16_t>(base + kIsaData)), false);
    }
    out += "\n";
  }
  return out;
}

std::string Lspci(sim::SimBoard& b) {
  std::string out;
  for (uint8_t dev = 0; dev < 32; ++dev) {
    for (uint8_t fn = 0; fn < 8; ++fn) {
      const sim::PciFunction* f = b.pci().find(0, dev, fn);
      if (f == nullptr || f->hidden()) continue;
      char line[64];
      std::snprintf(line, sizeof line, "00:%02x.%d Bridge: a function\n", dev, fn);
      out += line;
      for (int row = 0; row < 256; row += 16) {
        std::snprintf(line, sizeof line, "%02x:", row);
        out += line;
        for (int k = 0; k < 16; ++k) {
          std::snprintf(line, sizeof line, " %02x", f->readByte(static_cast<uint8_t>(row + k)));
          out += line;
        }
        out += "\n";
      }
      out += "\n";
    }
  }
  return out;
}

bool Winbond(const std::string& kind) {
  return kind.starts_with("W83") || kind.starts_with("AS99127F") || kind == "Winbond";
}

// What a user dumps of the board's main chip while the monitor runs: every
// Winbond bank, the GL518SM's words too.
std::string ChipDump(sim::SimBoard& b, const nlohmann::json& chip) {
  const std::string kind = chip["kind"];
  std::vector<uint8_t> banks{0};
  if (Winbond(kind)) {
    for (int bank = 1; bank < kWinbondBanks; ++bank) banks.push_back(static_cast<uint8_t>(bank));
  }
  std::string out;
  for (uint8_t bank : banks) {
    if (chip.contains("smbus")) {
      const auto a =
          static_cast<uint8_t>(std::stoul(chip["smbus"].get<std::string>(), nullptr, 16));
      if (Winbond(kind)) b.smbus().writeByte(a, kWinbondBank, kWinbondBank0 | bank);
      out += I2cGrid(
          [&](uint8_t r) -> std::optional<uint16_t> {
            uint8_t v = 0;
            if (b.smbus().readByte(a, r, v) != sim::SmbusResult::Ok) return std::nullopt;
            return v;
          },
          false);
      if (kind.starts_with("GL5")) {
        out += "\n" + I2cGrid(
                          [&](uint8_t r) -> std::optional<uint16_t> {
                            uint16_t v = 0;
                            if (b.smbus().readWord(a, r, v) != sim::SmbusResult::Ok)
                              return std::nullopt;
                            return static_cast<uint16_t>(
                                v >> 8 | (v & 0xFF) << 8);  // low byte first, as i2cdump
                          },
                          true);
      }
    } else {
      const auto base =
          static_cast<uint16_t>(std::stoul(chip["isa"].get<std::string>(), nullptr, 16));
      if (Winbond(kind)) {
        b.machine().outb(static_cast<uint16_t>(base + kIsaIndex), kWinbondBank);
        b.machine().outb(static_cast<uint16_t>(base + kIsaData), kWinbondBank0 | bank);
      }
      out += IsaGrid(b.machine(), base);
    }
    out += "\n";
  }
  return out;
}

TEST_F(BoardFromDump, DumpsOfACatalogueBoardReadAsTheBoard) {
  for (const std::string& name : sim::CatalogueBoardNames()) {
    const nlohmann::json original = nlohmann::json::parse(*sim::CatalogueBoardJson(name));
    if (original["chips"].empty()) continue;
    const nlohmann::json& chip = original["chips"][0];
    if (!chip.contains("smbus") && !chip.contains("isa")) continue;  // no dump tool reaches it
    if (chip["kind"] == "PC87366") continue;
    SCOPED_TRACE(name);
    // The dumps are taken once the monitor has set the chip up.
    CliOptions o;
    o.board = name;
    std::string error;
    std::ostringstream err;
    auto session = Session::Open(o, env, err, error);
    ASSERT_TRUE(session) << error;
    session->Start();
    writeFile(path("chip.txt"), ChipDump(*session->board(), chip));
    writeFile(path("lspci.txt"), Lspci(*session->board()));
    std::vector<std::string> args{
        "board-from-dump",   "--chip",          chip["kind"],    "--output",
        path("replay.json"), path("lspci.txt"), path("chip.txt")};
    for (const char* place : {"smbus", "isa"}) {
      if (chip.contains(place)) {
        args.push_back(place == std::string("smbus") ? "--address" : "--isa");
        args.push_back(chip[place]);
      }
    }
    const CliRun made = run(args);
    ASSERT_EQ(made.code, kExitOk) << made.err;
    const CliRun replayed = runWithSettings({"report", "--board", path("replay.json")});
    const CliRun reported = runWithSettings({"report", "--board", name});
    EXPECT_EQ(replayed.out, reported.out) << replayed.err;
  }
}

std::string Data(const std::string& name) {
  return std::string(KEV_SOURCE_DIR) + "/tests/replay/data/" + name;
}

TEST_F(BoardFromDump, FailedReadsFailOnReplayAndBadInputWritesNothing) {
  const std::string out = path("replay.json");
  const CliRun made = run({"board-from-dump", "--chip", "W83782D", Data("piix4-lspci.txt"),
                           Data("w83782d-i2cdump.txt"), "--output", out});
  ASSERT_EQ(made.code, kExitOk) << made.err;
  std::ifstream in(out);
  const nlohmann::json board = nlohmann::json::parse(in);
  EXPECT_EQ(board["south_bridge"]["kind"], "PIIX4E");  // revision 02
  EXPECT_EQ(board["chips"][0]["smbus"], "0x2D");
  EXPECT_EQ(board["chips"][0]["image"]["0x2A"], "XX");
  const CliRun report = runWithSettings({"report", "--board", out});
  EXPECT_NE(report.out.find("Fan 1          4500RPM"), std::string::npos) << report.out;
  EXPECT_NE(report.out.find("Fan 3          N/A"), std::string::npos) << report.out;

  std::ifstream whole(Data("w83782d-i2cdump.txt"));
  std::string cut;  // the first 14 lines: up to row a0
  for (std::string line; cut.size() < 2000 && std::getline(whole, line) && line.rfind("b0:", 0);)
    cut += line + "\n";
  writeFile(path("cut.txt"), cut);
  struct Bad {
    std::vector<std::string> args;
    std::string error;
  };
  const std::vector<Bad> cases{
      {{Data("w83782d-i2cdump.txt"), "--south-bridge", "PIIX4E", "--chip", "LM78"},
       Data("w83782d-i2cdump.txt") + ": line 3: the registers at SMBus address 2Dh identify as "
                                     "'Winbond W83782D', not as the LM78 (--chip)"},
      {{Data("w83782d-i2cdump.txt"), "--chip", "W83782D"},
       "a chip on the SMBus needs the south bridge"},
      {{Data("w83782d-i2cdump.txt"), "--chip", "PC87366", "--south-bridge", "PIIX4E"},
       "--chip: a dump of a PC87366 cannot be replayed"},
      {{path("cut.txt"), "--chip", "W83782D", "--south-bridge", "PIIX4E"},
       path("cut.txt") + ": line 15: expected row b0"},
  };
  for (const Bad& c : cases) {
    SCOPED_TRACE(c.error);
    std::filesystem::remove(out);
    std::vector<std::string> args{"board-from-dump", "--output", out};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun r = run(args);
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_EQ(r.err.rfind("kevatra-cli: " + c.error, 0), 0u) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  EXPECT_EQ(run({"board-from-dump"}).code, kExitUsage);
}

}  // namespace
}  // namespace kev::cli::testing
