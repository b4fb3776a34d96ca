// The monitor window with and without a tray: where "Close" sends it, what
// a later start of the program does, a tray that comes or goes, and where a
// stored position puts it.
#include <QGuiApplication>
#include <QScreen>

#include "ui/display.h"
#include "ui/window_rules.h"

namespace kev::ui {

bool TDisplay::WindowMinimized() const { return (windowState() & Qt::WindowMinimized) != 0; }

void TDisplay::HideWindow() {
  if (trayMode_) {
    CloseWindow(false);
  } else {
    showMinimized();  // its taskbar entry brings it back
  }
}

void TDisplay::CheckTray() {
  if (!startup_.done()) return;  // the start-up decides first
  const bool tray = core_.trayAvailable && core_.trayAvailable();
  if (tray == trayMode_) return;
  applyTrayMode(tray);
  if (tray && WindowMinimized()) CloseWindow(false);
  if (!tray && !WindowVisible()) OpenWindow(false);
}

// In a tray the window is a tool window off the taskbar; without one it is
// an ordinary window with a taskbar entry, so that it can be minimised.
void TDisplay::applyTrayMode(bool tray) {
  trayMode_ = tray;
  const Qt::WindowFlags flags = Qt::FramelessWindowHint | (tray ? Qt::Tool : Qt::Window);
  if (windowFlags() == flags) return;
  const bool shown = isVisible();
  setWindowFlags(flags);  // hides the window
  if (shown) show();
}

void TDisplay::ShowFromAnotherStart() {
  RunStartup();
  OpenWindow(false);
  raise();
  activateWindow();
}

QPoint TDisplay::onScreen(QPoint stored) const {
  std::vector<ScreenPlace> screens;
  for (const QScreen* s : QGuiApplication::screens()) {
    const QRect g = s->geometry(), a = s->availableGeometry();
    screens.push_back({{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()},
                       {a.left(), a.top(), a.left() + a.width(), a.top() + a.height()}});
  }
  const Point p = ReachablePosition({stored.x(), stored.y()}, width(), height(), screens);
  return {p.x, p.y};
}

}  // namespace kev::ui
