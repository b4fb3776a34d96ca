#include "app/desktop_session.h"

#include "hw/uinit.h"
#include "settings/autostart.h"
#include "ui/about.h"

namespace kev::app {
namespace {

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

ui::DisplayCore DesktopSession::Core(const ProgramOptions& options, int screenWidth,
                                     int screenHeight) {
  sound_ = std::make_unique<SoundPlayer>();
  ui::DisplayCore c;
  c.io = &core_.io();
  c.settings = &core_.settings();
  c.detect = &core_.detect();
  c.channels = &core_.channels();
  c.os = CurrentOsVersion();
  c.log = SystemLogSeams(core_.files());
  c.numbers = UserNumberFormat();
  c.startup = core_.Startup(options.args, screenWidth, screenHeight);
  c.startup.autostart = DefaultAutostartPlace();
  c.save = [this] { return Save(); };
  c.playSound = [this](const std::string& path) { sound_->Play(path); };
  c.power = core_.power();
  c.portAccess = [this] { return GiveioPresent(core_.io()); };
  c.owners = core_.owners();
#ifdef KEV_DOCUMENTATION_ADDRESS
  c.documentationAddress = QStringLiteral(KEV_DOCUMENTATION_ADDRESS);
#else
  c.documentationAddress = QLatin1String(ui::kDocumentationAddressFallback);
#endif
  return c;
}

}  // namespace kev::app
