#include "app/desktop_session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <future>
#include <thread>

#include "hw/uinit.h"
#include "settings/autostart.h"
#include "ui/about.h"
#include "ui/qt_compat.h"

namespace kev::app {
namespace {

// The value of "--name VALUE" or "--name=VALUE" at args[i]; advances i past it.
std::optional<std::string> OptionValue(const QStringList& args, ui::QtSize& i, const QString& name,
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
  for (ui::QtSize i = 0; i < args.size() && o.error.empty(); ++i) {
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
DesktopSession::~DesktopSession() {
  std::lock_guard<std::mutex> lock(*saving_);  // a save still writing
}

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
  c.saveWithin = [this](std::chrono::milliseconds deadline) { return SaveWithin(deadline); };
  if (sim::SimBoard* b = core_.board()) c.advanceClock = [b](uint64_t ms) { b->advanceMs(ms); };
  c.playSound = [this](const std::string& path) { sound_->Play(path); };
  c.power = core_.power();
  c.portAccess = [this] { return GiveioPresent(core_.io()); };
  c.owners = core_.owners();
  c.owners.insert(c.owners.end(), core_.held().begin(), core_.held().end());
  c.documentationAddress = DocumentationAddress(QCoreApplication::applicationDirPath());
  return c;
}

SaveResult DesktopSession::Save() {
  std::lock_guard<std::mutex> lock(*saving_);
  return core_.Save(core_.settings());
}

// The save runs on a thread of its own that may outlive the wait; it works
// on a copy of the record and holds the lock every save takes.
SaveResult DesktopSession::SaveWithin(std::chrono::milliseconds deadline) {
  auto task = std::make_shared<std::packaged_task<SaveResult()>>(
      [this, s = core_.settings(), saving = saving_] {
        std::lock_guard<std::mutex> lock(*saving);
        return core_.Save(s);
      });
  std::future<SaveResult> done = task->get_future();
  std::thread([task] { (*task)(); }).detach();
  if (done.wait_for(deadline) == std::future_status::ready) return done.get();
  return SaveResult::Failed("the settings file did not answer in time");
}

QString DocumentationAddress(const QString& programDir) {
  // Installed: the documentation folder relative to the program's folder;
  // in the build tree: the sources' docs/, as the note beside it says.
  const QDir dir(programDir);
  QStringList candidates{dir.filePath(QStringLiteral(KEV_DOCS_FROM_PROGRAM))};
  QFile note(dir.filePath(QStringLiteral("kevatra-build-docs")));
  constexpr qint64 kLongestPath = 4096;
  if (note.open(QIODevice::ReadOnly)) {
    candidates.push_back(QString::fromUtf8(note.read(kLongestPath)).trimmed());
  }
  for (const QString& folder : candidates) {
    const QString index = QDir::cleanPath(folder + QStringLiteral("/index.md"));
    if (QFileInfo::exists(index)) return QUrl::fromLocalFile(index).toString();
  }
  return QUrl::fromLocalFile(QDir::cleanPath(candidates.front() + QStringLiteral("/index.md")))
      .toString();
}

}  // namespace kev::app
