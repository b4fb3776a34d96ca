// A board description made from the files a user posted: a profile, an
// lspci dump of the PCI functions, i2cdump or isadump grids of the chip.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "replay/dump_file.h"

namespace kev::replay {

struct NamedFile {
  std::string name;  // for messages
  ParsedFile parsed;
};

// The board; nullopt with error (one line, naming the file or option)
// when the files do not make one that loads, or one detection would name
// another chip than the dumps show. notes: a line per dumped chip on which
// registers came from the dump.
std::optional<nlohmann::json> BoardFromDumps(const std::vector<NamedFile>& files,
                                             const DumpFacts& facts,
                                             std::vector<std::string>& notes, std::string& error);

// The same from the files at paths, read from disk (plain files up to
// 1 MiB), as readable JSON (see docs/boards.md); error also names a file
// that cannot be read or parsed.
std::optional<std::string> BoardFromDumpFiles(const std::vector<std::string>& paths,
                                              const DumpFacts& facts,
                                              std::vector<std::string>& notes, std::string& error);

}  // namespace kev::replay
