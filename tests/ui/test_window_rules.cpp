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

  // Two screens side by side, the right one lower and with a panel on top.
  void aStoredPositionOffEveryScreenComesBack() {
    const std::vector<kev::ui::ScreenPlace> screens{
        {{0, 0, 1024, 768}, {0, 0, 1024, 768}}, {{1024, 200, 2304, 1224}, {1024, 230, 2304, 1224}}};
    const auto at = [&](Point p) { return kev::ui::ReachablePosition(p, 257, 357, screens); };
    // Only the drag strip's last pixels on a screen: kept as stored.
    QCOMPARE(at({-256, 100}), (Point{-256, 100}));
    QCOMPARE(at({2303 - 257, 1223}), (Point{2303 - 257, 1223}));
    // Where a third monitor was: onto the nearest screen's free area.
    QCOMPARE(at({2400, 300}), (Point{2304 - 257, 300}));
    QCOMPARE(at({1500, -400}), (Point{1500, 230}));  // above the right screen: under its panel
    QCOMPARE(at({-800, -900}), (Point{0, 0}));
    QCOMPARE(kev::ui::ReachablePosition({-800, 5}, 257, 357, {}), (Point{-800, 5}));
  }
};

QTEST_APPLESS_MAIN(WindowRulesTest)
#include "test_window_rules.moc"
