// What a program stands on for its whole run: the machine (a simulated board
// or the real ports), the settings file, the settings record, the detection
// records, the channels, the log files and the login manager. Both programs
// take the same steps in the same order; what lies between them (a lock, a
// message box) is theirs.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "detect/ownership.h"
#include "monitor/channel_log.h"
#include "monitor/channels.h"
#include "monitor/startup.h"
#include "monitor/system_power.h"
#include "settings/hive_file.h"
#include "sim/board.h"

namespace kev::session {

// Outer size of the caption-less monitor window: 251 x 351 client area
// inside a 3-pixel dialog frame.
inline constexpr int32_t kMonitorWindowWidth = 257;
inline constexpr int32_t kMonitorWindowHeight = 357;

class ProgramSession {
 public:
  ProgramSession();
  ~ProgramSession();
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;

  // The simulated board when one is named, else realPorts with access
  // granted (asked for once more when not yet). False with error set to one
  // line for the user; nothing has been touched then.
  bool OpenMachine(const std::optional<std::string>& board, std::unique_ptr<PortIo> realPorts,
                   std::string& error);
  // Stored chip ports are held to where monitoring chips sit.
  void RestrictSettingsPorts(bool on) { detect_.SettingsPortRestricted = on; }
  // The settings file (given, or the user's own from env). False when it is
  // there but cannot be read; problems lists "path: damage" read past.
  bool OpenSettings(const std::optional<std::string>& file, const EnvLookup& env,
                    std::string& error, std::vector<std::string>& problems);
  // The kernel drivers that own what the program would touch, with the
  // chip port of the settings just opened: false with the refusal in error
  // unless force. owners() has them either way.
  bool CheckOwners(const OwnershipFacts& facts, bool force, std::string& error);

  // What the start-up sequence reads: the parameters, the settings file and
  // the screen the monitor window goes on.
  StartupEnv Startup(std::vector<std::string> args, int32_t screenWidth,
                     int32_t screenHeight) const;
  SaveResult Save(const MonitorSettings& s);

  PortIo& io() { return *io_; }
  sim::SimBoard* board() { return board_.get(); }
  bool simulated() const { return board_ != nullptr; }
  MonitorSettings& settings() { return settings_; }
  DetectState& detect() { return detect_; }
  ChannelSet& channels() { return channels_; }
  LogFileSystem& files() { return files_; }
  const Registry& registry() const;
  bool hasSettingsPlace() const { return hive_ != nullptr; }
  // The login manager; only a real machine is powered off or suspended.
  SystemPower* power() { return power_.get(); }
  const std::vector<HardwareOwner>& owners() const { return owners_; }
  // SMBus addresses kernel drivers hold, which the run leaves alone.
  const std::vector<HardwareOwner>& held() const { return held_; }

 private:
  std::unique_ptr<sim::SimBoard> board_;
  std::unique_ptr<PortIo> realPorts_;
  PortIo* io_ = nullptr;
  std::unique_ptr<HiveFileRegistry> hive_;  // null: no settings place known
  MemoryRegistry scratch_;                  // stands in for a missing settings place
  MonitorSettings settings_;
  DetectState detect_;
  ChannelSet channels_ = MakeChannels();
  PosixLogFileSystem files_;
  std::unique_ptr<SystemPower> power_;
  std::vector<HardwareOwner> owners_;
  std::vector<HardwareOwner> held_;
};

}  // namespace kev::session
