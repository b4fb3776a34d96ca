#include "ui/count_down.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "ui/x11_window.h"

namespace kev::ui {
namespace {

constexpr QSize kClientSize(305, 123);
constexpr QRect kFrameRect(8, 8, 289, 73);
// The message may use the frame's whole inner width, beyond the form's 257.
constexpr QRect kLabelRect(24, 24, 265, 16);
constexpr int kFontPixels = 12;
constexpr QRect kBarRect(24, 48, 257, 16);
constexpr QRect kCancelRect(223, 92, 75, 25);

}  // namespace

TCount::TCount(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint) {
  setWindowTitle("Count Down");
  setFixedSize(kClientSize);
  // A pixel size keeps the message within the form whatever the desktop's font size.
  QFont f = font();
  f.setPixelSize(kFontPixels);
  setFont(f);

  auto* frame = new QFrame(this);
  frame->setObjectName("Bevel1");
  frame->setFrameShape(QFrame::Box);
  frame->setFrameShadow(QFrame::Sunken);
  frame->setGeometry(kFrameRect);

  label_ = new QLabel(this);
  label_->setObjectName("Label1");
  label_->setGeometry(kLabelRect);

  bar_ = new QProgressBar(this);
  bar_->setObjectName("ProgressBar1");
  bar_->setGeometry(kBarRect);
  bar_->setMinimum(0);
  bar_->setValue(0);
  bar_->setTextVisible(false);

  cancel_ = new QPushButton("Cancel", this);
  cancel_->setObjectName("Cancel");
  cancel_->setGeometry(kCancelRect);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  timer_ = new QTimer(this);
  timer_->setObjectName("Timer1");
  timer_->setInterval(kCountDownStepMs);
  connect(timer_, &QTimer::timeout, this, &TCount::Timer1Timer);

  CentreOnScreen();
}

void TCount::setMessage(const QString& message) { label_->setText(message); }

void TCount::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  bar_->setMaximum(length_ * kCountDownStepsPerSecond);
  timer_->start();
}

void TCount::Timer1Timer() {
  bar_->setValue(bar_->value() + 1);
  if (bar_->value() == bar_->maximum()) {
    timer_->stop();
    accept();
  }
}

// Placing the dialog before it is shown also keeps Qt from centring it on
// its parent, the monitor window.
void TCount::CentreOnScreen() {
  const QScreen* screen =
      parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

bool ShowCountDown(QWidget* parent, const QString& message, int seconds) {
  // The dialog may be destroyed with its parent inside the nested loop.
  QPointer<TCount> dialog = new TCount(parent);
  // Modal to its window only: the tray icon keeps answering.
  if (parent != nullptr) dialog->setWindowModality(Qt::WindowModal);
  SetFixedDialogFrame(dialog);
  dialog->setMessage(message);
  dialog->setLength(seconds);
  const int result = dialog->exec();
  delete dialog.data();
  return result == QDialog::Rejected;
}

}  // namespace kev::ui
