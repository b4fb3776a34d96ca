// The information window, opened from the popup menu on simulated boards.
#include <QAction>
#include <QClipboard>
#include <QGroupBox>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <sstream>

#include "cli/cli.h"
#include "desktop_fixture.h"
#include "sim/machine.h"
#include "ui/info.h"

using kev::test::CheckedSettings;
using kev::test::Desktop;
using kev::ui::TInfo;

namespace {

// Opens "Info" from the menu and runs check on the window; the window is
// closed when check returns, if check has not closed it.
void WithInfo(Desktop& d, const std::function<void(TInfo&)>& check) {
  QTimer::singleShot(0, [&] {
    auto* info = qobject_cast<TInfo*>(QApplication::activeModalWidget());
    QVERIFY(info != nullptr);
    QVERIFY(!d.find<QAction>("miInfo")->isEnabled());
    check(*info);
    if (info->isVisible()) info->reject();
  });
  QVERIFY(d.find<QAction>("miInfo")->isEnabled());
  d.find<QAction>("miInfo")->trigger();
  QVERIFY(d.find<QAction>("miInfo")->isEnabled());
}

QString Text(TInfo& info, int label) {
  return info.findChild<QLabel*>(QStringLiteral("Label%1").arg(label))->text();
}

QPushButton* Button(TInfo& info, const char* name) {
  return info.findChild<QPushButton*>(QLatin1String(name));
}

// What kevatra-cli profile prints for the same board and settings file.
QString CliProfile(Desktop& d, const char* board) {
  std::ostringstream out, err;
  const int code =
      kev::cli::RunCli({"profile", "--board", board, "--settings", d.settingsPath()}, out, err);
  if (code != 0) qFatal("kevatra-cli profile failed: %s", err.str().c_str());
  return QString::fromStdString(out.str());
}

}  // namespace

class InfoTest : public QObject {
  Q_OBJECT
 private slots:
  void listsTheKernelDriversItWasStartedBeside() {
    kev::sim::SimMachine machine;
    kev::MonitorSettings settings;
    kev::DetectState detect;
    const kev::HardwareOwner owner{"w83627hf", "hwmon1 on w83627hf.656",
                                   "a monitoring chip (w83627hf)", "modprobe -r w83627hf", ""};
    TInfo info(nullptr, {&machine, &settings, &detect, {}, {owner}});
    info.show();
    auto* owners = info.findChild<QLabel*>(QStringLiteral("OwnersLabel"));
    QVERIFY(owners != nullptr);
    QVERIFY(owners->text().contains(QString::fromStdString(kev::OwnerLine(owner))));
    // The buttons sit below the list, inside the grown window.
    QVERIFY(Button(info, "Button2")->y() > owners->geometry().bottom());
    QVERIFY(Button(info, "Button2")->geometry().bottom() < info.height());
    info.reject();
  }

  void withPmSwitchedOffShowsStarsAndEscAbandonsTheProfile() {
    Desktop d(CheckedSettings(), "sis630-pm-off-it8705f");
    d.display().RunStartup();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    WithInfo(d, [&](TInfo& info) {
      QCOMPARE(info.windowTitle(), QStringLiteral("Info"));
      QCOMPARE(info.size(), QSize(404, 294));
      QCOMPARE(info.findChild<QGroupBox*>(QStringLiteral("GroupBox1"))->title(),
               QStringLiteral(" Hardware Monitoring Profile "));
      // Caption and value of each line (the doubled blanks are the window's own).
      const char* const lines[][2] = {
          {"PM Device Chip", "SiS 630"},  // its SMBus is switched off
          {"PM Device Number", "*****"},    {"PM Function Number", "*****"},
          {"SMBus Base Address", "*****"},  {"Hardware Monitoring Chip", "ITE IT8705F"},
          {"SMBus  1st  Address", "*****"}, {"SMBus  2nd Address", "*****"},
          {"SMBus  3rd  Address", "*****"},
      };
      for (int i = 0; i < 8; ++i) {
        QCOMPARE(Text(info, 2 * i + 1), QLatin1String(lines[i][0]));
        QCOMPARE(Text(info, 2 * i + 2), QLatin1String(lines[i][1]));
      }
      QCOMPARE(info.findChild<QLabel*>("Label4")->font().family(), QStringLiteral("Courier New"));
      QCOMPARE(info.findChild<QLabel*>("Label10")->font().family(),
               QStringLiteral("Times New Roman"));

      const QImage shot = info.grab().toImage();
      QSet<QRgb> colours;
      for (int y = 0; y < shot.height(); y += 2) {
        for (int x = 0; x < shot.width(); x += 2) colours.insert(shot.pixel(x, y));
      }
      QVERIFY2(colours.size() > 3, "the window renders blank");

      QTest::mouseClick(Button(info, "Button1"), Qt::LeftButton);
      QVERIFY(info.building());
      QTest::keyClick(&info, Qt::Key_Escape);
      QVERIFY(!info.isVisible());
    });
    QTest::qWait(50);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
  }

  // Sampling goes on while the profile is built, between its port
  // transactions only: the text is the one kevatra-cli builds with no timer.
  void clipPutsTheCliProfileWhileSamplingGoesOn() {
    const char* board = "amd761-amd766-w83782d";
    Desktop d(CheckedSettings(), board);
    d.display().RunStartup();
    auto* timer1 = d.find<QTimer>("Timer1");
    timer1->start(1);
    QSignalSpy ticks(timer1, &QTimer::timeout);
    WithInfo(d, [&](TInfo& info) {
      QCOMPARE(Text(info, 10), QStringLiteral("Winbond W83782D"));
      QCOMPARE(Text(info, 12), QStringLiteral("2Dh"));
      QCOMPARE(Text(info, 14), QStringLiteral("49h"));
      QCOMPARE(Text(info, 16), QStringLiteral("48h"));
      QPushButton* clip = Button(info, "Button1");
      QPushButton* ok = Button(info, "Button2");
      QTest::mouseClick(clip, Qt::LeftButton);
      QVERIFY(!clip->isEnabled() && !ok->isEnabled());
      const qsizetype before = ticks.count();
      QTRY_VERIFY_WITH_TIMEOUT(clip->isEnabled(), 30000);
      QVERIFY(ok->isEnabled());
      QVERIFY(ticks.count() > before);
      QTest::keyClick(&info, Qt::Key_Return);  // Ok is the default button
      QVERIFY(!info.isVisible());
    });
    timer1->stop();
    QCOMPARE(QGuiApplication::clipboard()->text(), CliProfile(d, board));
  }
};

QTEST_MAIN(InfoTest)
#include "test_info.moc"
