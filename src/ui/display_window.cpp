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
#include "ui/qt_compat.h"
#include "ui/row_widgets.h"
#include "ui/window_rules.h"
#include "ui/x11_window.h"

namespace kev::ui {
namespace {

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

// Captions and order from the settings go on the window before the first
// sample, which may bring it up with an alarm.
void TDisplay::AddTrayIcon() {
  refreshRows();
  tray_->show();
}

void TDisplay::SetTrayImage(bool alarm) { setImage(ImageFor(isVisible(), alarm)); }

void TDisplay::OpenWindow(bool alarm) {
  if (WindowMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
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
  if (core_.settings->AlwaysOnTop) {
    SetTopmost();
  } else {
    ClearTopmost();
  }
  // No taskbar entry while a tray holds the window: set before it is mapped,
  // and once more after, as Qt makes the native window anew when its flags changed.
  SetSkipTaskbar(this, trayMode_);
  QTimer::singleShot(0, this, [this] {
    if (isVisible()) SetSkipTaskbar(this, trayMode_);
  });
}

void TDisplay::SetTopmost() { setTopmostFlag(true); }

void TDisplay::ClearTopmost() { setTopmostFlag(false); }

void TDisplay::setTopmostFlag(bool on) {
  topmost_ = on;
  if (windowHandle() == nullptr) create();
  // Through the window handle: QWidget::setWindowFlag would hide the window.
  // Each real change makes Qt build the native window anew at the next show.
  if (windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint) != on) {
    windowHandle()->setFlag(Qt::WindowStaysOnTopHint, on);
  }
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
  if (WindowVisible()) {
    CloseWindow(false);
  } else {
    OpenWindow(false);
  }
}

void TDisplay::TrayToggle() {
  if (lastToggle_.isValid() && lastToggle_.elapsed() < QApplication::doubleClickInterval()) return;
  lastToggle_.start();
  TrayDoubleClick();
  // An open dialog stays in front of the window it belongs to.
  if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && isVisible()) {
    ForceForeground(modal);
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
  // Modal to the monitor window only: the tray icon keeps answering.
  dialog->setParent(this, dialog->windowFlags());
  dialog->setWindowModality(Qt::WindowModal);
  SetFixedDialogFrame(dialog);
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
  return ui::ShowCountDown(this, QString::fromStdString(message));
}

void TDisplay::PlaySoundAsync(const std::string& path) {
  if (core_.playSound) core_.playSound(path);
}

// The save before a power action: a hung or dying disk must not keep the
// request from going out.
bool TDisplay::SaveSettings() {
  constexpr std::chrono::milliseconds kDeadline{1000};
  FlushLogs(*ctx_, kDeadline);  // logs that failed are saved as off
  storePosition();
  if (core_.saveWithin) return core_.saveWithin(kDeadline).ok;
  return core_.save && core_.save().ok;
}

void TDisplay::storePosition() {
  // A position moved onto a screen at start is not the user's choice.
  const QPoint p = pos() == placedAt_ ? stored_ : pos();
  core_.settings->xPosition = p.x();
  core_.settings->yPosition = p.y();
}

bool TDisplay::PowerPrivilege(PowerAction action) {
  return core_.power != nullptr && core_.power->MayRequest(action);
}

bool TDisplay::RequestPower(PowerAction action) {
  return core_.power != nullptr && core_.power->Request(action);
}

void TDisplay::SaveAndCleanUp(bool quiet) {
  if (cleanedUp_) return;
  cleanedUp_ = true;
  FlushLogs(*ctx_);
  storePosition();
  const SaveResult r = core_.save ? core_.save() : SaveResult{};
  tray_->hide();
  RemoveTransparency();
  if (r.ok) return;
  const QString text =
      QStringLiteral("The settings could not be saved: %1").arg(QString::fromStdString(r.error));
  if (quiet) {
    if (core_.reportProblem) core_.reportProblem(text.toStdString());
  } else {
    QMessageBox::warning(nullptr, QStringLiteral("Kevatra"), text);
  }
}

void TDisplay::Stop() {
  SaveAndCleanUp(true);
  emit exitRequested();
}

void TDisplay::closeEvent(QCloseEvent* event) {
  // The window manager's close (Alt+F4, a taskbar's Close) only hides it.
  if (event->spontaneous()) {
    event->ignore();
    HideWindow();
    return;
  }
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
  if (event->button() == Qt::LeftButton && inDragStrip(EventPos(event))) {
    dragOffset_ = EventGlobalPos(event) - pos();
  }
  event->accept();
}

void TDisplay::mouseMoveEvent(QMouseEvent* event) {
  if (dragOffset_) moveSnapped(EventGlobalPos(event) - *dragOffset_);
}

void TDisplay::mouseReleaseEvent(QMouseEvent* event) {
  dragOffset_.reset();
  if (event->button() == Qt::RightButton && inDragStrip(EventPos(event))) {
    ShowTrayMenu(EventGlobalPos(event));
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
