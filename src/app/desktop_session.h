// Everything the desktop program works on for its whole run: the machine (a
// simulated board or the real ports), the settings file, the settings record,
// the detection records, the channels, sound and the login manager.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/sound.h"
#include "monitor/channel_log.h"
#include "monitor/system_power.h"
#include "settings/hive_file.h"
#include "sim/board.h"
#include "ui/display.h"

namespace kev::app {

struct ProgramOptions {
  std::optional<std::string> board;         // catalogue name or board file
  std::optional<std::string> settingsFile;  // instead of the user's own
  bool force = false;                       // start beside kernel drivers of the same hardware
  std::vector<std::string> args;            // every parameter, for the "/asms" switches
  std::string error;                        // one line; empty when usable
};

// "--board NAME|FILE", "--settings FILE" (also with "=") and "--force"; every other
// parameter is ignored here and handed on for the board-switch override.
ProgramOptions ParseProgramOptions(const QStringList& args);

class DesktopSession {
 public:
  DesktopSession();
  ~DesktopSession();

  // The simulated board, or the real ports with access granted. False with
  // error set to one line for the user; nothing has been touched then.
  bool OpenMachine(const ProgramOptions& options, std::unique_ptr<PortIo> realPorts,
                   std::string& error);
  // The settings file. False when it is there but cannot be read (a save
  // would replace it); problems lists damage that was read past.
  bool OpenSettings(const ProgramOptions& options, std::string& error,
                    std::vector<std::string>& problems);
  // Privilege was given to a user who is not root: stored chip ports are
  // held to where monitoring chips sit.
  void RestrictSettingsPorts(bool on) { detect_.SettingsPortRestricted = on; }

  // The kernel drivers that own what the program would touch, with the
  // chip port of the settings just opened: false with the refusal in error
  // unless --force. The owners go to the information window either way.
  bool CheckOwners(const ProgramOptions& options, const OwnershipFacts& facts, std::string& error);

  // What the monitor window works on; valid while this session lives.
  ui::DisplayCore Core(const ProgramOptions& options, int screenWidth, int screenHeight);
  SaveResult Save();

  PortIo& io() { return *io_; }
  MonitorSettings& settings() { return settings_; }
  sim::SimBoard* board() { return board_.get(); }
  bool simulated() const { return board_ != nullptr; }

 private:
  std::unique_ptr<sim::SimBoard> board_;
  std::unique_ptr<PortIo> realPorts_;
  PortIo* io_ = nullptr;
  std::unique_ptr<HiveFileRegistry> hive_;  // null: no settings place known
  MemoryRegistry scratch_;
  MonitorSettings settings_;
  DetectState detect_;
  ChannelSet channels_ = MakeChannels();
  PosixLogFileSystem files_;
  std::unique_ptr<SystemPower> power_;
  std::unique_ptr<SoundPlayer> sound_;
  std::vector<HardwareOwner> owners_;
};

}  // namespace kev::app
