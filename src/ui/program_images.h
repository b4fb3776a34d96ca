// The program's own pictures, drawn rather than loaded: the program icon, the
// four tray images and the fan used by the About box's logo.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPointF>

class QPainter;

namespace kev::ui {

// Tray image numbers: window closed or open, each without and with alarm.
inline constexpr int kTrayClosed = 1;
inline constexpr int kTrayOpen = 2;
inline constexpr int kTrayClosedAlarm = 3;
inline constexpr int kTrayOpenAlarm = 4;

// The program icon at 16, 22, 32 and 48 pixels.
QIcon ProgramIcon();

// Tray image n (1..4) at 16, 22 and 32 pixels; any other n gives image 1.
QIcon TrayImage(int n);

// A fan of `blades` curved blades around a hub, turned by angle degrees.
void PaintFan(QPainter& p, QPointF centre, double radius, double angle, const QColor& color,
              int blades);

}  // namespace kev::ui
