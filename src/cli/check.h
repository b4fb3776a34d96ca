// kevatra-cli check: what stands between this machine and real monitoring.
#pragma once

#include <iosfwd>

#include "cli/options.h"
#include "cli/session.h"

namespace kev::cli {

// One line per item with what to do about it; no port is written. Returns 1
// when port access, lockdown or a kernel driver stands in the way (or the
// board cannot be loaded), else 0.
int RunCheck(const CliOptions& options, const CliEnv& env, std::ostream& out, std::ostream& err);

}  // namespace kev::cli
