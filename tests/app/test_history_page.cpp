// The page of `kevatra-cli serve` in headless Chromium: with logs of the
// last hour read back, it draws the stalling fan and the warming processor
// with their limit lines and alarms shaded.
#include <time.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include "monitor/channel_history.h"
#include "monitor/channel_log.h"
#include "settings/hive_file.h"
#include "settings/settings_io.h"

namespace {

constexpr int64_t kStepMs = 5000;
constexpr int64_t kHourMs = 3600 * 1000;

kev::LocalTime Local(int64_t ms) {
  const auto t = static_cast<time_t>(ms / 1000);
  tm l{};
  localtime_r(&t, &l);
  return {l.tm_year + 1900, l.tm_mon + 1, l.tm_mday, l.tm_hour, l.tm_min, l.tm_sec};
}

// 50 minutes up to now: the fan stops for two minutes in every ten, the
// processor warms from 40 to 70 C past its limit of 60.
void WriteLogs(const QDir& dir) {
  QFile fan(dir.filePath(QStringLiteral("FAN_2.LOG"))),
      cpu(dir.filePath(QStringLiteral("TEMP_1.LOG")));
  QVERIFY(fan.open(QIODevice::WriteOnly) && cpu.open(QIODevice::WriteOnly));
  const int64_t now = kev::WallClockMs(), start = now - 50 * 60 * 1000;
  for (int64_t t = start; t < now - kStepMs; t += kStepMs) {
    const bool stalled = (t - start) % (10 * 60 * 1000) < 2 * 60 * 1000;
    fan.write(kev::FormatLogLine(Local(t), "", stalled ? "0RPM [Err]" : "3200RPM").c_str());
    const double c =
        40.0 + 30.0 * static_cast<double>(t - start) / static_cast<double>(now - start);
    const std::string text = QString::number(c, 'f', 1).toStdString() + "C / 100.0F";
    cpu.write(kev::FormatLogLine(Local(t), "", c >= 60 ? text + " [Err]" : text).c_str());
  }
}

int Near(const QImage& image, QRgb want, int tolerance) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      n += std::abs(qRed(p) - qRed(want)) + std::abs(qGreen(p) - qGreen(want)) +
                       std::abs(qBlue(p) - qBlue(want)) <=
                   tolerance
               ? 1
               : 0;
    }
  }
  return n;
}

}  // namespace

class HistoryPageTest : public QObject {
  Q_OBJECT
 private slots:
  void browserDrawsTheStallAndTheWarming() {
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty()) QSKIP("chromium is not installed");
    QTemporaryDir dir, profile;
    kev::MonitorSettings s = kev::DefaultSettings({1024, 768, 257, 357});
    for (int ch = 1; ch <= kev::kChannelCount; ++ch) kev::ChannelChecked(s, ch) = true;
    s.LoggingFan2 = s.LoggingTemp1 = true;
    s.LogFileDirectory = dir.path().toStdString() + "/";
    s.Temp1Limit = 60;
    const std::string settings = dir.filePath(QStringLiteral("settings.reg")).toStdString();
    kev::HiveFileRegistry hive(settings);
    QVERIFY(kev::SaveSettings(hive, s));
    WriteLogs(QDir(dir.path()));

    QProcess serve;
    serve.start(
        QStringLiteral(KEV_CLI_BIN),
        {QStringLiteral("serve"), QStringLiteral("--board"), QStringLiteral("demo"),
         QStringLiteral("--settings"), QString::fromStdString(settings), QStringLiteral("--log"),
         QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    QString address;
    QTRY_VERIFY_WITH_TIMEOUT((address += QString::fromUtf8(serve.readAllStandardError()))
                                 .contains(QLatin1String("/metrics")),
                             20000);
    // The hour the logs fill, whatever span the page would open on.
    const QString url =
        address.section(QLatin1String("serving "), 1).section(QLatin1String("metrics"), 0, 0);

    const QString shot = dir.filePath(QStringLiteral("page.png"));
    QProcess browser;
    browser.start(
        chromium,
        {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
         QStringLiteral("--disable-gpu"), QStringLiteral("--disable-quic"),
         QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
         QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
         QStringLiteral("--user-data-dir=") + profile.path(),
         QStringLiteral("--window-size=720,1100"), QStringLiteral("--screenshot=") + shot,
         url + QStringLiteral("?minutes=60")});
    QVERIFY(browser.waitForFinished(90000));
    serve.terminate();
    serve.waitForFinished(10000);

    const QImage page(shot);
    QVERIFY2(!page.isNull(), browser.readAllStandardError().constData());
    const QString out = qEnvironmentVariable("KEV_SCREENSHOT_DIR");
    if (!out.isEmpty()) page.save(out + QStringLiteral("/history-page.png"));
    QVERIFY(Near(page, qRgb(0xf6, 0xc2, 0xc2), 12) > 2000);  // alarms shaded
    QVERIFY(Near(page, qRgb(0x1f, 0x5f, 0xbf), 30) > 1000);  // readings drawn
    QVERIFY(Near(page, qRgb(0xcc, 0x00, 0x00), 60) > 200);   // limit lines
  }
};

QTEST_MAIN(HistoryPageTest)
#include "test_history_page.moc"
