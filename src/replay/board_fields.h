// Fields of a board file as replay writes them (see docs/boards.md).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "replay/dumps.h"

namespace kev::replay {

// A number in hex as board files write it: "0x2D", "0x0290".
std::string HexText(unsigned v, int digits);

// A "pci" entry: the function's location and its configuration bytes eight
// to a line. An unreadable function replays as one: all ones, an empty slot.
nlohmann::json PciEntry(const PciFunctionDump& f);

}  // namespace kev::replay
