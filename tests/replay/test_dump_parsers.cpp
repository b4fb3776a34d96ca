// The dump readers on pastes as users post them, whole and damaged.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "replay/dump_lines.h"
#include "replay/grid_tools.h"
#include "replay/lspci.h"

namespace kev::replay {
namespace {

using Lines = std::vector<std::string>;

Lines ReadData(const std::string& name) {
  std::ifstream in(std::string(KEV_SOURCE_DIR) + "/tests/replay/data/" + name);
  Lines lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  EXPECT_FALSE(lines.empty()) << name;
  return lines;
}

std::vector<std::string_view> Views(const Lines& lines) { return {lines.begin(), lines.end()}; }

// The error of a paste, or empty when it parses.
using Reader = std::function<std::string(const std::vector<std::string_view>&)>;
template <class Parse>
Reader ErrorOf(Parse parse) {
  return [parse](const std::vector<std::string_view>& lines) {
    DumpError e;
    return parse(lines, e) ? std::string() : e.text();
  };
}
const Reader kI2c = ErrorOf(ParseI2cdump);
const Reader kIsa = ErrorOf(ParseIsadump);
const Reader kPci = ErrorOf(ParseLspci);

TEST(DumpParsers, ReadWhatTheToolsPrint) {
  DumpError e;
  const Lines w83782d = ReadData("w83782d-i2cdump.txt");
  const auto bytes = ParseI2cdump(Views(w83782d), e);
  ASSERT_TRUE(bytes) << e.text();
  ASSERT_EQ(bytes->grids.size(), 1u);
  EXPECT_EQ(bytes->smbusAddress, 0x2D);  // from the command line above the grid
  const RegisterGrid& g = bytes->grids[0];
  EXPECT_FALSE(g.words);
  EXPECT_EQ(g.cells[0x58].value, 0x30);
  EXPECT_EQ(g.cells[0x2A].state, Cell::State::Failed);

  const Lines gl518 = ReadData("gl518sm-i2cdump-words.txt");
  const auto words = ParseI2cdump(Views(gl518), e);
  ASSERT_TRUE(words) << e.text();
  EXPECT_EQ(words->smbusAddress, 0x2C);  // from the warning
  EXPECT_TRUE(words->grids[0].words);
  EXPECT_EQ(words->grids[0].cells[0x07].value, 0x8C6E);

  const Lines ite = ReadData("it8712f-isadump.txt");
  const auto isa = ParseIsadump(Views(ite), e);
  ASSERT_TRUE(isa) << e.text();
  EXPECT_EQ(isa->indexPort, 0x295);
  EXPECT_EQ(isa->grids[0].cells[0x58].value, 0x90);
  Lines half = ite;  // a 7-bit index: 00h-7Fh only
  half.resize(13);
  const auto halfIsa = ParseIsadump(Views(half), e);
  ASSERT_TRUE(halfIsa) << e.text();
  EXPECT_EQ(halfIsa->grids[0].cells[0x80].state, Cell::State::NotDumped);

  Lines lspci = ReadData("piix4-lspci.txt");
  lspci.insert(lspci.begin() + 19, "PIIX4 ACPI (rev 02)");  // a heading a mail program wrapped
  lspci[18].resize(lspci[18].find(" PIIX4"));
  const auto pci = ParseLspci(Views(lspci), e);
  ASSERT_TRUE(pci) << e.text();
  ASSERT_EQ(pci->functions.size(), 2u);
  EXPECT_EQ(pci->functions[1].device, 7);
  EXPECT_EQ(pci->functions[1].function, 3);
  EXPECT_EQ(pci->functions[1].bytes[0x91], 0x50);
  EXPECT_FALSE(pci->functions[1].unreadable);
}

TEST(DumpParsers, RangeDumpsLeaveTheOtherRegistersOut) {
  // i2cdump -r 0x25-0x3a: blanks before the first and after the last.
  const Lines range{"     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef",
                    "20:                41 42 43 44 45 46 47 48 49 4a 4b         ABCDEFGHIJK",
                    "30: 30 31 32 33 34 35 36 37 38 39 XX                   0123456789X"};
  DumpError e;
  const auto d = ParseI2cdump(Views(range), e);
  ASSERT_TRUE(d) << e.text();
  const auto& cells = d->grids[0].cells;
  EXPECT_EQ(cells[0x24].state, Cell::State::NotDumped);
  EXPECT_EQ(cells[0x25].value, 0x41);
  EXPECT_EQ(cells[0x3A].state, Cell::State::Failed);
  EXPECT_EQ(cells[0x3B].state, Cell::State::NotDumped);
}

struct Damage {
  const char* what;
  const char* file;
  const Reader* reader;
  std::function<void(Lines&)> damage;
  const char* error;
};

// Splits line i after column at, as a mail program wraps long lines.
std::function<void(Lines&)> Wrap(size_t i, size_t at) {
  return [i, at](Lines& l) {
    l.insert(l.begin() + static_cast<std::ptrdiff_t>(i) + 1, l[i].substr(at));
    l[i].resize(at);
  };
}
std::function<void(Lines&)> KeepFirst(size_t n) {
  return [n](Lines& l) { l.resize(n); };
}

TEST(DumpParsers, DamagedPastesNameTheLineAndWhatWasExpected) {
  const std::vector<Damage> cases{
      {"cut short", "w83782d-i2cdump.txt", &kI2c, KeepFirst(16),
       "line 17: expected row d0 (the grid stops after row c0: a paste cut short?)"},
      {"wrapped", "w83782d-i2cdump.txt", &kI2c, Wrap(5, 40),
       "line 6: expected row 20 to end in a text column that matches its values (a row cut "
       "short or wrapped?)"},
      {"mixed", "w83782d-i2cdump.txt", &kI2c,
       [](Lines& l) { l.push_back("00:07.3 Bridge: Intel Corporation 82371AB/EB/MB PIIX4 ACPI"); },
       "line 20: expected an i2cdump column header, got an lspci function heading (one kind of "
       "dump per file)"},
      {"bad value", "w83782d-i2cdump.txt", &kI2c, [](Lines& l) { l[6].replace(4, 2, "zz"); },
       "line 7: expected 2 hex digits or XX for register 30, got 'zz'"},
      {"words wrapped", "gl518sm-i2cdump-words.txt", &kI2c, Wrap(4, 19),
       "line 5: expected row 00 to have 8 values, as the dump goes on at line 6 (a row wrapped "
       "over two lines?)"},
      {"isadump wrapped", "it8712f-isadump.txt", &kIsa, Wrap(7, 30),
       "line 8: expected 16 values in row 20 (a row cut short or wrapped?)"},
      {"isadump cut short", "it8712f-isadump.txt", &kIsa, KeepFirst(10),
       "line 11: expected row 50 (the grid stops after row 40: a paste cut short?)"},
      {"lspci as a user", "piix4-lspci.txt", &kPci,
       [](Lines& l) { l.erase(l.begin() + 5, l.begin() + 17); },
       "line 6: expected row 40 of 00:00.0 (lspci shows 64 bytes only to root: run it with sudo "
       "and -xxx)"},
      {"lspci wrapped", "piix4-lspci.txt", &kPci, Wrap(20, 25),
       "line 21: expected 16 bytes in row 10 of 00:07.3 (a row cut short or wrapped?)"},
      {"lspci mixed", "piix4-lspci.txt", &kPci,
       [](Lines& l) { l.push_back("     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f"); },
       "line 36: expected an lspci function heading such as '00:07.3 Bridge: ...', got an isadump "
       "column header (one kind of dump per file)"},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.what);
    Lines lines = ReadData(c.file);
    c.damage(lines);
    EXPECT_EQ((*c.reader)(Views(lines)), c.error);
  }
}

}  // namespace
}  // namespace kev::replay
