// Edge snapping, transparency and dialog placement of the monitor window.
#include <QtTest>

#include "ui/window_rules.h"

using kev::ui::Point;
using kev::ui::ScreenRect;

class WindowRulesTest : public QObject {
  Q_OBJECT
 private slots:
  void snapsWithinTwentyNinePixels() {
    const ScreenRect work{0, 0, 1024, 738};  // a task bar along the bottom
    QCOMPARE(kev::ui::SnapToEdges({29, 200}, 257, 357, work), (Point{0, 200}));
    QCOMPARE(kev::ui::SnapToEdges({30, 200}, 257, 357, work), (Point{30, 200}));
    QCOMPARE(kev::ui::SnapToEdges({-29, -29}, 257, 357, work), (Point{0, 0}));
    // Right and bottom put the outer edge one pixel beyond the work area.
    QCOMPARE(kev::ui::SnapToEdges({760, 360}, 257, 357, work), (Point{768, 382}));
    QCOMPARE(kev::ui::SnapToEdges({738, 352}, 257, 357, work), (Point{738, 352}));
  }

  void rightAndBottomWinOnATinyScreen() {
    const ScreenRect tiny{0, 0, 270, 370};
    QCOMPARE(kev::ui::SnapToEdges({5, 5}, 257, 357, tiny), (Point{14, 14}));
  }

  void alphaFollowsThePercentage() {
    const std::pair<int, int> cases[] = {{0, 255}, {1, 253}, {50, 128}, {97, 8},
                                         {98, 8},  {100, 8}, {-5, 255}};
    for (auto [percent, alpha] : cases) QCOMPARE(kev::ui::TransparencyAlpha(percent), alpha);
  }

  void dialogsAlignWithTheMonitorWindow() {
    QCOMPARE(kev::ui::DialogPosition({100, 50}, 257, 357, 400, 300, 1024, 768), (Point{100, 50}));
    // Near the bottom-right corner the dialog's right and bottom edges line up instead.
    QCOMPARE(kev::ui::DialogPosition({760, 500}, 257, 357, 400, 300, 1024, 768), (Point{617, 557}));
  }
};

QTEST_APPLESS_MAIN(WindowRulesTest)
#include "test_window_rules.moc"
