// kevatra-cli: the readings of the monitor in a terminal or a script.
#include <csignal>
#include <iostream>

#include "cli/cli.h"
#include "session/privileged_start.h"

namespace {
// Set by SIGINT, SIGTERM and SIGHUP; the tool finishes the sample in hand,
// saves when asked to and exits.
volatile std::sig_atomic_t stopSignal = 0;
extern "C" void OnStopSignal(int) { stopSignal = 1; }
}  // namespace

int main(int argc, char** argv) {
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  // A reader that goes away fails the next write instead of killing the
  // tool, so the run still ends the clean way (and saves when asked to).
  signal(SIGPIPE, SIG_IGN);
  kev::cli::CliEnv env;
  env.stopRequested = [] { return stopSignal != 0; };
  env.dropPrivileges = kev::session::GiveUpPrivilege;
  return kev::cli::RunCli({argv + 1, argv + argc}, std::cout, std::cerr, env);
}
