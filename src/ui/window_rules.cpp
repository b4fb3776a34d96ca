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

}  // namespace

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
