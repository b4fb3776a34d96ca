// The files a user posted, read from disk and made into one board file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "replay/dumps.h"

namespace kev::replay {

// The board as readable JSON (see docs/boards.md) from the files at paths,
// each a profile or i2cdump, isadump or lspci output. nullopt with error, one
// line naming the file or option, when a file cannot be read or parsed or the
// files do not make a board that loads.
std::optional<std::string> BoardFromDumpFiles(const std::vector<std::string>& paths,
                                              const DumpFacts& facts, std::string& error);

}  // namespace kev::replay
