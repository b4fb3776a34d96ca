// The desktop program on a desktop of its own (tests/app/on_private_desktop.sh):
// the tray icon as the desktop sees it, sleep and resume from the mock login
// manager, and a screenshot of the window on the demo board.
#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/power_events.h"
#include "app/tray_watch.h"
#include "desktop_fixture.h"

using kev::test::CheckedSettings;
using kev::test::Desktop;

namespace {

QDBusMessage Login(const QString& interface, const QString& method) {
  return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"),
                                        QStringLiteral("/org/freedesktop/login1"), interface,
                                        method);
}

void EmitPrepareForSleep(bool start) {
  QDBusMessage m = Login(QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"));
  m << QStringLiteral("org.freedesktop.login1.Manager") << QStringLiteral("PrepareForSleep")
    << QStringLiteral("b") << QVariantList{QVariant::fromValue(QDBusVariant(start))};
  QVERIFY(QDBusConnection::systemBus().call(m).type() == QDBusMessage::ReplyMessage);
}

int SleepInhibitors() {
  const QDBusMessage reply = QDBusConnection::systemBus().call(
      Login(QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors")));
  if (reply.type() != QDBusMessage::ReplyMessage) return -1;
  const QDBusArgument arg = reply.arguments().value(0).value<QDBusArgument>();
  int count = 0;
  arg.beginArray();
  while (!arg.atEnd()) {
    QString what, who, why, mode;
    uint uid = 0, pid = 0;
    arg.beginStructure();
    arg >> what >> who >> why >> mode >> uid >> pid;
    arg.endStructure();
    if (what == QLatin1String("sleep") && who == QLatin1String("Kevatra") &&
        mode == QLatin1String("delay")) {
      ++count;
    }
  }
  arg.endArray();
  return count;
}

QString Gdbus(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral("gdbus"),
          QStringList{QStringLiteral("call"), QStringLiteral("--session")} + args);
  // Keep serving the bus meanwhile: the call may be for this very process.
  for (int i = 0; i < 250 && p.state() != QProcess::NotRunning; ++i) QTest::qWait(20);
  return QString::fromUtf8(p.readAllStandardOutput());
}

// The service our StatusNotifierItem registered with the watcher (the last one).
QString TrayService() {
  const QString calls =
      Gdbus({QStringLiteral("-d"), QStringLiteral("org.kde.StatusNotifierWatcher"),
             QStringLiteral("-o"), QStringLiteral("/StatusNotifierWatcher"), QStringLiteral("-m"),
             QStringLiteral("org.freedesktop.DBus.Mock.GetCalls")});
  static const QRegularExpression registered(
      QStringLiteral("RegisterStatusNotifierItem', \\[<'([^']+)'>"));
  QString last;
  for (auto it = registered.globalMatch(calls); it.hasNext();) last = it.next().captured(1);
  return last;
}

// A property of our StatusNotifierItem as the desktop's tray reads it.
QString TrayProperty(const QString& name) {
  const QString service = TrayService();
  if (service.isEmpty()) return {};
  return Gdbus({QStringLiteral("-d"), service, QStringLiteral("-o"),
                QStringLiteral("/StatusNotifierItem"), QStringLiteral("-m"),
                QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                QStringLiteral("org.kde.StatusNotifierItem"), name});
}

// A StatusNotifier host's click: Activate at the pointer.
QDBusPendingCall Activate(const QString& service) {
  QDBusMessage m = QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                                  QStringLiteral("org.kde.StatusNotifierItem"),
                                                  QStringLiteral("Activate"));
  m << 10 << 10;
  return QDBusConnection::sessionBus().asyncCall(m);
}

// A property of an X window as xprop prints it.
QString WindowProperty(QWidget* w, const char* name) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(
      QStringLiteral("xprop"),
      {QStringLiteral("-id"), QString::number(w->windowHandle()->winId()), QLatin1String(name)});
  p.waitForFinished(10000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

QString WatcherInterface() { return QStringLiteral("org.kde.StatusNotifierWatcher"); }

// A call to the mock StatusNotifierWatcher's own control interface.
QDBusMessage Watcher(const QString& method) {
  return QDBusMessage::createMethodCall(WatcherInterface(),
                                        QStringLiteral("/StatusNotifierWatcher"),
                                        QStringLiteral("org.freedesktop.DBus.Mock"), method);
}

QProcess* StartProgram(const QString& settings, QObject* owner) {
  auto* p = new QProcess(owner);
  p->start(QStringLiteral(KEV_KEVATRA_BIN), {QStringLiteral("--board"), QStringLiteral("demo"),
                                             QStringLiteral("--settings"), settings});
  return p;
}

}  // namespace

class BusDesktopTest : public QObject {
  Q_OBJECT
 private slots:
  void trayIconOnTheDesktop() {
    QVERIFY(QSystemTrayIcon::isSystemTrayAvailable());
    Desktop d(CheckedSettings());
    d.display().RunStartup();
    QVERIFY(!d.display().isVisible());  // a tray exists: the program starts in it
    QTRY_VERIFY(
        TrayProperty(QStringLiteral("ToolTip")).contains(QLatin1String(" Kevatra Ver.2.10 ")));
    QVERIFY(TrayProperty(QStringLiteral("IconPixmap")).size() > 100);
  }

  // Hosts send one Activate per click, two for a double click.
  void aStatusNotifierClickTogglesTheWindowOnce() {
    Desktop d(CheckedSettings());
    d.display().RunStartup();
    QString service;
    QTRY_VERIFY(!(service = TrayService()).isEmpty());
    QDBusPendingCall first = Activate(service), second = Activate(service);
    first.waitForFinished();
    second.waitForFinished();
    QTRY_VERIFY(d.display().isVisible());
    QTest::qWait(100);
    QVERIFY(d.display().isVisible());
  }

  // The host leaving and coming back is followed from the bus's signals
  // (Xvfb has no X11 tray to fall back on).
  void theTrayWatchFollowsAStatusNotifierHost() {
    kev::app::TrayWatch tray(QDBusConnection::sessionBus());
    QVERIFY(tray.Available());
    QSignalSpy changed(&tray, &kev::app::TrayWatch::changed);
    for (const bool host : {false, true}) {
      QDBusMessage update = Watcher(QStringLiteral("UpdateProperties"));
      update << WatcherInterface()
             << QVariantMap{{QStringLiteral("IsStatusNotifierHostRegistered"), host}};
      QCOMPARE(QDBusConnection::sessionBus().call(update).type(), QDBusMessage::ReplyMessage);
      QDBusMessage emitted = Watcher(QStringLiteral("EmitSignal"));
      emitted << WatcherInterface()
              << (host ? QStringLiteral("StatusNotifierHostRegistered")
                       : QStringLiteral("StatusNotifierHostUnregistered"))
              << QString() << QVariantList{};
      QCOMPARE(QDBusConnection::sessionBus().call(emitted).type(), QDBusMessage::ReplyMessage);
      QTRY_VERIFY(!changed.isEmpty());
      changed.clear();
      QCOMPARE(tray.Available(), host);
    }
  }

  void noTaskbarEntryAndDialogsWithoutMinimiseOrMaximise() {
    Desktop d(CheckedSettings());
    d.display().RunStartup();
    d.display().OpenWindow(false);
    QVERIFY(QTest::qWaitForWindowExposed(&d.display()));
    const QString state = WindowProperty(&d.display(), "_NET_WM_STATE");
    QVERIFY2(state.contains(QLatin1String("_NET_WM_STATE_SKIP_TASKBAR")) &&
                 state.contains(QLatin1String("_NET_WM_STATE_SKIP_PAGER")),
             qPrintable(state));
    QString hints;
    kev::test::OnNextModal([&](QWidget* about) {
      hints = WindowProperty(about, "_MOTIF_WM_HINTS");
      qobject_cast<QDialog*>(about)->accept();
    });
    d.find<QAction>("miAbout")->trigger();
    // Functions given, and moving is the only one.
    QVERIFY2(hints.contains(QLatin1String("= 0x3, 0x4,")), qPrintable(hints));
  }

  // Real processes: the second start ends and the first one's window opens
  // (saved as open when it stops).
  void aSecondStartOpensTheRunningWindow() {
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("r.reg"));
    {
      kev::HiveFileRegistry hive(settings.toStdString());
      QVERIFY(kev::SaveSettings(hive, CheckedSettings()));  // window closed
    }
    QProcess* first = StartProgram(settings, this);
    QTRY_VERIFY_WITH_TIMEOUT(
        QFile::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/Kevatra.socket")),
        10000);
    QProcess* second = StartProgram(settings, this);
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitCode(), 0);
    QTest::qWait(500);
    first->terminate();
    QVERIFY(first->waitForFinished(10000));
    QFile saved(settings);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().contains("\"MonitorWindowMode\"=dword:00000001"));
  }

  void sleepStopsSamplingAndResumeSetsTheChipUpAgain() {
    kev::MonitorSettings s = CheckedSettings();
    s.IntervalTime = 60000;  // no tick of its own during the test
    Desktop d(s);
    kev::app::SleepWatcher sleep(QDBusConnection::systemBus());
    QObject::connect(&sleep, &kev::app::SleepWatcher::suspending, &d.display(),
                     &kev::ui::TDisplay::PowerSuspend);
    QObject::connect(&sleep, &kev::app::SleepWatcher::resumed, &d.display(),
                     &kev::ui::TDisplay::PowerResume);
    d.display().RunStartup();
    auto* timer = d.find<QTimer>("Timer1");
    QTRY_COMPARE(SleepInhibitors(), 1);
    QVERIFY(timer->isActive());

    EmitPrepareForSleep(true);
    QTRY_VERIFY(!timer->isActive());
    QTRY_COMPARE(SleepInhibitors(), 0);  // the machine may sleep now

    const uint64_t before = d.session().board()->machine().accessCount();
    EmitPrepareForSleep(false);
    QTRY_VERIFY(timer->isActive());
    QVERIFY(d.session().board()->machine().accessCount() > before);  // chip set up again
    QTRY_COMPARE(SleepInhibitors(), 1);
  }

  void resumeWithoutPortAccessSavesAndEnds() {
    Desktop d(CheckedSettings(), "demo",
              [](kev::ui::DisplayCore& c) { c.portAccess = [] { return false; }; });
    kev::app::SleepWatcher sleep(QDBusConnection::systemBus());
    QObject::connect(&sleep, &kev::app::SleepWatcher::resumed, &d.display(),
                     &kev::ui::TDisplay::PowerResume);
    d.display().RunStartup();
    QSignalSpy exits(&d.display(), &kev::ui::TDisplay::exitRequested);
    d.settings().IntervalTime = 4321;
    EmitPrepareForSleep(false);
    QTRY_COMPARE(exits.count(), 1);
    QFile saved(QString::fromStdString(d.settingsPath()));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().contains("\"IntervalTime\"=dword:000010e1"));
  }

  void screenshotShowsTheReadings() {
    kev::MonitorSettings s = CheckedSettings();
    s.MonitorWindowMode = true;
    s.xPosition = 40;
    s.yPosition = 30;
    Desktop d(s);
    d.display().RunStartup();
    QVERIFY(QTest::qWaitForWindowExposed(&d.display()));
    QTest::qWait(200);
    const QImage shot = d.display().screen()->grabWindow(0, 40, 30, 257, 357).toImage();
    const QString out = qEnvironmentVariable("KEV_SCREENSHOT_DIR");
    if (!out.isEmpty()) shot.save(out + QStringLiteral("/monitor-window.png"));
    for (int ch = 1; ch <= kev::kChannelCount; ++ch) {
      auto* panel = d.find<QLabel>(QStringLiteral("Panel%1").arg(ch).toLatin1().constData());
      QVERIFY2(!panel->text().isEmpty() && panel->text() != QLatin1String("N/A"),
               qPrintable(panel->text()));
      // Dark text pixels inside the panel, where the screen shows it.
      const QRect r = panel->geometry().translated(3, 3).adjusted(3, 3, -3, -3);
      int dark = 0;
      for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) dark += qGray(shot.pixel(x, y)) < 96 ? 1 : 0;
      }
      QVERIFY2(dark > 10, qPrintable(QStringLiteral("Panel%1 looks blank").arg(ch)));
    }
  }
};

QTEST_MAIN(BusDesktopTest)
#include "bus_desktop.moc"
