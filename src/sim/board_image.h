// Replayed register images of a board file: raw PCI functions and the
// registers of its chips as a user's dump showed them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/board_spec.h"
#include "sim/register_image.h"

namespace kev::sim {

class Pc87366;

// A problem found while building, with the field it belongs to.
struct BuildFailure {
  std::string field;
  std::string message;
};

// How the image reaches one chip model: its register peek and poke (bank as
// RegisterImage counts it), its image, its 16-bit registers and last index.
struct ImageTarget {
  std::function<uint8_t(int bank, uint8_t index)> peek;
  std::function<void(int bank, uint8_t index, uint8_t value)> poke;
  RegisterImage& image;
  std::vector<uint8_t> words;
  unsigned lastReg = 0xFF;
  bool banked = false;
};

// Each value the part keeps is poked; one it measures, fixes or does not
// decode is held. Throws BuildFailure naming the field.
void ApplyImage(const ChipSpec& c, const ImageTarget& target);
// The 16-bit registers of a chip kind, as board files write them.
std::vector<uint8_t> WordRegisters(std::string_view kind);
void ApplyPc87366Image(const ChipSpec& c, Pc87366& chip);
// Overlays or adds the board's raw PCI functions; with pci_complete, hides
// the bridge functions the list lacks.
void ApplyPciImages(const BoardSpec& spec, SimBoard& board);

}  // namespace kev::sim
