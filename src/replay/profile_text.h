// The hardware monitoring profile read line by line into its values, before
// any board is made of them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "replay/dumps.h"

namespace kev::replay::profile {

// One line of the register section. value is empty for a failed read.
struct RegLine {
  enum class What { Reg, Ofs };
  What what = What::Reg;
  uint8_t ldn = 0;  // PC87366: the logical device the line belongs to (0: global)
  uint8_t reg = 0;
  int digits = 2;
  int bank = -1;   // "(BANK  : n)"
  int hbacs = -1;  // "(HBACS : n)"
  std::optional<uint16_t> value;
};

struct Device {
  uint8_t address = 0;
  std::array<std::optional<uint16_t>, 2> words;  // registers 00h and 01h
};

struct Dump {
  // Summary.
  bool pmFound = false;
  std::string chipName;
  std::optional<uint16_t> smbusBase;
  std::optional<uint8_t> mainAddress, secondAddress, thirdAddress;
  // Set-up values.
  uint32_t pmId = 0;
  uint8_t pmRevision = 0;
  bool onPort = false;
  uint16_t port = 0;
  bool onSmbus = false;
  uint8_t smbusAddress = 0;
  // The chip's board kind ("W83782D"), empty for none; its register lines.
  std::string chipKind;
  std::vector<RegLine> regs;
  std::vector<Device> devices;
  std::array<std::string, 15> rows;  // the monitor window's value texts
  std::vector<PciFunctionDump> pci;
};

// The board kind for a chip name of the summary; empty when none fits.
std::string ChipKindOfName(std::string_view name);
// The detection kind a board kind is named by; kind::Unknown for none.
int32_t ChipKindOfBoardKind(std::string_view boardKind);

// Never throws; error "line N: expected ..." on a text that is not a whole,
// unwrapped profile.
std::optional<Dump> ReadProfile(std::string_view text, std::string& error);

// Where the summary banner is, or npos.
size_t FindProfileStart(std::string_view text);

}  // namespace kev::replay::profile
