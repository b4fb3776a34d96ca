#include "app/entry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>
#include <optional>

#include "app/desktop_session.h"
#include "app/power_events.h"
#include "app/stop_signals.h"
#include "ports/helper_ports.h"
#include "session/privileged_start.h"
#include "ui/display.h"
#include "ui/program_images.h"

namespace kev::app {
namespace {

// How often a simulated board's clock catches up with the real one.
constexpr int kSimClockTickMs = 100;

void ShowError(const EntryHooks& hooks, const QString& text) {
  if (hooks.showError) return hooks.showError(text);
  QMessageBox::critical(nullptr, QLatin1String(kErrorCaption), text);
}

QString LockPath() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  return dir + QStringLiteral("/Kevatra.lock");
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

}  // namespace

int RunEntry(const QStringList& args, const EntryHooks& hooks) {
  const ProgramOptions options = ParseProgramOptions(args);
  if (!options.error.empty()) {
    ShowError(hooks, QString::fromStdString(options.error));
    return -1;
  }
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

  // One copy at a time; a lock left by a crashed copy does not count.
  QLockFile instance(LockPath());
  instance.setStaleLockTime(0);
  if (!instance.tryLock(0)) return 0;

  std::vector<std::string> problems;
  if (!session.OpenSettings(options, error, problems)) {
    ShowError(hooks, QString::fromStdString(error));
    return -1;
  }
  if (ownership && !session.CheckOwners(options, *ownership, error)) {
    ShowError(hooks, QString::fromStdString(error));
    return -1;
  }
  if (!problems.empty()) {
    QString text = QStringLiteral("Some settings could not be read and keep their defaults:\n");
    for (const std::string& p : problems) text += QString::fromStdString(p) + QLatin1Char('\n');
    ShowError(hooks, text);
  }

  const QSize screen = QGuiApplication::primaryScreen()->size();
  ui::DisplayCore core = session.Core(options, screen.width(), screen.height());
  core.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
  ui::TDisplay display(std::move(core));
  QObject::connect(&display, &ui::TDisplay::exitRequested, qApp, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  SleepWatcher sleep(QDBusConnection::systemBus());
  QObject::connect(&sleep, &SleepWatcher::suspending, &display, &ui::TDisplay::PowerSuspend);
  QObject::connect(&sleep, &SleepWatcher::resumed, &display, &ui::TDisplay::PowerResume);
  // A simulated board lives in real time: the demo's processor warms, its fan stalls.
  QElapsedTimer running;
  running.start();
  QTimer simClock;
  if (sim::SimBoard* board = session.board()) {
    QObject::connect(&simClock, &QTimer::timeout, [board, &running] {
      board->machine().clock().setMs(static_cast<uint64_t>(running.elapsed()));
    });
    simClock.start(kSimClockTickMs);
  }
  StopSignals stop;
  QObject::connect(&stop, &StopSignals::stopRequested, &display, &QWidget::close);
  // The start-up sequence runs once the event loop is running.
  QTimer::singleShot(0, &display, &ui::TDisplay::RunStartup);
  const int code = hooks.exec ? hooks.exec() : QApplication::exec();
  display.SaveAndCleanUp();
  return code;
}

int RunProgram(int argc, char** argv) {
  const EntryHooks hooks = GrantThenDrop(argc, argv);
  // Wayland does not let programs place their own windows.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
      !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kevatra"));
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(ui::ProgramIcon());
  QStringList args = QApplication::arguments();
  args.removeFirst();
  return RunEntry(args, hooks);
}

}  // namespace kev::app
