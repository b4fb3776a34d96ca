// The chips of a board made from register dumps: the grids sorted by the
// chip they were taken of, each chip's kind told by the program's own
// identification, and the board refused when detection would name another.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "replay/dump_board.h"

namespace kev::replay {

// Adds (or fills) a chip for each place the grids of the files were taken
// at, and a Super-I/O configuration grid's facts. notes gets one line per
// dumped chip on what came from the dump. False with error (one line) when
// a grid cannot be placed or told, or detection names another chip.
bool AddDumpedChips(nlohmann::json& board, const std::vector<NamedFile>& files,
                    const DumpFacts& facts, std::vector<std::string>& notes, std::string& error);

}  // namespace kev::replay
