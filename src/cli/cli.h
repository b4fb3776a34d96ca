// kevatra-cli as a function: arguments in, text out, an exit code back.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/session.h"

namespace kev::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // no board, no port access, no save
inline constexpr int kExitUsage = 2;    // a bad command line

// args: the parameters without the program name.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnv& env = {});

}  // namespace kev::cli
