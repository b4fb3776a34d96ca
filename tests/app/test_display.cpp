// The monitor window on the demo board, driven through its widgets.
#include <QtTest/qtestspontaneevent.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtTest>

#include "desktop_fixture.h"

using kev::test::CheckedSettings;
using kev::test::Desktop;
using kev::test::OnNextModal;

namespace {

// Records power requests instead of making them.
class FakePower : public kev::SystemPower {
 public:
  bool MayRequest(kev::PowerAction) override { return true; }
  bool Request(kev::PowerAction a) override {
    requests.push_back(a);
    return true;
  }
  std::vector<kev::PowerAction> requests;
};

// The next check box after w in keyboard tab order.
QWidget* NextTabStop(QWidget* w) {
  do {
    w = w->nextInFocusChain();
  } while ((w->focusPolicy() & Qt::TabFocus) == 0);
  return w;
}

uint64_t Accesses(Desktop& d) { return d.session().board()->machine().accessCount(); }

// Alt+F4 or a taskbar's Close: the window manager asks the window to close.
void WindowManagerClose(QWidget* w) {
  QCloseEvent close;
  QSpontaneKeyEvent::setSpontaneous(&close);
  qApp->notify(w, &close);  // sendEvent would drop the spontaneous mark
}

void TrayReports(Desktop& d, QSystemTrayIcon::ActivationReason r) {
  emit d.display().trayIcon()->activated(r);
}

}  // namespace

class DisplayTest : public QObject {
  Q_OBJECT
 private slots:
  void startsHiddenSamplesAndStartsOnce() {
    Desktop d(CheckedSettings());
    d.display().RunStartup();
    QVERIFY(!d.display().isVisible());
    QCOMPARE(d.display().trayImage(), 1);
    QVERIFY(d.panel(1).endsWith(QLatin1String("RPM")));
    QVERIFY(d.panel(4).contains(QLatin1String("C / ")));
    QVERIFY(d.find<QWidget>("SpeedButton2Bar")->isHidden());
    QCOMPARE(d.find<QTimer>("Timer1")->interval(), 1000);
    const uint64_t before = Accesses(d);
    d.display().RunStartup();
    QCOMPARE(Accesses(d), before);
  }

  // Privilege given to a user who is not root: a stored port on a serial
  // port is not used, and the user is told while the monitor runs on.
  void restrictedStoredPortIsRefusedWithAWarning() {
    kev::MonitorSettings s = CheckedSettings();
    s.MainChipPortAddress = 0x3F8;
    Desktop d(s, "demo", [](kev::ui::DisplayCore& c) { c.detect->SettingsPortRestricted = true; });
    d.display().RunStartup();
    QVERIFY(d.find<QMessageBox>("PortRefusal")->text().contains(QLatin1String("3F8h")));
    QCOMPARE(d.settings().MainChipPortAddress, 0x290);
    QVERIFY(d.panel(1).endsWith(QLatin1String("RPM")));
  }

  void opensWhenItWasOpenAndRefreshesOnDemand() {
    kev::MonitorSettings s = CheckedSettings();
    s.MonitorWindowMode = true;
    s.IntervalTime = 0;
    Desktop d(s);
    d.display().RunStartup();
    QVERIFY(d.display().isVisible());
    QCOMPARE(d.display().trayImage(), 2);
    QVERIFY(!d.find<QWidget>("SpeedButton2Bar")->isHidden());
    QVERIFY(!d.find<QTimer>("Timer1")->isActive());
    QVERIFY(!d.find<QAction>("miOpen")->isEnabled());
    QVERIFY(d.find<QAction>("miClose")->isEnabled());
    const uint64_t before = Accesses(d);
    QTest::mouseClick(d.find<QWidget>("SpeedButton2"), Qt::LeftButton);
    QVERIFY(Accesses(d) > before);
    QTest::mouseClick(d.find<QWidget>("SpeedButton1"), Qt::LeftButton);
    QVERIFY(!d.display().isVisible());
    QVERIFY(!d.settings().MonitorWindowMode);
    QVERIFY(d.find<QAction>("miOpen")->isEnabled());
  }

  void rowGesturesWithTheMouse() {
    kev::MonitorSettings s = CheckedSettings();
    s.CheckBoxFan2 = false;
    Desktop d(s);
    d.display().RunStartup();
    d.display().OpenWindow(false);
    const auto shiftRight = [&](const char* name) {
      QTest::mouseClick(d.find<QWidget>(name), Qt::RightButton, Qt::ShiftModifier);
    };
    // Swap fans 2 and 3: the first press marks, the second swaps.
    shiftRight("Panel2");
    QCOMPARE(d.find<QWidget>("Panel1")->cursor().shape(), Qt::DragMoveCursor);
    shiftRight("Panel3");
    QCOMPARE(d.settings().Fan2PositionIndex, 2);
    QCOMPARE(d.settings().Fan3PositionIndex, 1);
    QCOMPARE(d.find<QWidget>("CheckBox2")->y(), 53);
    QCOMPARE(d.find<QWidget>("Panel3")->y(), 34);
    QCOMPARE(d.find<QWidget>("Panel1")->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(NextTabStop(d.find<QWidget>("CheckBox3")), d.find<QWidget>("CheckBox2"));
    // Thirteen caption steps come back to the row's own caption.
    for (int i = 0; i < 13; ++i) shiftRight("CheckBox1");
    QCOMPARE(d.find<QCheckBox>("CheckBox1")->text(), QStringLiteral("      Fan 1        "));
    // The unchecked fan 2 hides at the blank caption; Ctrl + double click brings it back.
    shiftRight("CheckBox2");
    QVERIFY(!d.find<QWidget>("CheckBox2")->isEnabled());
    QTest::mouseDClick(d.find<QWidget>("Panel2"), Qt::LeftButton, Qt::ControlModifier);
    QVERIFY(d.find<QWidget>("CheckBox2")->isEnabled());
    QCOMPARE(d.find<QCheckBox>("CheckBox2")->text(), QStringLiteral("      Fan 2        "));
  }

  void menuOnlyFromTheDragStrip() {
    Desktop d(CheckedSettings());
    d.display().RunStartup();
    d.display().OpenWindow(false);
    QWidget* client = d.find<QWidget>("Client");
    QTest::mouseClick(client, Qt::RightButton, {}, QPoint(150, 80));  // between two groups
    QVERIFY(!d.display().popupMenu()->isVisible());
    QTest::mouseClick(client, Qt::RightButton, {}, QPoint(236, 120));  // right of 227
    QTRY_VERIFY(d.display().popupMenu()->isVisible());
    d.display().popupMenu()->close();
  }

  void withoutATrayTheWindowMinimisesAndFollowsATrayThatComes() {
    bool tray = false;
    Desktop d(CheckedSettings(), "demo",
              [&](kev::ui::DisplayCore& c) { c.trayAvailable = [&tray] { return tray; }; });
    QSignalSpy exits(&d.display(), &kev::ui::TDisplay::exitRequested);
    d.display().RunStartup();
    QVERIFY(d.display().isVisible());
    QCOMPARE(d.display().windowType(), Qt::Window);  // a taskbar entry to come back by
    QTest::mouseClick(d.find<QWidget>("SpeedButton1"), Qt::LeftButton);
    QVERIFY(d.display().WindowMinimized());
    d.display().OpenWindow(false);
    QVERIFY(!d.display().WindowMinimized());
    WindowManagerClose(&d.display());
    QVERIFY(d.display().WindowMinimized());

    tray = true;  // a tray appears: the minimised window goes into it
    d.display().CheckTray();
    QVERIFY(!d.display().isVisible());
    QCOMPARE(d.display().windowType(), Qt::Tool);
    d.display().OpenWindow(false);
    WindowManagerClose(&d.display());
    QVERIFY(!d.display().isVisible());
    QVERIFY(!d.settings().MonitorWindowMode);

    tray = false;  // and goes: the window is the only way in again
    d.display().CheckTray();
    QVERIFY(d.display().isVisible());
    QCOMPARE(exits.count(), 0);
  }

  // X11 trays report a click and then a double click; StatusNotifier hosts
  // a click per press. Either way one click or one double click toggles once.
  void oneTrayClickTogglesOnEveryTray() {
    Desktop d(CheckedSettings());
    d.display().RunStartup();
    QCOMPARE(d.display().trayIcon()->contextMenu(), d.display().popupMenu());
    TrayReports(d, QSystemTrayIcon::Trigger);
    QVERIFY(d.display().isVisible());
    TrayReports(d, QSystemTrayIcon::DoubleClick);
    QVERIFY(d.display().isVisible());
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    TrayReports(d, QSystemTrayIcon::Trigger);
    QVERIFY(!d.display().isVisible());
    TrayReports(d, QSystemTrayIcon::Trigger);
    QVERIFY(!d.display().isVisible());
  }

  // Any window outside the monitor window (such as the X11 tray icon's)
  // takes clicks while a dialog is open.
  void theTrayAnswersWhileADialogIsOpen() {
    Desktop d(CheckedSettings());
    d.display().RunStartup();
    QPushButton outside(QStringLiteral("tray"));
    outside.show();
    QVERIFY(QTest::qWaitForWindowExposed(&outside));
    QSignalSpy clicks(&outside, &QPushButton::clicked);
    bool checked = false;
    OnNextModal([&](QWidget* about) {
      QTest::mouseClick(outside.windowHandle(), Qt::LeftButton, {}, outside.rect().center());
      QCOMPARE(clicks.count(), 1);
      QVERIFY(!d.find<QAction>("miAbout")->isEnabled());
      TrayReports(d, QSystemTrayIcon::Trigger);
      QVERIFY(d.display().isVisible());
      QVERIFY(!d.find<QAction>("miOpen")->isEnabled());
      checked = true;
      qobject_cast<QDialog*>(about)->accept();
    });
    d.find<QAction>("miAbout")->trigger();
    QVERIFY(checked);
  }

  void aSimulatedBoardsTimeMovesWithTheTimer() {
    kev::MonitorSettings s = CheckedSettings();
    s.IntervalTime = 20;
    Desktop d(s);
    d.display().RunStartup();
    const kev::sim::SimClock& clock = d.session().board()->machine().clock();
    const uint64_t start = clock.nowMs();
    QTRY_VERIFY(clock.nowMs() >= start + 200);
    QCOMPARE(clock.nowMs() % 20, start % 20);  // whole intervals
  }

  void alarmImageFollowsTheSamples() {
    kev::MonitorSettings s = CheckedSettings();
    s.Fan1Limit = 1;  // every count is at or above it
    s.IntervalTime = 100;
    Desktop d(s);
    d.display().RunStartup();
    QCOMPARE(d.display().trayImage(), 3);
    // Opening shows the no-alarm image until the next sample finds the error again.
    d.display().TrayDoubleClick();
    QCOMPARE(d.display().trayImage(), 2);
    QTRY_COMPARE(d.display().trayImage(), 4);
    d.display().TrayDoubleClick();
    QCOMPARE(d.display().trayImage(), 1);
    QVERIFY(!d.display().isVisible());
  }

  void countDownFromAFanError() {
    kev::MonitorSettings s = CheckedSettings();
    s.Fan1CaptionIndex = 10;
    s.Fan2PositionIndex = 2;
    s.Fan3PositionIndex = 1;
    s.Fan1Limit = 1;
    s.IntervalTime = 50;
    s.ErrAct3Switch = true;
    s.HoldErrAct3 = true;
    FakePower power;
    Desktop d(s, "demo", [&](kev::ui::DisplayCore& c) { c.power = &power; });
    uint64_t atOpen = 0;
    OnNextModal([&](QWidget* modal) {
      QCOMPARE(modal->windowTitle(), QStringLiteral("Count Down"));
      // The first sample alarms: the window behind already reads as the user set it.
      QCOMPARE(d.find<QCheckBox>("CheckBox1")->text(), QStringLiteral("      CPU         "));
      QCOMPARE(d.find<QWidget>("CheckBox2")->y(), 53);
      atOpen = Accesses(d);
      // Sampling goes on under the count-down.
      QTRY_VERIFY(Accesses(d) > atOpen);
      qobject_cast<QDialog*>(modal)->reject();
    });
    d.display().RunStartup();
    QVERIFY(atOpen > 0);
    QVERIFY(!d.settings().ErrAct3Switch);
    QVERIFY(!d.settings().HoldErrAct3);
    QVERIFY(power.requests.empty());

    d.settings().ErrAct3Switch = true;
    OnNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->accept(); });
    QTRY_COMPARE(power.requests.size(), size_t{1});
    QCOMPARE(power.requests.front(), kev::PowerAction::PowerOff);
  }

  void aboutBesideTheWindowAndBelowTopmost() {
    kev::MonitorSettings s = CheckedSettings();
    s.AlwaysOnTop = true;
    s.xPosition = 100;
    s.yPosition = 80;
    Desktop d(s);
    d.display().RunStartup();
    d.display().OpenWindow(false);
    QVERIFY(d.display().topmost());
    bool checked = false;
    OnNextModal([&](QWidget* about) {
      QVERIFY(!d.find<QAction>("miAbout")->isEnabled());
      QVERIFY(!d.display().topmost());
      QCOMPARE(about->pos(), QPoint(100, 80));
      checked = true;
      qobject_cast<QDialog*>(about)->accept();
    });
    d.find<QAction>("miAbout")->trigger();
    QVERIFY(checked);
    QVERIFY(d.find<QAction>("miAbout")->isEnabled());
    QVERIFY(d.display().topmost());
  }

  void failedSaveIsShownAndTheExitGoesOn() {
    kev::MonitorSettings s = CheckedSettings();
    s.TransparencyPercentage = 50;
    Desktop d(s, "demo", [](kev::ui::DisplayCore& c) {
      c.save = [] { return kev::SaveResult::Failed("disk full"); };
    });
    d.display().RunStartup();
    QCOMPARE(qRound(d.display().windowOpacity() * 255), 128);
    QSignalSpy exits(&d.display(), &kev::ui::TDisplay::exitRequested);
    OnNextModal([](QWidget* box) {
      auto* message = qobject_cast<QMessageBox*>(box);
      QVERIFY(message != nullptr);
      QVERIFY(message->text().contains(QLatin1String("disk full")));
      message->accept();
    });
    d.find<QAction>("miExit")->trigger();
    QCOMPARE(exits.count(), 1);
    QVERIFY(!d.display().trayIcon()->isVisible());
    QCOMPARE(d.display().windowOpacity(), 1.0);
  }

  void stopReportsAFailedSaveWithoutADialog() {
    std::string reported;
    Desktop d(CheckedSettings(), "demo", [&](kev::ui::DisplayCore& c) {
      c.save = [] { return kev::SaveResult::Failed("disk full"); };
      c.reportProblem = [&](const std::string& text) { reported = text; };
    });
    d.display().RunStartup();
    QSignalSpy exits(&d.display(), &kev::ui::TDisplay::exitRequested);
    d.display().Stop();
    QCOMPARE(exits.count(), 1);
    QVERIFY(reported.find("disk full") != std::string::npos);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }
};

QTEST_MAIN(DisplayTest)
#include "test_display.moc"
