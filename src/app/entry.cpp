#include "app/entry.h"

#include <syslog.h>

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <string_view>

#include "app/desktop_session.h"
#include "app/power_events.h"
#include "app/single_instance.h"
#include "app/stop_signals.h"
#include "app/tray_watch.h"
#include "ports/helper_ports.h"
#include "session/privileged_start.h"
#include "ui/about.h"
#include "ui/display.h"
#include "ui/program_images.h"
#include "ui/qt_compat.h"

namespace kev::app {
namespace {

void ShowError(const EntryHooks& hooks, const QString& text) {
  if (hooks.showError) return hooks.showError(text);
  QMessageBox::critical(nullptr, QLatin1String(kErrorCaption), text);
}

// Settings read past are worth a word, not an error.
void ShowSettingsProblems(const EntryHooks& hooks, const std::vector<std::string>& problems) {
  QString text = QStringLiteral("Some settings could not be read and keep their defaults:\n");
  for (const std::string& p : problems) text += QString::fromStdString(p) + QLatin1Char('\n');
  if (hooks.showError) return hooks.showError(text);
  QMessageBox::warning(nullptr, QStringLiteral("Kevatra"), text);
}

// On standard error and, through syslog, in the journal where there is one.
void ReportProblem(const std::string& text) {
  std::fprintf(stderr, "kevatra: %s\n", text.c_str());
  std::fflush(stderr);
  ::syslog(LOG_USER | LOG_WARNING, "%s", text.c_str());
}

// The window follows a tray that comes or goes: a StatusNotifier host is
// announced on the bus, an X11 tray is looked for every few seconds.
void WatchTray(ui::TDisplay& display, const TrayWatch& tray) {
  constexpr int kTrayCheckMs = 2000;
  auto* timer = new QTimer(&display);
  QObject::connect(timer, &QTimer::timeout, &display, &ui::TDisplay::CheckTray);
  QObject::connect(&tray, &TrayWatch::changed, &display, &ui::TDisplay::CheckTray);
  timer->start(kTrayCheckMs);
}

constexpr const char* kUsage =
    "Usage: kevatra [--board NAME|FILE] [--settings FILE] [--force] [/asms0|/asms1|/asms2]\n"
    "A hardware monitor that lives in the tray.\n"
    "  --board NAME|FILE  run on a simulated board (a catalogue name such as demo, or a file)\n"
    "  --settings FILE    keep the settings in FILE instead of the user's own\n"
    "  --force            start although a kernel driver owns the hardware\n"
    "  /asms0 /asms1 /asms2  board-switch override for the SMBus host\n"
    "  --help, --version  this text, the version\n"
    "Started again while running, it opens the running program's window.\n";

// --help and --version need no display; -1 when neither was asked for.
int AnswerInfoOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--help" || a == "-h") return std::fputs(kUsage, stdout) >= 0 ? 0 : 1;
    if (a == "--version") return std::printf("kevatra %s\n", ui::kVersionText) >= 0 ? 0 : 1;
  }
  return -1;
}

// All that needs privilege happens here, before Qt starts threads of its own
// (each thread keeps the capabilities it started with): who else drives the
// hardware is read while /proc/ioports shows its addresses, port access is
// granted, then every capability goes.
EntryHooks GrantThenDrop(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  EntryHooks hooks;
  auto start = std::make_shared<session::PrivilegedStart>(session::StartPrivileged(
      !ParseProgramOptions(args).board, {hooks.roots, {}, session::GiveUpPrivilege}));
  hooks.ownership = start->ownership;
  if (start->ports) hooks.openRealPorts = [start] { return std::move(start->ports); };
  hooks.privileges = start->privileges;
  return hooks;
}

// The monitor window and the event loop, once everything it needs is open.
int RunMonitor(DesktopSession& session, const ProgramOptions& options, SingleInstance& instance,
               StopSignals& stop, const EntryHooks& hooks) {
  const QSize screen = QGuiApplication::primaryScreen()->size();
  ui::DisplayCore core = session.Core(options, screen.width(), screen.height());
  const TrayWatch tray(QDBusConnection::sessionBus());
  core.trayAvailable = [&tray] { return tray.Available(); };
  core.reportProblem = ReportProblem;
  ui::TDisplay display(std::move(core));
  WatchTray(display, tray);
  QObject::connect(&instance, &SingleInstance::openRequested, &display,
                   &ui::TDisplay::ShowFromAnotherStart);
  QObject::connect(&display, &ui::TDisplay::exitRequested, qApp, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  SleepWatcher sleep(QDBusConnection::systemBus());
  QObject::connect(&sleep, &SleepWatcher::suspending, &display, &ui::TDisplay::PowerSuspend);
  QObject::connect(&sleep, &SleepWatcher::resumed, &display, &ui::TDisplay::PowerResume);
  QObject::connect(&stop, &StopSignals::stopRequested, &display, &ui::TDisplay::Stop);
  // The start-up sequence runs once the event loop is running.
  QTimer::singleShot(0, &display, &ui::TDisplay::RunStartup);
  const int code = hooks.exec ? hooks.exec() : QApplication::exec();
  display.SaveAndCleanUp(true);
  return code;
}

}  // namespace

int RunEntry(const QStringList& args, const EntryHooks& hooks) {
  const ProgramOptions options = ParseProgramOptions(args);
  if (!options.error.empty()) {
    ShowError(hooks, QString::fromStdString(options.error));
    return -1;
  }
  // A stop signal before the monitor runs ends the program, message boxes included.
  StopSignals stop;
  bool stopped = false;
  const QMetaObject::Connection early =
      QObject::connect(&stop, &StopSignals::stopRequested, [&stopped] {
        stopped = true;
        QCoreApplication::exit(0);
      });
  // Port access is asked before anything else happens; who else drives the
  // hardware is read just before, while /proc/ioports shows its addresses.
  DesktopSession session;
  std::string error;
  std::unique_ptr<PortIo> ports;
  std::optional<OwnershipFacts> ownership;
  if (!options.board) {
    ownership = hooks.ownership ? *hooks.ownership : ReadOwnership(hooks.roots);
    ports = hooks.openRealPorts ? hooks.openRealPorts() : std::make_unique<ports::HelperPorts>();
  }
  if (!session.OpenMachine(options, std::move(ports), error)) {
    ShowError(hooks, QString::fromStdString(error));
    return -1;
  }
  if (!hooks.privileges.problem.empty()) {
    ShowError(hooks, QString::fromStdString(hooks.privileges.problem));
    return -1;
  }
  // On real ports a stored chip port is used only where monitoring chips sit.
  session.RestrictSettingsPorts(!options.board || hooks.privileges.forNonRootUser);

  // One copy at a time; a later start opens this copy's window.
  SingleInstance instance(RuntimeFolder());
  if (!instance.TryBecomeFirst()) {
    if (!instance.HandOver()) ReportProblem("Kevatra is already running but did not answer.");
    return 0;
  }

  std::vector<std::string> problems;
  if (!session.OpenSettings(options, error, problems)) {
    ShowError(hooks, QString::fromStdString(error));
    return -1;
  }
  if (ownership && !session.CheckOwners(options, *ownership, error)) {
    ShowError(hooks, QString::fromStdString(error));
    return -1;
  }
  if (!problems.empty()) ShowSettingsProblems(hooks, problems);
  if (stopped) return 0;
  QObject::disconnect(early);
  return RunMonitor(session, options, instance, stop, hooks);
}

int RunProgram(int argc, char** argv) {
  if (const int code = AnswerInfoOptions(argc, argv); code >= 0) return code;
  const EntryHooks hooks = GrantThenDrop(argc, argv);
  // Wayland does not let programs place their own windows.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
      !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  ui::ScaleToScreenDensity();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kevatra"));
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(ui::ProgramIcon());
  QStringList args = QApplication::arguments();
  args.removeFirst();
  return RunEntry(args, hooks);
}

}  // namespace kev::app
