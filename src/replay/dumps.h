// What register dumps posted by users hold, before anything is made of them:
// the grids of i2cdump and isadump and the PCI functions of lspci (and of a
// profile).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kev::replay {

inline constexpr int kGridRegisters = 256;

struct Cell {
  enum class State : uint8_t {
    NotDumped,  // outside the dumped range: the part keeps its own value
    Failed,     // the read failed (XX): it fails on replay too
    Read,
  };
  State state = State::NotDumped;
  uint16_t value = 0;
};

enum class GridTool { I2cdump, Isadump };

// One grid of 256 registers, bytes or (i2cdump word mode) 16-bit words.
struct RegisterGrid {
  bool words = false;
  std::array<Cell, kGridRegisters> cells{};
  int line = 0;  // of its column header, for messages
  // Where the tool's last command line or note above the grid read it.
  std::optional<uint8_t> smbusAddress;
  std::optional<uint16_t> indexPort;  // isadump ADDRREG DATAREG
  std::optional<uint16_t> flatBase;   // isadump -f ADDRESS: an I/O block
};

// One file of i2cdump or isadump output; several grids when the paste
// holds one per bank or one per chip.
struct RegisterDump {
  GridTool tool = GridTool::I2cdump;
  std::vector<RegisterGrid> grids;
  std::optional<uint8_t> smbusAddress;  // the first the tool's commands or notes show
  std::optional<uint16_t> indexPort;    // isadump: the first address register
};

inline constexpr int kPciConfigBytes = 256;

// One PCI function's configuration space, from lspci or a profile.
struct PciFunctionDump {
  uint8_t bus = 0, device = 0, function = 0;
  std::array<uint8_t, kPciConfigBytes> bytes{};
  bool unreadable = false;  // its identifier read FFFFFFFFh
  int line = 0;             // of its lspci heading

  // The little-endian doubleword at a register (at 00h: vendor | device << 16).
  uint32_t dword(size_t at) const {
    return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
           uint32_t{bytes[at + 3]} << 24;
  }
};

struct PciDump {
  std::vector<PciFunctionDump> functions;
};

// What a dump cannot tell, from the command line.
struct DumpFacts {
  std::optional<std::string> chip;         // chip kind as board files spell it
  std::optional<uint8_t> address;          // the chip's SMBus address
  std::optional<uint16_t> isa;             // the chip's ISA base
  std::optional<std::string> southBridge;  // south bridge kind
  std::optional<uint16_t> smbusBase;
};

// Where a paste stops making sense: "line 7: expected ...".
struct DumpError {
  int line = 0;
  std::string expected;
  std::string text() const { return "line " + std::to_string(line) + ": expected " + expected; }
};

}  // namespace kev::replay
