#include "app/desktop_session.h"

#include "cli/session.h"
#include "monitor/logind_power.h"
#include "settings/autostart.h"
#include "settings/settings_io.h"
#include "ui/about.h"

namespace kev::app {
namespace {

// Outer size of the monitor window: 251 x 351 client area in a 3-pixel frame.
constexpr int32_t kMonitorWindowWidth = 257;
constexpr int32_t kMonitorWindowHeight = 357;

// The value of "--name VALUE" or "--name=VALUE" at args[i]; advances i past it.
std::optional<std::string> OptionValue(const QStringList& args, qsizetype& i, const QString& name,
                                       std::string& error) {
  const QString& a = args[i];
  if (a.startsWith(name + QLatin1Char('='))) return a.mid(name.size() + 1).toStdString();
  if (a != name) return std::nullopt;
  if (i + 1 >= args.size()) {
    error = name.toStdString() + " needs a value";
    return std::nullopt;
  }
  return args[++i].toStdString();
}

}  // namespace

ProgramOptions ParseProgramOptions(const QStringList& args) {
  ProgramOptions o;
  for (qsizetype i = 0; i < args.size() && o.error.empty(); ++i) {
    o.args.push_back(args[i].toStdString());
    if (auto v = OptionValue(args, i, QStringLiteral("--board"), o.error)) {
      o.board = *v;
    } else if (auto s = OptionValue(args, i, QStringLiteral("--settings"), o.error)) {
      o.settingsFile = *s;
    } else if (args[i] == QLatin1String("--force")) {
      o.force = true;
    }
  }
  if (o.board && o.board->empty()) o.error = "--board needs a board name or file";
  return o;
}

DesktopSession::DesktopSession() = default;
DesktopSession::~DesktopSession() = default;

bool DesktopSession::OpenMachine(const ProgramOptions& options, std::unique_ptr<PortIo> realPorts,
                                 std::string& error) {
  if (options.board) {
    board_ = cli::OpenBoard(*options.board, error);
    if (!board_) return false;
    io_ = &board_->machine();
    return true;
  }
  realPorts_ = std::move(realPorts);
  if (!realPorts_->requestAccess()) {
    const std::string why = realPorts_->refusalReason();
    error = why.empty() ? "Port access refused: run as root or with CAP_SYS_RAWIO." : why;
    return false;
  }
  io_ = realPorts_.get();
  // Only a real machine is powered off or suspended by an error action.
  power_ = std::make_unique<LogindPower>();
  return true;
}

bool DesktopSession::OpenSettings(const ProgramOptions& options, std::string& error,
                                  std::vector<std::string>& problems) {
  const std::string path = options.settingsFile ? *options.settingsFile : DefaultHivePath();
  if (path.empty()) return true;  // no settings place: run on defaults
  error = cli::SettingsFileProblem(path);
  if (!error.empty()) return false;
  hive_ = std::make_unique<HiveFileRegistry>(path);
  for (const std::string& p : hive_->load()) problems.push_back(path + ": " + p);
  return true;
}

bool DesktopSession::CheckOwners(const ProgramOptions& options, const OwnershipFacts& facts,
                                 std::string& error) {
  const Registry& reg = hive_ ? static_cast<const Registry&>(*hive_) : scratch_;
  owners_ = FindOwners(facts, cli::ChipPortSetting(reg));
  if (owners_.empty() || options.force) return true;
  error = OwnersRefusalText(owners_);
  return false;
}

ui::DisplayCore DesktopSession::Core(const ProgramOptions& options, int screenWidth,
                                     int screenHeight) {
  sound_ = std::make_unique<SoundPlayer>();
  ui::DisplayCore c;
  c.io = io_;
  c.settings = &settings_;
  c.detect = &detect_;
  c.channels = &channels_;
  c.os = CurrentOsVersion();
  c.log = SystemLogSeams(files_);
  c.numbers = UserNumberFormat();
  c.startup.args = options.args;
  c.startup.registry = hive_ ? static_cast<const Registry*>(hive_.get()) : &scratch_;
  c.startup.screen = {screenWidth, screenHeight, kMonitorWindowWidth, kMonitorWindowHeight};
  c.startup.autostart = DefaultAutostartPlace();
  c.save = [this] { return Save(); };
  c.playSound = [this](const std::string& path) { sound_->Play(path); };
  c.power = power_.get();
  c.portAccess = [this] { return GiveioPresent(*io_); };
  c.owners = owners_;
#ifdef KEV_DOCUMENTATION_ADDRESS
  c.documentationAddress = QStringLiteral(KEV_DOCUMENTATION_ADDRESS);
#else
  c.documentationAddress = QLatin1String(ui::kDocumentationAddressFallback);
#endif
  return c;
}

SaveResult DesktopSession::Save() {
  if (!hive_) {
    return SaveResult::Failed(
        "no place for the settings file: neither XDG_CONFIG_HOME nor HOME is set");
  }
  return SaveSettings(*hive_, settings_);
}

}  // namespace kev::app
