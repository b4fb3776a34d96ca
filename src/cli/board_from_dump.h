// kevatra-cli board-from-dump: a board file from what a user posted.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/options.h"

namespace kev::cli {

// The options that say what the dumps cannot; each returns an error for
// the command line, or empty.
std::string ParseChipAddress(CliOptions& o, const std::string& text);
std::string ParseIsaPort(CliOptions& o, const std::string& text);
std::string ParseSmbusBase(CliOptions& o, const std::string& text);

// Reads o.files, writes the board to o.output or out; the exit code.
int RunBoardFromDump(const CliOptions& o, std::ostream& out, std::ostream& err);

}  // namespace kev::cli
