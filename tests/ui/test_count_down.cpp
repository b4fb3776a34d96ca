#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "ui/count_down.h"

using kev::ui::ShowCountDown;

namespace {

// Calls act with the count-down as soon as its modal loop runs.
void WhenShown(std::function<void(QWidget*)> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      poll->deleteLater();
      poll->stop();
      act(dialog);
    }
  });
  poll->start(1);
}

}  // namespace

class CountDownTest : public QObject {
  Q_OBJECT

 private slots:
  void runsOutAfterHundredStepsWhileOtherTimersFire();
  void cancelButtonAndEscCancel();
};

void CountDownTest::runsOutAfterHundredStepsWhileOtherTimersFire() {
  int steps = 0, position = 0, maximum = 0, period = 0, samples = 0;
  QTimer sampling;
  connect(&sampling, &QTimer::timeout, [&] { ++samples; });
  sampling.start(5);
  WhenShown([&](QWidget* dialog) {
    auto* timer = dialog->findChild<QTimer*>("Timer1");
    auto* bar = dialog->findChild<QProgressBar*>("ProgressBar1");
    period = timer->interval();
    connect(timer, &QTimer::timeout, [&, bar] {
      ++steps;
      position = bar->value();
      maximum = bar->maximum();
    });
    timer->setInterval(1);  // the real ten seconds would slow the suite
  });

  QVERIFY(!ShowCountDown(nullptr, "This system is suspended after 10 seconds."));
  QCOMPARE(period, 100);
  QCOMPARE(steps, 100);
  QCOMPARE(maximum, 100);
  QCOMPARE(position, 100);
  QVERIFY(samples > 0);
}

void CountDownTest::cancelButtonAndEscCancel() {
  QString title, message;
  bool onTop = false;
  WhenShown([&](QWidget* dialog) {
    title = dialog->windowTitle();
    onTop = dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    message = dialog->findChild<QLabel*>("Label1")->text();
    QTest::mouseClick(dialog->findChild<QPushButton*>("Cancel"), Qt::LeftButton);
  });
  QVERIFY(ShowCountDown(nullptr, "This system is shut down after 10 seconds."));
  QCOMPARE(title, QString("Count Down"));
  QVERIFY(onTop);
  QCOMPARE(message, QString("This system is shut down after 10 seconds."));

  WhenShown([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
  QVERIFY(ShowCountDown(nullptr, "This system is suspended after 10 seconds."));
}

QTEST_MAIN(CountDownTest)
#include "test_count_down.moc"
