#include "ui/window_rules.h"

#include <algorithm>

namespace kev::ui {
namespace {

constexpr int kOpaque = 255;
constexpr int kFaintest = 8;

bool Near(int value, int target) {
  return target - kSnapDistance < value && value < target + kSnapDistance;
}

int Align(int monitor, int monitorSize, int dialogSize, int screenSize) {
  return monitor > screenSize - dialogSize ? monitor + monitorSize - dialogSize : monitor;
}

bool Overlap(const ScreenRect& a, const ScreenRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Gap between two ranges along one axis; 0 when they overlap.
int64_t Gap(int aFrom, int aTo, int bFrom, int bTo) {
  return std::max<int64_t>({0, int64_t{bFrom} - aTo, int64_t{aFrom} - bTo});
}

int64_t Distance(const ScreenRect& a, const ScreenRect& b) {
  const int64_t dx = Gap(a.left, a.right, b.left, b.right);
  const int64_t dy = Gap(a.top, a.bottom, b.top, b.bottom);
  return dx * dx + dy * dy;
}

// The first edge of a range of size `size` inside [from, to): the far edge
// wins when it does not fit.
int Inside(int value, int size, int from, int to) {
  return std::max(from, std::min(value, to - size));
}

}  // namespace

Point ReachablePosition(Point p, int width, int height, const std::vector<ScreenPlace>& screens) {
  const ScreenRect strip{p.x + kDragStripLeft + 1, p.y, p.x + width, p.y + height};
  const ScreenRect window{p.x, p.y, p.x + width, p.y + height};
  const ScreenPlace* nearest = nullptr;
  for (const ScreenPlace& s : screens) {
    if (Overlap(strip, s.geometry)) return p;
    if (nearest == nullptr ||
        Distance(window, s.available) < Distance(window, nearest->available)) {
      nearest = &s;
    }
  }
  if (nearest == nullptr) return p;
  const ScreenRect& a = nearest->available;
  return {Inside(p.x, width, a.left, a.right), Inside(p.y, height, a.top, a.bottom)};
}

Point SnapToEdges(Point p, int width, int height, const ScreenRect& workArea) {
  if (Near(p.x, 0)) p.x = 0;
  if (Near(p.y, 0)) p.y = 0;
  const int rightSnap = workArea.right + 1 - width;
  if (Near(p.x, rightSnap)) p.x = rightSnap;
  const int bottomSnap = workArea.bottom + 1 - height;
  if (Near(p.y, bottomSnap)) p.y = bottomSnap;
  return p;
}

int TransparencyAlpha(int32_t percent) {
  const int64_t alpha = kOpaque - (int64_t{percent} * kOpaque) / 100;
  return static_cast<int>(std::clamp<int64_t>(alpha, kFaintest, kOpaque));
}

Point DialogPosition(Point monitor, int monitorWidth, int monitorHeight, int dialogWidth,
                     int dialogHeight, int screenWidth, int screenHeight) {
  return {Align(monitor.x, monitorWidth, dialogWidth, screenWidth),
          Align(monitor.y, monitorHeight, dialogHeight, screenHeight)};
}

}  // namespace kev::ui
