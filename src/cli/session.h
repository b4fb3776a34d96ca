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

// A catalogue board by name or a board file by path; null with error set to
// one line for the user.
std::unique_ptr<sim::SimBoard> OpenBoard(const std::string& name, std::string& error);
// A settings file that is missing is a first run; one that is there but
// cannot be read is an error, since a save would replace it with defaults.
// Empty when the file can be used.
std::string SettingsFileProblem(const std::string& path);

// The ISA base the chip would be probed at, from the settings in reg.
int32_t ChipPortSetting(const Registry& reg);

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
  MonitorSettings& settings() { return settings_; }
  DetectState& detect() { return detect_; }
  ChannelSet& channels() { return channels_; }
  PortIo& io() { return *io_; }
  sim::SimBoard* board() { return board_.get(); }

 private:
  Session(const CliOptions& options, const CliEnv& env, std::ostream& err);

  const CliOptions& options_;
  const CliEnv& env_;
  std::ostream& err_;
  std::unique_ptr<sim::SimBoard> board_;
  std::unique_ptr<PortIo> realPorts_;
  std::unique_ptr<SystemPower> ownPower_;
  PortIo* io_ = nullptr;
  std::unique_ptr<HiveFileRegistry> hive_;  // null: no settings file known
  MemoryRegistry scratch_;                  // stands in for a missing settings place
  MonitorSettings settings_;
  DetectState detect_;
  ChannelSet channels_ = MakeChannels();
  PosixLogFileSystem files_;
  std::unique_ptr<CliHost> host_;
  std::unique_ptr<MonitorContext> ctx_;
  std::unique_ptr<RowModel> rows_;
  StartupSequence startup_;
};

}  // namespace kev::cli
