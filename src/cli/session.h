// One run of the tool: the machine (a simulated board or the real ports),
// the settings file and everything the start-up sequence fills in.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/cli_host.h"
#include "cli/options.h"
#include "detect/ownership.h"
#include "hw/privilege.h"
#include "monitor/bus_names.h"
#include "monitor/channel_log.h"
#include "monitor/monitor_context.h"
#include "monitor/row_model.h"
#include "monitor/startup.h"
#include "session/program_session.h"
#include "settings/hive_file.h"
#include "sim/board.h"

namespace kev::cli {

// What the tool needs from the process; every field has a default.
struct CliEnv {
  EnvLookup env;                                           // the process environment when empty
  std::function<std::unique_ptr<PortIo>()> openRealPorts;  // RealPorts when empty
  std::function<bool()> stopRequested;                     // never when empty
  std::function<void(uint64_t ms)> sleepMs;                // a sleep that ends early on a stop
  std::function<LocalTime()> now;                          // the local clock when empty
  std::function<std::string()> currentDirectory;
  SystemPower* power = nullptr;  // the login manager when empty (real ports only)
  OwnershipRoots roots;          // where sysfs and proc are; tests use fixture trees
  BusNames* buses = nullptr;     // check asks these; the real buses when empty
  // Gives up privilege once port access is granted; main passes DropPrivileges.
  // Empty keeps it (tests that run the tool inside their own process).
  std::function<PrivilegeDrop()> dropPrivileges;
};

// Sleeps ms milliseconds: env.sleepMs when given, else the real clock in
// short slices, so that a stop request ends the wait soon either way.
void SleepMs(const CliEnv& env, uint64_t ms);

class Session {
 public:
  // Loads the board, or looks for kernel drivers of the same hardware and
  // asks for port access, and reads the settings file. On failure (a driver
  // owns the hardware and there is no --force, among others) returns null
  // and sets error to a message for the user; nothing has been touched then.
  static std::unique_ptr<Session> Open(const CliOptions& options, const CliEnv& env,
                                       std::ostream& err, std::string& error);
  ~Session();

  // The start-up sequence, once.
  void Start();
  // Writes the settings back (only --save calls it); false with error set.
  bool Save(std::string& error);

  MonitorContext& context() { return *ctx_; }
  RowModel& rows() { return *rows_; }
  CliHost& host() { return *host_; }
  MonitorSettings& settings() { return core_.settings(); }
  DetectState& detect() { return core_.detect(); }
  ChannelSet& channels() { return core_.channels(); }
  PortIo& io() { return core_.io(); }
  sim::SimBoard* board() { return core_.board(); }

 private:
  Session(const CliOptions& options, const CliEnv& env, std::ostream& err);

  const CliOptions& options_;
  const CliEnv& env_;
  std::ostream& err_;
  session::ProgramSession core_;
  std::unique_ptr<CliHost> host_;
  std::unique_ptr<MonitorContext> ctx_;
  std::unique_ptr<RowModel> rows_;
  StartupSequence startup_;
};

}  // namespace kev::cli
