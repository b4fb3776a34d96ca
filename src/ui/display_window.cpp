// The monitor window's behaviour as a window: opening and closing, the tray
// image, topmost, transparency, dragging with edge snapping, the menu's
// dialogs, power events and the clean-up at exit.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

#include "detect/detect.h"
#include "monitor/sampling.h"
#include "ui/about.h"
#include "ui/count_down.h"
#include "ui/display.h"
#include "ui/info.h"
#include "ui/program_images.h"
#include "ui/row_widgets.h"
#include "ui/window_rules.h"

namespace kev::ui {
namespace {

// Right of this client x the window can be dragged (the tool-button strip).
constexpr int kDragStripLeft = 227;
constexpr double kOpaqueAlpha = 255.0;

int ImageFor(bool open, bool alarm) {
  if (open) return alarm ? kTrayOpenAlarm : kTrayOpen;
  return alarm ? kTrayClosedAlarm : kTrayClosed;
}

}  // namespace

void TDisplay::setImage(int number) {
  // Every sample sets the icon, and painting it costs far more than the sample.
  if (number == trayImage_ && !tray_->icon().isNull()) return;
  trayImage_ = number;
  tray_->setIcon(TrayImage(number));
}

void TDisplay::AddTrayIcon() { tray_->show(); }

void TDisplay::SetTrayImage(bool alarm) { setImage(ImageFor(isVisible(), alarm)); }

void TDisplay::OpenWindow(bool alarm) {
  show();
  setImage(ImageFor(true, alarm));
  miOpen_->setEnabled(false);
  miClose_->setEnabled(true);
  core_.settings->MonitorWindowMode = true;
  RefreshNow();
}

void TDisplay::CloseWindow(bool alarm) {
  hide();
  setImage(ImageFor(false, alarm));
  miClose_->setEnabled(false);
  miOpen_->setEnabled(true);
  core_.settings->MonitorWindowMode = false;
}

void TDisplay::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Come to the top once; stay there only when asked to.
  raise();
  SetTopmost();
  if (!core_.settings->AlwaysOnTop) ClearTopmost();
}

void TDisplay::SetTopmost() {
  if (windowHandle() == nullptr) create();
  // Through the window handle: QWidget::setWindowFlag would hide the window.
  windowHandle()->setFlag(Qt::WindowStaysOnTopHint, true);
  topmost_ = true;
}

void TDisplay::ClearTopmost() {
  if (windowHandle() == nullptr) create();
  windowHandle()->setFlag(Qt::WindowStaysOnTopHint, false);
  topmost_ = false;
}

void TDisplay::ApplyTransparency(int32_t percent) {
  setWindowOpacity(TransparencyAlpha(percent) / kOpaqueAlpha);
}

void TDisplay::RemoveTransparency() { setWindowOpacity(1.0); }

bool TDisplay::ForceForeground(QWidget* window) {
  if (window == nullptr || !window->isVisible()) return false;
  window->raise();
  window->activateWindow();
  return true;
}

void TDisplay::ShowTrayMenu(const QPoint& at) {
  QCoreApplication::processEvents();
  if (isVisible()) activateWindow();
  menu_->popup(at);
}

void TDisplay::TrayDoubleClick() {
  if (isVisible()) {
    CloseWindow(false);
  } else {
    OpenWindow(false);
  }
}

void TDisplay::TrayClick() {
  // Nothing to bring forward while the window is closed and no dialog is open.
  if (miOpen_->isEnabled() && dialogsOpen_ == 0) return;
  if (core_.settings->AlwaysOnTop || isActiveWindow()) return;
  ForceForeground(this);
  ForceForeground(QApplication::activeModalWidget());
  RefreshNow();
}

void TDisplay::RunMenuDialog(QAction* item, QWidget* dialog) {
  item->setEnabled(false);
  ++dialogsOpen_;
  const QSize screenSize =
      (screen() != nullptr ? screen() : QGuiApplication::primaryScreen())->size();
  const Point at = DialogPosition({x(), y()}, width(), height(), dialog->width(), dialog->height(),
                                  screenSize.width(), screenSize.height());
  dialog->move(at.x, at.y);
  // A topmost monitor window must not cover the dialog.
  if (core_.settings->AlwaysOnTop) ClearTopmost();
  if (auto* modal = qobject_cast<QDialog*>(dialog)) modal->exec();
  delete dialog;
  --dialogsOpen_;
  item->setEnabled(true);
  if (core_.settings->AlwaysOnTop) SetTopmost();
}

void TDisplay::miAboutClick() {
  RunMenuDialog(miAbout_, new TAbout(nullptr, core_.documentationAddress));
}

void TDisplay::miInfoClick() {
  // The rows as they read when "Clip" is pressed.
  auto windowText = [this] {
    report::MonitorWindowText w;
    for (size_t i = 0; i < w.labels.size(); ++i) {
      w.labels[i] = (*core_.channels)[i].ChannelLabel;
      w.texts[i] = panels_[i]->text().toStdString();
    }
    return w;
  };
  RunMenuDialog(miInfo_, new TInfo(nullptr, {core_.io, core_.settings, core_.detect, windowText,
                                             core_.owners}));
}

bool TDisplay::ShowCountDown(const std::string& message) {
  return ui::ShowCountDown(nullptr, QString::fromStdString(message));
}

void TDisplay::PlaySoundAsync(const std::string& path) {
  if (core_.playSound) core_.playSound(path);
}

bool TDisplay::SaveSettings() {
  FlushLogs(*ctx_);  // logs that failed are saved as off
  core_.settings->xPosition = x();
  core_.settings->yPosition = y();
  return core_.save && core_.save().ok;
}

bool TDisplay::PowerPrivilege(PowerAction action) {
  return core_.power != nullptr && core_.power->MayRequest(action);
}

bool TDisplay::RequestPower(PowerAction action) {
  return core_.power != nullptr && core_.power->Request(action);
}

void TDisplay::SaveAndCleanUp() {
  if (cleanedUp_) return;
  cleanedUp_ = true;
  FlushLogs(*ctx_);
  core_.settings->xPosition = x();
  core_.settings->yPosition = y();
  const SaveResult r = core_.save ? core_.save() : SaveResult{};
  if (!r.ok) {
    QMessageBox::warning(
        nullptr, QStringLiteral("Kevatra"),
        QStringLiteral("The settings could not be saved: %1").arg(QString::fromStdString(r.error)));
  }
  tray_->hide();
  RemoveTransparency();
}

void TDisplay::closeEvent(QCloseEvent* event) {
  SaveAndCleanUp();
  event->accept();
  emit exitRequested();
}

void TDisplay::PowerSuspend() { timer_->stop(); }

void TDisplay::PowerResume() {
  if (IsNtFamily(core_.os) && core_.portAccess && !core_.portAccess()) {
    SaveAndCleanUp();
    emit exitRequested();
    return;
  }
  if (core_.settings->IntervalTime > 0) timer_->start(core_.settings->IntervalTime);
  // The chip may have lost its set-up while the machine slept.
  ConfigureChip(*core_.io, *core_.settings, *core_.detect);
}

bool TDisplay::inDragStrip(QPoint local) const {
  return local.x() > kDragStripLeft && local.x() < width() && local.y() > 0 && local.y() < height();
}

void TDisplay::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && inDragStrip(event->position().toPoint())) {
    dragOffset_ = event->globalPosition().toPoint() - pos();
  }
  event->accept();
}

void TDisplay::mouseMoveEvent(QMouseEvent* event) {
  if (dragOffset_) moveSnapped(event->globalPosition().toPoint() - *dragOffset_);
}

void TDisplay::mouseReleaseEvent(QMouseEvent* event) {
  dragOffset_.reset();
  if (event->button() == Qt::RightButton && inDragStrip(event->position().toPoint())) {
    ShowTrayMenu(event->globalPosition().toPoint());
  }
}

void TDisplay::moveSnapped(QPoint topLeft) {
  const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  const QRect work = s->availableGeometry();
  const ScreenRect area{work.left(), work.top(), work.left() + work.width(),
                        work.top() + work.height()};
  const Point p = SnapToEdges({topLeft.x(), topLeft.y()}, width(), height(), area);
  move(p.x, p.y);
}

}  // namespace kev::ui
