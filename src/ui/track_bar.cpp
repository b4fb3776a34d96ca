#include "ui/track_bar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

namespace kev::ui {

namespace {
constexpr int kBandHeight = 4;
const QColor kBandColor(0x33, 0x66, 0xcc);
}  // namespace

TTrackBar::TTrackBar(int minimum, int maximum, QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setRange(minimum, maximum);
  setSingleStep(1);
  setPageStep(1);
  setTickPosition(QSlider::TicksBelow);
  setTickInterval(qMax(1, (maximum - minimum) / 10));
}

void TTrackBar::SetBand(int start, int end) {
  bandStart_ = start;
  bandEnd_ = end;
  update();
}

void TTrackBar::SetMapped(int value) {
  setValue(inverted_ ? maximum() + minimum() - value : value);
}

int TTrackBar::Mapped() const { return inverted_ ? maximum() + minimum() - value() : value(); }

void TTrackBar::paintEvent(QPaintEvent* event) {
  QSlider::paintEvent(event);
  if (bandStart_ > bandEnd_) return;
  QStyleOptionSlider opt;
  initStyleOption(&opt);
  const QRect groove =
      style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
  const int handle =
      style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this).width();
  const int span = groove.width() - handle;
  const auto x = [&](int v) {
    return groove.left() + handle / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), v, span, opt.upsideDown);
  };
  const int left = qMin(x(bandStart_), x(bandEnd_));
  const int right = qMax(x(bandStart_), x(bandEnd_));
  QPainter p(this);
  p.fillRect(QRect(left, groove.top() - kBandHeight - 1, qMax(right - left, 2), kBandHeight),
             kBandColor);
}

}  // namespace kev::ui
