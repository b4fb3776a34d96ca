// board-from-dump: the dumps a user would take on a catalogue board make a
// board that reads the same.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

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
                                     "'Winbond W83782D', not as the LM78 (--chip): check the "
                                     "chip kind, and that the grid is this chip's own; without "
                                     "--chip the chip is replayed as detection names it"},
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

using Regs = std::map<int, int>;

// A grid of the registers (those not given read 00h) as i2cdump prints it;
// word mode as the chip answers a word read of a byte register: that
// register, then the next.
std::string I2c(const Regs& regs, bool words = false) {
  const auto at = [&](int r) { return regs.contains(r) ? regs.at(r) : 0; };
  return I2cGrid(
      [&](uint8_t r) -> std::optional<uint16_t> {
        return static_cast<uint16_t>(words ? at(r) | at(r + 1) << 8 : at(r));
      },
      words);
}

std::string Isa(const Regs& regs, int rows) {
  std::string out = "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n";
  for (int row = 0; row < rows * 16; row += 16) {
    char head[8];
    std::snprintf(head, sizeof head, "%02x: ", row);
    out += head;
    for (int k = 0; k < 16; ++k) out += Cell(regs.contains(row + k) ? regs.at(row + k) : 0, false);
    out += "\n";
  }
  return out;
}

// Pastes as users post them, with the datasheets' register values.
TEST_F(BoardFromDump, PastesOfSeveralChipsWordsAndProseReplayWhatTheyShow) {
  // GL518SM: ID 80h, started, 24 C, fan 1 count 5Ch at divisor 1 (5217 RPM).
  const Regs gl518{{0x00, 0x80}, {0x01, 0x80}, {0x03, 0x40},
                   {0x04, 0x8F}, {0x07, 0x5C}, {0x08, 0x60}};
  Regs gl518Words = gl518;  // word 07h is fan 1 then fan 2 on the bus
  gl518Words[0x07] = 0x5C;
  Regs lm75;  // its pointer decodes three bits; 4-7 read FFh
  for (int r = 0; r < 256; r += 8)
    lm75.insert({{r, 0x1A},
                 {r + 2, 0x4B},
                 {r + 3, 0x50},
                 {r + 4, 0xFF},
                 {r + 5, 0xFF},
                 {r + 6, 0xFF},
                 {r + 7, 0xFF}});
  // IT8705F: environment controller at 290h, its Super-I/O at 2Eh.
  const Regs ite{{0x00, 0x11}, {0x0B, 0x09}, {0x0D, 0x96}, {0x0F, 0xFF}, {0x20, 0x70},
                 {0x29, 0x28}, {0x50, 0xFF}, {0x51, 0x38}, {0x58, 0x90}};
  const Regs config{{0x07, 0x04}, {0x20, 0x87}, {0x21, 0x05},
                    {0x30, 0x01}, {0x60, 0x02}, {0x61, 0x90}};
  const std::string monitor = "# isadump 0x295 0x296\n" + Isa(ite, 8);  // 7-bit index
  const std::string superio = "$ sudo isadump 0x2e 0x2f\n" + Isa(config, 16);
  // VT82C686A monitor block: started, 40 C, fan 1 count 96h.
  const Regs via{{0x40, 0x01}, {0x20, 0x8C}, {0x29, 0x96}, {0x47, 0x50}};
  std::string quoted;
  for (const std::string& l : {std::string("Here is my board:"), std::string("$ i2cdump 0 0x2c")})
    quoted += "> " + l + "\n";
  struct Case {
    std::string what, paste;
    std::vector<std::string> args, shown;
  };
  const std::vector<Case> cases{
      {"two chips",
       "$ i2cdump -y 0 0x2c\n" + I2c(gl518) + "\n$ i2cdump -y 0 0x48\n" + I2c(lm75),
       {"--south-bridge", "PIIX4E"},
       {"Genesys Logic GL518SM", "SMBus  2nd Address        48h", "Temp. 1        24.0C"}},
      {"words, quoted",
       quoted + "> \n" +
           [&] {
             std::string q;
             std::istringstream in(I2c(gl518Words, true));
             for (std::string l; std::getline(in, l);) q += "> " + l + "\n";
             return q;
           }(),
       {"--south-bridge", "PIIX4E"},
       {"Genesys Logic GL518SM", "Temp. 1        24.0C", "Fan 1          5217RPM"}},
      {"monitor, then Super-I/O",
       "My board:\n\n" + monitor + "\nand its config:\n" + superio,
       {"--south-bridge", "SiS630"},
       {"ITE IT8705F", "Fan 1          4500RPM"}},
      {"Super-I/O, then monitor",
       superio + "\n" + monitor,
       {"--south-bridge", "SiS630"},
       {"ITE IT8705F", "Fan 1          4500RPM"}},
      {"VIA block", I2c(via), {"--south-bridge", "VT82C686A"}, {"VIA VT82C686A"}},
      {"VIA I/O block",
       "$ isadump -f 0xec00\n" + Isa(via, 16),
       {"--south-bridge", "VT8231"},
       {"VIA VT8231"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(path("paste.txt"), c.paste);
    std::vector<std::string> args{"board-from-dump", "--output", path("b.json"), path("paste.txt")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun made = run(args);
    ASSERT_EQ(made.code, kExitOk) << made.err;
    EXPECT_NE(made.err.find("registers from the dump"), std::string::npos) << made.err;
    const std::string shown = runWithSettings({"info", "--board", path("b.json")}).out +
                              runWithSettings({"report", "--board", path("b.json")}).out;
    for (const std::string& s : c.shown) EXPECT_NE(shown.find(s), std::string::npos) << s << shown;
  }
  // Without command lines two chips' grids cannot be placed apart.
  writeFile(path("paste.txt"), I2c(gl518) + "\n" + I2c(lm75));
  const CliRun merged =
      run({"board-from-dump", path("paste.txt"), "--address", "0x2c", "--south-bridge", "PIIX4E"});
  EXPECT_EQ(merged.code, kExitFailure);
  EXPECT_NE(merged.err.find("line 19: the grid differs from the one at line 1"), std::string::npos)
      << merged.err;
}

}  // namespace
}  // namespace kev::cli::testing
