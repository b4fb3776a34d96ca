#include "session/program_session.h"

#include "monitor/logind_power.h"
#include "session/board_opener.h"
#include "session/privileged_start.h"
#include "session/settings_file.h"
#include "settings/settings_io.h"

namespace kev::session {

ProgramSession::ProgramSession() = default;
ProgramSession::~ProgramSession() = default;

bool ProgramSession::OpenMachine(const std::optional<std::string>& board,
                                 std::unique_ptr<PortIo> realPorts, std::string& error) {
  if (board) {
    board_ = OpenBoard(*board, error);
    if (!board_) return false;
    io_ = &board_->machine();
    return true;
  }
  realPorts_ = std::move(realPorts);
  if (!realPorts_->requestAccess()) {
    error = PortRefusalText(*realPorts_);
    return false;
  }
  io_ = realPorts_.get();
  power_ = std::make_unique<LogindPower>();
  return true;
}

bool ProgramSession::OpenSettings(const std::optional<std::string>& file, const EnvLookup& env,
                                  std::string& error, std::vector<std::string>& problems) {
  const std::string path = SettingsPath(file, env);
  if (path.empty()) return true;  // no settings place: run on defaults
  error = SettingsFileProblem(path);
  if (!error.empty()) return false;
  hive_ = std::make_unique<HiveFileRegistry>(path);
  for (const std::string& p : hive_->load()) problems.push_back(path + ": " + p);
  return true;
}

const Registry& ProgramSession::registry() const {
  return hive_ ? static_cast<const Registry&>(*hive_) : scratch_;
}

bool ProgramSession::CheckOwners(const OwnershipFacts& facts, bool force, std::string& error) {
  const bool throughKernel = io_ && io_->smbusThroughKernel();
  owners_ = FindOwners(facts, ChipPortSetting(registry()), throughKernel);
  held_ = throughKernel ? KernelHeldAddresses(facts) : std::vector<HardwareOwner>{};
  if (owners_.empty() || force) return true;
  error = OwnersRefusalText(owners_);
  return false;
}

StartupEnv ProgramSession::Startup(std::vector<std::string> args, int32_t screenWidth,
                                   int32_t screenHeight) const {
  StartupEnv env;
  env.args = std::move(args);
  env.registry = &registry();
  env.screen = {screenWidth, screenHeight, kMonitorWindowWidth, kMonitorWindowHeight};
  return env;
}

SaveResult ProgramSession::Save(const MonitorSettings& s) {
  if (!hive_) return SaveResult::Failed(kNoSettingsPlace);
  return SaveSettings(*hive_, s);
}

}  // namespace kev::session
