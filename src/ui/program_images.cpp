#include "ui/program_images.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>

namespace kev::ui {
namespace {

// Every picture is laid out on a 48-unit square and scaled to the pixel size.
constexpr double kDesign = 48.0;

const QColor kIconTop(0x3a, 0x7b, 0xd5);
const QColor kIconBottom(0x1d, 0x3f, 0x7a);
const QColor kTrayNormal(0x1f, 0x5f, 0xa8);
const QColor kTrayAlarm(0xd0, 0x14, 0x14);
const QColor kTrayEdge(0x10, 0x20, 0x40);

constexpr std::array kProgramIconSizes{16, 22, 32, 48};
constexpr std::array kTraySizes{16, 22, 32};

// One blade for a fan of radius 1, pointing up from the hub.
QPainterPath UnitBlade() {
  QPainterPath blade(QPointF(0.0, -0.2));
  blade.cubicTo(0.35, -0.3, 0.55, -0.75, 0.25, -0.98);
  blade.cubicTo(0.05, -1.05, -0.25, -0.9, -0.22, -0.6);
  blade.cubicTo(-0.2, -0.4, -0.12, -0.28, 0.0, -0.2);
  return blade;
}

template <typename Paint>
QPixmap Render(int size, Paint paint) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / kDesign, size / kDesign);
  paint(p);
  p.end();
  return QPixmap::fromImage(image);
}

void PaintProgramIcon(QPainter& p) {
  QLinearGradient fill(0, 0, 0, kDesign);
  fill.setColorAt(0, kIconTop);
  fill.setColorAt(1, kIconBottom);
  p.setPen(QPen(kTrayEdge, 1.5));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(2, 2, 44, 44), 10, 10);
  p.setPen(QPen(Qt::white, 2.5));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(24, 24), 18.5, 18.5);
  PaintFan(p, QPointF(24, 24), 15, 0, Qt::white, 4);
}

// A white "!" filling the middle of area.
void PaintExclamation(QPainter& p, const QRectF& area) {
  const double w = area.width() * 0.16;
  const double cx = area.center().x();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(cx - w / 2, area.top() + area.height() * 0.14, w, area.height() * 0.5),
                    w / 3, w / 3);
  p.drawEllipse(QPointF(cx, area.top() + area.height() * 0.8), w * 0.62, w * 0.62);
}

// Closed window: a round badge. Open window: a window with a title strip.
// Either holds the fan, or "!" on red while an alarm shows.
void PaintTray(QPainter& p, bool open, bool alarm) {
  const QColor body = alarm ? kTrayAlarm : kTrayNormal;
  p.setPen(QPen(kTrayEdge, 2));
  p.setBrush(body);
  QRectF content;
  if (open) {
    const QRectF window(2, 3, 44, 42);
    p.drawRoundedRect(window, 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5, 6, 38, 8));
    content = QRectF(8, 15, 32, 30);
  } else {
    p.drawEllipse(QRectF(1, 1, 46, 46));
    content = QRectF(5, 5, 38, 38);
  }
  if (alarm) {
    PaintExclamation(p, content);
  } else {
    PaintFan(p, content.center(), content.height() / 2, 0, Qt::white, open ? 3 : 4);
  }
}

}  // namespace

void PaintFan(QPainter& p, QPointF centre, double radius, double angle, const QColor& color,
              int blades) {
  static const QPainterPath blade = UnitBlade();
  p.save();
  p.translate(centre);
  p.scale(radius, radius);
  p.rotate(angle);
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  for (int i = 0; i < blades; ++i) {
    p.drawPath(blade);
    p.rotate(360.0 / blades);
  }
  p.drawEllipse(QPointF(0, 0), 0.26, 0.26);
  p.restore();
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : kProgramIconSizes) icon.addPixmap(Render(size, PaintProgramIcon));
  return icon;
}

QIcon TrayImage(int n) {
  const bool open = n == kTrayOpen || n == kTrayOpenAlarm;
  const bool alarm = n == kTrayClosedAlarm || n == kTrayOpenAlarm;
  QIcon icon;
  for (int size : kTraySizes) {
    icon.addPixmap(Render(size, [&](QPainter& p) { PaintTray(p, open, alarm); }));
  }
  return icon;
}

}  // namespace kev::ui
