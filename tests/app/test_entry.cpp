// The program entry: the port-access question, the hidden window with its
// one-time start-up, and one copy at a time across real processes.
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "app/desktop_session.h"
#include "app/entry.h"
#include "app/single_instance.h"
#include "detect/ownership_fixture.h"
#include "hw/lent_ports.h"
#include "sim/machine.h"
#include "ui/display.h"

namespace {

// Real ports as a kernel without permission answers them.
class RefusingPorts : public kev::PortIo {
 public:
  uint8_t inb(uint16_t) override { return 0xFF; }
  uint16_t inw(uint16_t) override { return 0xFFFF; }
  uint32_t inl(uint16_t) override { return 0xFFFFFFFF; }
  void outb(uint16_t, uint8_t) override { ++writes; }
  void outw(uint16_t, uint16_t) override { ++writes; }
  void outl(uint16_t, uint32_t) override { ++writes; }
  bool requestAccess() override { return false; }
  std::string refusalReason() const override {
    return "Port access refused: run as root or with CAP_SYS_RAWIO.";
  }
  int writes = 0;
};

kev::ui::TDisplay* TheDisplay() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* d = qobject_cast<kev::ui::TDisplay*>(w)) return d;
  }
  return nullptr;
}

QProcess* StartProgram(const QTemporaryDir& dir, QObject* owner, const QStringList& more = {}) {
  auto* p = new QProcess(owner);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
  p->setProcessEnvironment(env);
  p->setWorkingDirectory(dir.path());
  p->start(QStringLiteral(KEV_KEVATRA_BIN),
           QStringList{QStringLiteral("--board"), QStringLiteral("demo")} + more);
  return p;
}

}  // namespace

class EntryTest : public QObject {
  Q_OBJECT
 private slots:
  void refusedPortAccessEndsBeforeAnyWindow() {
    QString shown;
    auto* ports = new RefusingPorts;
    kev::app::EntryHooks hooks;
    hooks.openRealPorts = [ports] { return std::unique_ptr<kev::PortIo>(ports); };
    hooks.showError = [&](const QString& text) { shown = text; };
    hooks.exec = [] { return 0; };
    QCOMPARE(kev::app::RunEntry({QStringLiteral("/asms1")}, hooks), -1);
    QVERIFY(shown.contains(QLatin1String("CAP_SYS_RAWIO")));
    QVERIFY(TheDisplay() == nullptr);
  }

  void kernelDriverOnTheHardwareRefusesUntilForced() {
    QTemporaryDir dir;
    kev::test::OwnershipTree tree;
    tree.AddPiix4();
    tree.BindPci("07.3", "piix4_smbus", "i2c_piix4");
    kev::sim::SimMachine machine;
    QString shown;
    kev::app::EntryHooks hooks;
    hooks.roots = tree.roots();
    hooks.openRealPorts = [&machine] { return std::make_unique<kev::test::LentPorts>(machine); };
    hooks.showError = [&](const QString& text) { shown = text; };
    hooks.exec = [] { return TheDisplay() != nullptr ? 0 : 1; };
    const QStringList args{QStringLiteral("--settings"), dir.filePath(QStringLiteral("r.reg"))};
    QCOMPARE(kev::app::RunEntry(args, hooks), -1);
    QVERIFY2(shown.contains(QLatin1String(
                 "piix4_smbus owns PCI 0000:00:07.3 (intel 82371AB (PIIX4)) (the SMBus host and "
                 "PM device): free it with \"modprobe -r i2c-piix4\"")),
             qPrintable(shown));
    QCOMPARE(machine.accessCount(), uint64_t{0});
    QVERIFY(TheDisplay() == nullptr);

    shown.clear();
    QCOMPARE(kev::app::RunEntry(args + QStringList{QStringLiteral("--force")}, hooks), 0);
    QVERIFY(shown.isEmpty());
  }

  void startupRunsOnceTheLoopRuns() {
    QTemporaryDir dir;
    kev::app::EntryHooks hooks;
    hooks.exec = [] {
      kev::ui::TDisplay* d = TheDisplay();
      if (d == nullptr || d->startupDone()) return 1;
      for (int i = 0; i < 100 && !d->startupDone(); ++i) QTest::qWait(50);
      if (!d->startupDone()) return 2;
      // Offscreen there is no tray, so the window opens to stay reachable.
      return d->isVisible() ? 0 : 3;
    };
    const QStringList args{QStringLiteral("--board"), QStringLiteral("demo"),
                           QStringLiteral("--settings"), dir.filePath(QStringLiteral("r.reg"))};
    QCOMPARE(kev::app::RunEntry(args, hooks), 0);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("r.reg"))));  // saved at the end
  }

  // A running copy that never answers, its queue full: a later start gives
  // up within its time instead of hanging.
  void aHungCopyIsNotWaitedFor() {
    QTemporaryDir dir;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = dir.filePath(QStringLiteral("Kevatra.socket")).toLocal8Bit();
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()) + 1);
    const auto* a = reinterpret_cast<const sockaddr*>(&address);
    std::vector<int> fds{socket(AF_UNIX, SOCK_STREAM, 0)};
    QVERIFY(bind(fds[0], a, sizeof address) == 0 && listen(fds[0], 0) == 0);
    for (int i = 0; i < 4; ++i) {
      fds.push_back(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
      (void)::connect(fds.back(), a, sizeof address);
    }
    kev::app::SingleInstance later(dir.path());
    QElapsedTimer waited;
    waited.start();
    QVERIFY(!later.HandOver(300));
    QVERIFY(waited.elapsed() < 3000);
    for (const int fd : fds) close(fd);
  }

  void oneCopyAtATimeAStaleLockDoesNotBlockAndTermSaves() {
    QTemporaryDir dir;
    QProcess* first = StartProgram(dir, this);
    QVERIFY(first->waitForStarted());
    QVERIFY(!first->waitForFinished(1500));  // running
    QProcess* second = StartProgram(dir, this);
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitCode(), 0);
    first->kill();  // a crash leaves the lock behind
    QVERIFY(first->waitForFinished(5000));
    QProcess* third = StartProgram(dir, this);
    QVERIFY(!third->waitForFinished(1500));
    // SIGTERM ends it like "Exit": settings saved, exit code 0.
    third->terminate();
    QVERIFY(third->waitForFinished(10000));
    QCOMPARE(third->exitStatus(), QProcess::NormalExit);
    QCOMPARE(third->exitCode(), 0);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("config/Kevatra/registry.reg"))));
  }

  // The settings folder turned into a file while the program ran: the stop
  // still ends it, and the failed save is on standard error.
  void stopNeverWaitsOnAFailedSave() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("settings")));
    QProcess* p =
        StartProgram(dir, this, {QStringLiteral("--settings"), dir.filePath("settings/r.reg")});
    QVERIFY(!p->waitForFinished(1500));
    QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("settings")));
    QFile blocker(dir.filePath(QStringLiteral("settings")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    p->terminate();
    QVERIFY(p->waitForFinished(10000));
    QCOMPARE(p->exitCode(), 0);
    QVERIFY(p->readAllStandardError().contains("The settings could not be saved"));
  }

  void helpWithoutADisplayAndTheDocumentationFoundAtRunTime() {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
      env.remove(QLatin1String(name));
    }
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KEV_KEVATRA_BIN), {QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(p.readAllStandardOutput().startsWith("Usage: kevatra"));

    // From the build tree, the sources' documentation.
    const QString built = kev::app::DocumentationAddress(QFileInfo(KEV_KEVATRA_BIN).path());
    QCOMPARE(QUrl(built).toLocalFile(), QStringLiteral(KEV_SOURCE_DIR "/docs/index.md"));
    // Installed under any prefix, the documentation folder beside bin/.
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("share/doc/Kevatra")));
    QFile index(prefix.filePath(QStringLiteral("share/doc/Kevatra/index.md")));
    QVERIFY(index.open(QIODevice::WriteOnly));
    QCOMPARE(kev::app::DocumentationAddress(prefix.filePath(QStringLiteral("bin"))),
             QUrl::fromLocalFile(index.fileName()).toString());
  }
};

QTEST_MAIN(EntryTest)
#include "test_entry.moc"
