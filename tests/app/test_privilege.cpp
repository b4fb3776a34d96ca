// Giving up privilege in the desktop program: a drop that failed ends the
// run before any window; started by root, the program holds no capability
// in any thread once it runs, since it gave them up before its window
// system started threads of its own.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/entry.h"
#include "held_capabilities.h"

class PrivilegeTest : public QObject {
  Q_OBJECT
 private slots:
  void aPrivilegeNotGivenUpEndsBeforeAnyWindow() {
    QString shown;
    kev::app::EntryHooks hooks;
    hooks.privileges.problem = "cannot give up privileges: test";
    hooks.showError = [&](const QString& text) { shown = text; };
    hooks.exec = [] { return 0; };
    QCOMPARE(kev::app::RunEntry({QStringLiteral("--board"), QStringLiteral("demo")}, hooks), -1);
    QCOMPARE(shown, QStringLiteral("cannot give up privileges: test"));
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
  }

  void noThreadHoldsACapabilityOnceItRuns() {
    const uint64_t own = kev::test::OwnCapabilities();
    if (own == 0) QSKIP("this process holds no capability to hand on");
    QTemporaryDir dir;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KEV_KEVATRA_BIN), {QStringLiteral("--board"), QStringLiteral("demo")});
    QVERIFY(p.waitForStarted());
    QVERIFY(!p.waitForFinished(1500));  // running, past its start-up
    const std::string held = kev::test::HeldCapabilities(static_cast<pid_t>(p.processId()),
                                                         (own & kev::test::kSetPcapBit) != 0);
    p.terminate();
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(QString::fromStdString(held), QString());
  }
};

QTEST_MAIN(PrivilegeTest)
#include "test_privilege.moc"
