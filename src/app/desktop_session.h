// The desktop program on the session both programs stand on: its command
// line, and what the monitor window is given (sound, the screen, the About link).
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/sound.h"
#include "session/program_session.h"
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

  // The steps of session::ProgramSession with the program's options.
  bool OpenMachine(const ProgramOptions& options, std::unique_ptr<PortIo> realPorts,
                   std::string& error) {
    return core_.OpenMachine(options.board, std::move(realPorts), error);
  }
  bool OpenSettings(const ProgramOptions& options, std::string& error,
                    std::vector<std::string>& problems) {
    return core_.OpenSettings(options.settingsFile, {}, error, problems);
  }
  void RestrictSettingsPorts(bool on) { core_.RestrictSettingsPorts(on); }
  bool CheckOwners(const ProgramOptions& options, const OwnershipFacts& facts, std::string& error) {
    return core_.CheckOwners(facts, options.force, error);
  }

  // What the monitor window works on; valid while this session lives.
  ui::DisplayCore Core(const ProgramOptions& options, int screenWidth, int screenHeight);
  SaveResult Save();
  // The same, giving up after deadline (a hung disk); the write goes on
  // meanwhile and later saves wait for it.
  SaveResult SaveWithin(std::chrono::milliseconds deadline);

  PortIo& io() { return core_.io(); }
  MonitorSettings& settings() { return core_.settings(); }
  sim::SimBoard* board() { return core_.board(); }
  bool simulated() const { return core_.simulated(); }

 private:
  session::ProgramSession core_;
  std::unique_ptr<SoundPlayer> sound_;
  std::shared_ptr<std::mutex> saving_ = std::make_shared<std::mutex>();
};

// The About box's link: the documentation's index beside the installed
// program, or in the sources when run from the build tree.
QString DocumentationAddress(const QString& programDir);

}  // namespace kev::app
