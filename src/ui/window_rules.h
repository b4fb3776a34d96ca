// Window geometry and look rules of the monitor window, free of widgets so
// they can be checked on their own.
#pragma once

#include <cstdint>
#include <vector>

namespace kev::ui {

// A rectangle as the system reports a work area: right and bottom are one
// past the last pixel.
struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// Distance in pixels within which a window edge jumps to a screen edge.
inline constexpr int kSnapDistance = 30;

// Where a window of width x height proposed at p ends up: left and top snap
// to screen coordinate 0, right and bottom to one pixel beyond the work area;
// right and bottom win on a screen too small for both.
Point SnapToEdges(Point p, int width, int height, const ScreenRect& workArea);

// Right of this x (from the window's left edge) the caption-less window can
// be dragged: the strip of the two tool buttons.
inline constexpr int kDragStripLeft = 227;

// A screen: its whole area and the part windows may use (without panels).
struct ScreenPlace {
  ScreenRect geometry;
  ScreenRect available;
};

// Where a window stored at p opens: at p while any part of its drag strip
// lies on a screen, else moved into the available area of the nearest screen.
// With no screen known, p.
Point ReachablePosition(Point p, int width, int height, const std::vector<ScreenPlace>& screens);

// Opacity 0..255 for a transparency percentage: 255 - p*255/100, clamped to
// 8..255 so the window never vanishes.
int TransparencyAlpha(int32_t percent);

// Top-left of a dialog beside the monitor window: left/top edges aligned,
// or right/bottom edges when the dialog would leave the screen.
Point DialogPosition(Point monitor, int monitorWidth, int monitorHeight, int dialogWidth,
                     int dialogHeight, int screenWidth, int screenHeight);

}  // namespace kev::ui
