#include "ui/row_widgets.h"

#include <QMouseEvent>

namespace kev::ui {
namespace {

constexpr int kPanelBevel = 2;

}  // namespace

RowPress PressOf(const QMouseEvent& event, bool doubleClick) {
  RowPress p;
  p.rightButton = event.button() == Qt::RightButton;
  p.doubleClick = doubleClick;
  p.shift = event.modifiers().testFlag(Qt::ShiftModifier);
  p.ctrl = event.modifiers().testFlag(Qt::ControlModifier);
  return p;
}

RowCheckBox::RowCheckBox(int channel, QWidget* parent) : QCheckBox(parent), channel_(channel) {
  setObjectName(QStringLiteral("CheckBox%1").arg(channel));
}

void RowCheckBox::mousePressEvent(QMouseEvent* event) {
  emit pressed(channel_, PressOf(*event, false));
  // Right presses are gestures only; the left button still toggles the box.
  if (event->button() == Qt::RightButton) return event->accept();
  QCheckBox::mousePressEvent(event);
}

ValuePanel::ValuePanel(int channel, QWidget* parent) : QLabel(parent), channel_(channel) {
  setObjectName(QStringLiteral("Panel%1").arg(channel));
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setLineWidth(kPanelBevel);
  setAlignment(Qt::AlignCenter);
}

void ValuePanel::mousePressEvent(QMouseEvent* event) {
  emit pressed(channel_, PressOf(*event, false));
  event->accept();
}

void ValuePanel::mouseDoubleClickEvent(QMouseEvent* event) {
  emit pressed(channel_, PressOf(*event, true));
  event->accept();
}

}  // namespace kev::ui
