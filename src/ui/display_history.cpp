// The monitor window's part in the history: the logs read in at start-up
// and the "History" menu item's window.
#include <QAction>
#include <QGuiApplication>
#include <QScreen>

#include "ui/display.h"
#include "ui/history_window.h"
#include "ui/window_rules.h"

namespace kev::ui {

void TDisplay::ImportHistory() { historyImport_ = ImportChannelLogs(*ctx_, *history_); }

void TDisplay::miHistoryClick() {
  if (historyWindow_ != nullptr) return;
  QString note;
  if (historyImport_.readings > 0 || historyImport_.skipped > 0) {
    note = QStringLiteral(
               "From the channel logs: %1 readings; %2 lines that are no log lines "
               "were skipped.")
               .arg(historyImport_.readings)
               .arg(historyImport_.skipped);
  }
  auto* window = new HistoryWindow(
      *history_,
      [this] { return CheckedPlotRows(*rows_, *core_.settings, *core_.detect, *core_.channels); },
      note, this);
  window->setAttribute(Qt::WA_DeleteOnClose);
  historyWindow_ = window;
  // Like the menu's dialogs: the item is off while its window is open, and
  // a topmost monitor window steps back meanwhile.
  miHistory_->setEnabled(false);
  // Bound to the item: gone when the program ends with the window open.
  connect(window, &QObject::destroyed, miHistory_, [this] {
    miHistory_->setEnabled(true);
    if (core_.settings->AlwaysOnTop) SetTopmost();
  });
  connect(this, &TDisplay::sampled, window, &HistoryWindow::refresh);
  const QSize screenSize =
      (screen() != nullptr ? screen() : QGuiApplication::primaryScreen())->size();
  const Point at = DialogPosition({x(), y()}, width(), height(), window->width(), window->height(),
                                  screenSize.width(), screenSize.height());
  window->move(at.x, at.y);
  if (core_.settings->AlwaysOnTop) ClearTopmost();
  window->show();
}

}  // namespace kev::ui
