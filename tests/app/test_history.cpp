// The History window on the demo board: opened from the menu like "Info",
// following the samples with limits and alarms drawn, pointing, switching
// spans, saving the image, and the past read back from the logs on restart.
#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest>

#include "desktop_fixture.h"
#include "monitor/channel_log.h"
#include "ui/history_window.h"

using kev::test::CheckedSettings;
using kev::test::Desktop;
using kev::test::OnNextModal;

namespace {

constexpr int kFan2 = 2, kTemp1 = 4;

int CountColour(const QImage& image, const QColor& colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == colour ? 1 : 0;
  }
  return n;
}

const kev::ui::PlotStrip* StripOf(kev::ui::HistoryWindow& w, int channel) {
  for (const kev::ui::PlotStrip& s : w.canvas()->strips()) {
    if (s.row.channel == channel) return &s;
  }
  return nullptr;
}

bool AnyAlarm(const kev::ui::PlotStrip& s) {
  for (const kev::HistoryColumn& c : s.columns) {
    if (c.alarm) return true;
  }
  return false;
}

}  // namespace

class HistoryTest : public QObject {
  Q_OBJECT
 private slots:
  void windowShowsTheStallAndTheWarmingLive() {
    kev::MonitorSettings s = CheckedSettings();
    s.IntervalTime = 0;  // sampled on demand, one second of board time apart
    s.Temp1Limit = 60;
    int64_t now = 989675110000;
    Desktop d(s, "demo",
              [&now](kev::ui::DisplayCore& c) { c.historyClock = [&now] { return now; }; });
    d.display().RunStartup();
    const QList<QAction*> items = d.display().popupMenu()->actions();
    auto* history = d.find<QAction>("miHistory");
    QCOMPARE(items.indexOf(history), items.indexOf(d.find<QAction>("miInfo")) + 1);
    QVERIFY(history->isEnabled());

    auto sampleFor = [&](int seconds) {
      for (int i = 0; i < seconds; ++i) {
        d.session().board()->advanceMs(1000);
        now += 1000;
        d.display().RefreshNow();
      }
    };
    sampleFor(60);
    history->trigger();
    auto* w = qobject_cast<kev::ui::HistoryWindow*>(d.display().historyWindow());
    QVERIFY(w != nullptr && w->isVisible());
    QVERIFY(!history->isEnabled());
    w->setSpan(kev::ui::kTenMinutesMs);
    sampleFor(150);  // the window follows: the processor passes its limit meanwhile
    QApplication::processEvents();
    w->canvas()->repaint();

    const kev::ui::PlotStrip* fan = StripOf(*w, kFan2);
    const kev::ui::PlotStrip* cpu = StripOf(*w, kTemp1);
    QVERIFY(fan != nullptr && cpu != nullptr);
    QVERIFY(fan->row.limits.low.has_value());
    QCOMPARE(*cpu->row.limits.high, 60.0);
    QVERIFY(AnyAlarm(*fan));
    QVERIFY(AnyAlarm(*cpu));
    QVERIFY(!cpu->columns.back().empty);
    QVERIFY(cpu->columns.back().max > 60.0);

    const QImage shot = w->plotImage();
    const QString out = qEnvironmentVariable("KEV_SCREENSHOT_DIR");
    if (!out.isEmpty()) shot.save(out + QStringLiteral("/history-window.png"));
    QVERIFY(CountColour(shot, QColor(246, 194, 194)) > 100);  // alarm shading
    QVERIFY(CountColour(shot, QColor(200, 0, 0)) > 100);      // limit lines
    QVERIFY(CountColour(shot, QColor(31, 95, 191)) > 1000);   // readings

    // Pointing at the fan's last column tells its time and value. (The
    // screenshot painted the strips anew.)
    const QRect fanPlot = StripOf(*w, kFan2)->plot;
    const QPoint at(fanPlot.right() - 1, fanPlot.center().y());
    QMouseEvent move(QEvent::MouseMove, at, w->canvas()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w->canvas(), &move);
    const QString pointed = w->findChild<QLabel*>(QStringLiteral("PointLabel"))->text();
    QVERIFY2(pointed.contains(QLatin1String("Fan 2")) && pointed.contains(QLatin1String("rpm")),
             qPrintable(pointed));

    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Span24Hours")), Qt::LeftButton);
    QCOMPARE(w->span(), kev::ui::kOneDayMs);

    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("plot.png"));
    OnNextModal([&png](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog != nullptr);
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(png);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("SaveImage")), Qt::LeftButton);
    QCOMPARE(QImage(png).size(), w->canvas()->size());

    w->close();
    QTRY_VERIFY(history->isEnabled());  // once the window is deleted (a deferred delete)
  }

  void restartWithLoggingShowsThePast() {
    QTemporaryDir logs;
    kev::MonitorSettings s = CheckedSettings();
    s.LoggingTemp1 = true;
    s.LogFileDirectory = logs.path().toStdString() + "/";
    const int64_t before = kev::WallClockMs();
    {
      Desktop first(s);
      first.display().RunStartup();  // the first sample is logged
    }
    QFile log(logs.filePath(QStringLiteral("TEMP_1.LOG")));
    QVERIFY(log.open(QIODevice::Append));
    log.write("not a log line\r\n");
    log.close();

    // Ten minutes later by the history's clock: its own first sample lies apart.
    Desktop second(s, "demo", [](kev::ui::DisplayCore& c) {
      c.historyClock = [] { return kev::WallClockMs() + 10 * 60 * 1000; };
    });
    second.display().RunStartup();
    const auto past = second.display().history().Columns(kTemp1, before - 2000, before + 60000, 1);
    QVERIFY(!past.front().empty);
    second.find<QAction>("miHistory")->trigger();
    QVERIFY(second.display()
                .historyWindow()
                ->findChild<QLabel*>(QStringLiteral("NoteLabel"))
                ->text()
                .contains(QLatin1String("1 lines")));
  }
};

QTEST_MAIN(HistoryTest)
#include "test_history.moc"
