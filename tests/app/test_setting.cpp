// The settings dialog on simulated boards, driven through its widgets.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "desktop_fixture.h"
#include "detect/records.h"
#include "monitor/fan_channel.h"
#include "ui/setting.h"

using kev::test::CheckedSettings;
using kev::test::Desktop;
using kev::test::OnNextModal;
using kev::ui::TSetting;

namespace {

constexpr kev::OsVersion kWin98{1, 4};
constexpr kev::OsVersion kNt4{2, 4};
constexpr kev::OsVersion kXp{2, 5};

void Answer(QMessageBox::StandardButton button, QString* text = nullptr) {
  OnNextModal([=](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    QVERIFY(box != nullptr);
    QCOMPARE(box->windowTitle(), QString::fromUtf8("確認"));
    if (text != nullptr) *text = box->text();
    box->button(button)->click();
  });
}

// A started monitor on a board and a settings dialog over its record; the
// dialog runs no detection (no ports), so Ok shows only its own mapping.
struct Open {
  explicit Open(const kev::MonitorSettings& s, const char* board = "demo", kev::OsVersion os = kXp)
      : desktop(s, board, [this, os](kev::ui::DisplayCore& c) {
          c.os = os;
          core = c;
        }) {
    desktop.display().RunStartup();
  }
  TSetting& dialog() {
    if (!setting) {
      kev::ui::SettingEnv env;
      env.settings = core.settings;
      env.detect = core.detect;
      env.os = core.os;
      env.japanese = japanese;
      setting = std::make_unique<TSetting>(std::move(env));
      setting->show();
    }
    return *setting;
  }
  template <class T = QWidget>
  T* find(const QString& name) {
    T* w = dialog().findChild<T*>(name);
    if (w == nullptr) qFatal("no control %s", qPrintable(name));
    return w;
  }
  QSlider* bar(int n) { return find<QSlider>(QStringLiteral("TrackBar%1").arg(n)); }
  QString panel(int n) { return find<QLabel>(QStringLiteral("Panel%1").arg(n))->text(); }
  QCheckBox* box(int n) { return find<QCheckBox>(QStringLiteral("CheckBox%1").arg(n)); }
  QLineEdit* edit(int n) { return find<QLineEdit>(QStringLiteral("Edit%1").arg(n)); }
  void ok() {
    QVERIFY(find<QPushButton>("BitBtn1")->isEnabled());
    find<QPushButton>("BitBtn1")->click();
  }
  kev::MonitorSettings& record() { return desktop.settings(); }

  kev::ui::DisplayCore core;
  Desktop desktop;
  std::unique_ptr<TSetting> setting;
  bool japanese = false;
};

void Type(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  if (!text.isEmpty()) QTest::keyClicks(edit, text);
}

}  // namespace

class SettingTest : public QObject {
  Q_OBJECT
 private slots:
  void limitSlidersMapAndClampOnTheIteBoards() {
    kev::MonitorSettings s = CheckedSettings();
    s.Fan1Limit = 300;
    s.Temp1Limit = 200;
    s.Temp1Adjustor = -1;
    s.IntervalTime = 1500;
    s.Volt6ULimit = 200;
    s.Volt7ULimit = 200;
    for (const char* board : {"i850-ich2-it8712f-smbus", "sis630-pm-off-it8705f"}) {
      const bool it8712 = QByteArray(board).contains("it8712f");
      Open o(s, board);
      QCOMPARE(o.bar(1)->value(), 11);  // 265 - 300, held at the left end
      QCOMPARE(o.bar(4)->value(), 125);
      QCOMPARE(o.panel(5), QStringLiteral("-1C / 31F"));
      QCOMPARE(o.bar(28)->value(), 1);
      QCOMPARE(o.panel(28), QStringLiteral("1SEC"));
      QCOMPARE(o.bar(20)->value(), it8712 ? 56 : 200);
      QCOMPARE(o.bar(22)->value(), 56);
      QVERIFY(!o.find<QPushButton>("BitBtn1")->isEnabled());
      o.bar(20)->setValue(o.bar(20)->value() + 1);
      o.bar(22)->setValue(o.bar(22)->value() + 1);
      o.ok();
      QCOMPARE(o.record().Fan1Limit, 254);
      QCOMPARE(o.record().Temp1Limit, 125);
      QCOMPARE(o.record().Temp1Adjustor, -1);
      QCOMPARE(o.record().IntervalTime, 1000);
      QCOMPARE(o.record().Volt6ULimit, it8712 ? 199 : 201);
      QCOMPARE(o.record().Volt7ULimit, 199);
    }
  }

  void fanLimitLabelShowsThePanelsSpeed() {
    kev::MonitorSettings s = CheckedSettings();
    s.Fan3PPR = 2;
    s.VoltPrecision = 2;
    Open o(s);
    const int count = kev::ReadFanCount(o.desktop.display().context(), 2);
    o.bar(3)->setValue(265 - count);
    o.desktop.display().RefreshNow();
    QCOMPARE(o.panel(3), o.desktop.panel(3));
    QVERIFY(o.panel(10).endsWith(QLatin1String("V")));
    QCOMPARE(o.panel(10).section(QLatin1Char('.'), 1).size(), 4);  // three decimals and "V"
    // The pulse choice is stored, but the labels wait for the next set-up.
    const QString before = o.panel(3);
    o.find<QWidget>("RadioGroup3")->findChildren<QAbstractButton*>().at(1)->click();
    QCOMPARE(o.panel(3), before);
    o.ok();
    QCOMPARE(o.record().Fan3PPR, 1);
  }

  void chipDecidesTheDiodeAndAccessBoxes() {
    kev::MonitorSettings s = CheckedSettings();
    s.Sensor3OnDieDiode = true;
    s.Temp3SMBUse = true;
    s.Temp3SMBAddress = 4;
    Open o(s, "440bx-w83783s");
    QCOMPARE(o.desktop.display().context().detect.chip.ChipKind, kev::kind::W83783S);
    QVERIFY(o.box(29)->isHidden());
    QVERIFY(!o.box(28)->isHidden() && o.box(28)->isEnabled());
    QVERIFY(!o.box(22)->isEnabled());
    QVERIFY(!o.box(23)->isEnabled());
    auto* combo1 = o.find<QComboBox>("ComboBox1");
    auto* combo2 = o.find<QComboBox>("ComboBox2");
    QVERIFY(!combo1->isEnabled());
    QCOMPARE(combo1->currentIndex(), -1);
    QVERIFY(combo2->isEnabled());
    const int address = kev::TempSensorAddress(o.record().Temp3SMBAddress);
    QCOMPARE(combo2->currentText(), "  " + QString::number(address, 16).toUpper() + "h");
    o.box(1)->click();  // checked, but no address picked: automatic
    QVERIFY(combo1->isEnabled());
    o.box(2)->click();
    QCOMPARE(combo2->currentIndex(), -1);
    o.ok();
    QVERIFY(o.record().Temp2SMBUse);
    QCOMPARE(o.record().Temp2SMBAddress, -1);
    QVERIFY(!o.record().Temp3SMBUse);
    QCOMPARE(o.record().Temp3SMBAddress, -1);
    QVERIFY(!o.record().Sensor3OnDieDiode);
  }

  void systemDecidesShutdownAndSuspend() {
    kev::MonitorSettings s = CheckedSettings();
    s.ErrAct3Switch = s.ErrAct4Switch = s.HoldErrAct3 = s.HoldErrAct4 = true;
    struct Case {
      kev::OsVersion os;
      bool shutdown, suspend;
    };
    for (const Case& c : {Case{kWin98, true, true}, Case{kXp, true, true}, Case{kNt4, true, false},
                          Case{{0, 3}, false, false}}) {
      Open o(s, "demo", c.os);
      auto* shutdown = o.find<QToolButton>("SpeedButton3");
      auto* suspend = o.find<QToolButton>("SpeedButton4");
      QCOMPARE(shutdown->isVisibleTo(&o.dialog()), c.shutdown);
      QCOMPARE(suspend->isVisibleTo(&o.dialog()), c.suspend);
      QCOMPARE(o.box(21)->isVisibleTo(&o.dialog()), c.suspend);
      QCOMPARE(o.record().ErrAct3Switch && o.record().HoldErrAct3, c.shutdown);
      QCOMPARE(o.record().ErrAct4Switch && o.record().HoldErrAct4, c.suspend);
      QCOMPARE(suspend->isChecked(), c.suspend);
      if (c.suspend) {
        suspend->click();
        suspend->click();  // down again: shutdown goes up
        QVERIFY(!shutdown->isChecked());
      }
    }
  }

  void cancelKeepsOnlyTheFillChanges() {
    QTemporaryDir logs;
    kev::MonitorSettings s = CheckedSettings();
    s.LogFileDirectory = logs.path().toStdString();
    s.ErrAct4Switch = true;
    Open o(s, "demo", kNt4);
    kev::MonitorSettings expected = o.record();
    expected.LogFileDirectory += "/";
    expected.ErrAct4Switch = false;
    o.dialog();
    o.bar(1)->setValue(100);
    o.box(3)->click();
    Type(o.edit(1), QStringLiteral("/elsewhere"));
    QTest::keyClick(&o.dialog(), Qt::Key_Escape);  // Esc is Cancel
    QVERIFY(o.dialog().isHidden());
    QCOMPARE(o.record(), expected);
  }

  void missingLogFolderIsOfferedForCreation() {
    QTemporaryDir root;
    const std::string missing = root.filePath(QStringLiteral("a/b")).toStdString();
    kev::MonitorSettings s = CheckedSettings();
    s.LogFileDirectory = missing;
    {
      Open o(s);
      QString text;
      Answer(QMessageBox::No, &text);
      o.dialog();
      QCOMPARE(text, QStringLiteral("Designated Directory Does Not Exist. Make It?"));
      QCOMPARE(o.record().LogFileDirectory, std::string());
      QVERIFY(o.edit(1)->text().isEmpty());
      // Typed by hand: checked again at Ok.
      Type(o.edit(1), QString::fromStdString(missing));
      Answer(QMessageBox::Yes);
      o.ok();
      QCOMPARE(o.record().LogFileDirectory, missing + "/");
      QVERIFY(std::filesystem::is_directory(missing));
    }
    s.LogFileDirectory = root.filePath(QStringLiteral("c")).toStdString();
    Open ja(s);
    ja.japanese = true;
    QString text;
    Answer(QMessageBox::No, &text);
    ja.dialog();
    QCOMPARE(text, QString::fromUtf8(kev::ui::kMissingFolderJa));
    std::string dir = missing;
    kev::ui::NormalizeLogDirectory(dir, true, [] { return false; });
    QCOMPARE(dir, missing + "/");
  }

  void portAndTransparencyEntries() {
    kev::MonitorSettings s = CheckedSettings();
    s.MainChipPortAddressUse = true;
    s.MainChipPortAddress = 0x300;  // nothing there: the box can be used
    s.TransparencyPercentage = 20;
    struct Case {
      const char* typed;
      bool checked;
      int32_t stored;
    };
    for (const Case& c : {Case{"2E0", true, 0x2E0}, Case{"2G0", true, 0x290}, Case{"", true, 0x290},
                          Case{"2E0", false, 0x290}}) {
      Open o(s);
      QVERIFY(o.box(22)->isEnabled());
      QCOMPARE(o.edit(5)->text(), QStringLiteral("300"));
      Type(o.edit(5), QLatin1String(c.typed));
      if (!c.checked) o.box(22)->click();
      QCOMPARE(o.edit(5)->isEnabled(), c.checked);
      o.ok();
      QCOMPARE(o.record().MainChipPortAddress, c.stored);
      QCOMPARE(o.record().MainChipPortAddressUse, c.checked);
    }
    Open o(s);
    QCOMPARE(o.edit(6)->text(), QStringLiteral("20"));
    Type(o.edit(6), QStringLiteral("150"));
    QCOMPARE(o.edit(6)->text(), QStringLiteral("100"));
    QTest::keyClick(o.edit(6), Qt::Key_Backspace);
    QTest::keyClick(o.edit(6), Qt::Key_Backspace);
    QCOMPARE(o.edit(6)->text(), QStringLiteral("1"));
    Type(o.edit(6), QString());
    QCOMPARE(o.edit(6)->text(), QStringLiteral("0"));
    Type(o.edit(6), QStringLiteral("-"));  // not a number: the last one stays
    QCOMPARE(o.edit(6)->text(), QStringLiteral("0"));
    QTest::keyClicks(o.edit(6), QStringLiteral("35"));
    o.ok();
    QCOMPARE(o.record().TransparencyPercentage, 35);
    Open old(s, "demo", kNt4);
    QVERIFY(!old.edit(6)->isEnabled());
    QVERIFY(old.edit(6)->text().isEmpty());
  }

  void okFromTheMenuAppliesAndDetectsAgain() {
    kev::MonitorSettings s = CheckedSettings();
    s.MainChipPortAddressUse = true;
    s.MainChipPortAddress = 0x300;
    Desktop d(s, "demo", [](kev::ui::DisplayCore& c) { c.os = kXp; });
    d.display().RunStartup();
    QVERIFY(!d.display().context().detect.chip.FoundOnPort);
    bool driven = false;
    OnNextModal([&](QWidget* w) {
      QVERIFY(!d.find<QAction>("miSetting")->isEnabled());
      auto* edit5 = w->findChild<QLineEdit*>(QStringLiteral("Edit5"));
      Type(edit5, QStringLiteral("290"));
      w->findChild<QSlider*>(QStringLiteral("TrackBar28"))->setValue(0);
      Type(w->findChild<QLineEdit*>(QStringLiteral("Edit6")), QStringLiteral("50"));
      QTest::keyClick(edit5, Qt::Key_Return);  // Enter is Ok
      driven = true;
    });
    d.find<QAction>("miSetting")->trigger();
    QVERIFY(driven);
    QVERIFY(d.find<QAction>("miSetting")->isEnabled());
    QVERIFY(d.display().context().detect.chip.FoundOnPort);
    QCOMPARE(d.display().context().detect.chip.ChipKind, kev::kind::W83782D);
    QCOMPARE(d.settings().IntervalTime, 0);
    QVERIFY(!d.find<QTimer>("Timer1")->isActive());
    QVERIFY(!d.find<QWidget>("SpeedButton2Bar")->isHidden());
    QCOMPARE(qRound(d.display().windowOpacity() * 100), 50);
  }

  void everyTabRenders() {
    Open o(CheckedSettings());
    auto* tabs = o.find<QTabWidget>("PageControl1");
    QCOMPARE(tabs->count(), 12);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Error Action"));
    o.dialog().show();
    for (int i = 0; i < tabs->count(); ++i) {
      tabs->setCurrentIndex(i);
      const QImage shot = o.dialog().grab().toImage();
      QSet<QRgb> colours;
      for (int y = 0; y < shot.height(); y += 3) {
        for (int x = 0; x < shot.width(); x += 3) colours.insert(shot.pixel(x, y));
      }
      QVERIFY2(colours.size() > 3, qPrintable(tabs->tabText(i)));
    }
  }
};

QTEST_MAIN(SettingTest)
#include "test_setting.moc"
