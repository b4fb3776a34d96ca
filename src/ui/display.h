// TDisplay, the monitor window: fifteen rows in three framed groups, the
// "Close" and "Refresh" tool buttons, the sampling timer, the popup menu and
// the tray icon. It is the sampling cycle's host and binds every widget to
// the core's row model and operations.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "detect/ownership.h"
#include "monitor/channel_history.h"
#include "monitor/history_import.h"
#include "monitor/monitor_context.h"
#include "monitor/row_model.h"
#include "monitor/startup.h"
#include "monitor/system_power.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class QToolButton;

namespace kev::ui {

class RowCheckBox;
class ValuePanel;

// What the window works on. The program entry owns every object named here
// and keeps it alive for the window's life.
struct DisplayCore {
  PortIo* io = nullptr;
  MonitorSettings* settings = nullptr;
  DetectState* detect = nullptr;
  ChannelSet* channels = nullptr;
  OsVersion os;
  LogSeams log;
  NumberFormat numbers;
  StartupEnv startup;
  std::function<SaveResult()> save;  // writes the settings file
  // The same, giving up after the deadline (the file is then left to finish).
  std::function<SaveResult(std::chrono::milliseconds)> saveWithin;
  std::function<void(const std::string& path)> playSound;  // returns at once
  SystemPower* power = nullptr;                            // null: power requests refused
  std::function<bool()> portAccess;                        // asked again after a resume
  std::function<bool()> trayAvailable;                     // the desktop shows tray icons
  std::function<void(uint64_t ms)> advanceClock;           // a simulated board's time
  // A problem the user must hear of when no dialog may wait (stop signals).
  std::function<void(const std::string& text)> reportProblem;
  QString documentationAddress;       // the About box's link
  std::vector<HardwareOwner> owners;  // kernel drivers on the hardware (--force), for Info
  ChannelHistory::Clock historyClock;  // the history's time; null: the system clock
};

class TDisplay : public QWidget, public StartupHost {
  Q_OBJECT
 public:
  explicit TDisplay(DisplayCore core, QWidget* parent = nullptr);
  ~TDisplay() override;

  // The one-time start-up sequence; later calls do nothing.
  void RunStartup();
  bool startupDone() const { return startup_.done(); }

  MonitorContext& context() { return *ctx_; }
  RowModel& rows() { return *rows_; }
  int trayImage() const { return trayImage_; }
  bool topmost() const { return topmost_; }
  QMenu* popupMenu() const { return menu_; }
  QSystemTrayIcon* trayIcon() const { return tray_; }
  ChannelHistory& history() { return *history_; }
  QWidget* historyWindow() const { return historyWindow_; }

  // StartupHost
  void SettingsLoaded(MonitorSettings& settings) override;
  void ApplyTransparency(int32_t percent) override;
  void AddTrayIcon() override;
  void SetRefreshVisible(bool visible) override;
  // MonitorHost
  void SetPanelText(int channel, const std::string& text) override;
  bool WindowVisible() const override { return isVisible() && !WindowMinimized(); }
  void OpenWindow(bool alarm) override;
  void SetTrayImage(bool alarm) override;
  bool ShowCountDown(const std::string& message) override;
  void PlaySoundAsync(const std::string& path) override;
  bool SaveSettings() override;
  bool PowerPrivilege(PowerAction action) override;
  bool RequestPower(PowerAction action) override;

  void CloseWindow(bool alarm);
  void RefreshNow();
  void SetTopmost();
  void ClearTopmost();
  void RemoveTransparency();
  bool ForceForeground(QWidget* window);
  // Saves and removes the tray icon; a failed save is shown in a message
  // box, or only reported when quiet.
  void SaveAndCleanUp(bool quiet = false);
  void ShowTrayMenu(const QPoint& at);
  // Runs a dialog of the popup menu modally beside the window.
  void RunMenuDialog(QAction* item, QWidget* dialog);

  // Tray mouse: a click toggles the window (the clicks of a double click
  // count once), a middle click brings the open window and its dialogs to the front.
  void TrayToggle();
  void TrayDoubleClick();
  void TrayClick();
  // The window's "Close" button and the window manager's close: into the
  // tray, or minimised while there is no tray to come back from.
  void HideWindow();
  bool trayMode() const { return trayMode_; }
  bool WindowMinimized() const;

 public slots:
  void PowerSuspend();
  void PowerResume();
  // A tray may have come or gone: the window follows.
  void CheckTray();
  // Another start of the program asks for the window.
  void ShowFromAnotherStart();
  // A stop signal: save and end without waiting on any dialog.
  void Stop();

 signals:
  // The program should end (after "Exit", or when port access is lost).
  void exitRequested();
  // A sampling cycle has run.
  void sampled();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void buildGroups(QWidget* client);
  void buildButtons(QWidget* client);
  void buildMenu();
  void bindRows();
  void refreshRows();
  void onCheckBoxClicked(int channel, bool checked);
  void onCheckBoxPress(int channel, RowPress press);
  void onPanelPress(int channel, RowPress press);
  void onTimer();
  void sample();
  void applyTrayMode(bool tray);
  void storePosition();
  void setTopmostFlag(bool on);
  QPoint onScreen(QPoint stored) const;
  void moveSnapped(QPoint topLeft);
  void setImage(int number);
  void miAboutClick();
  void miSettingClick();
  void miInfoClick();
  void miHistoryClick();
  void ImportHistory();
  bool inDragStrip(QPoint local) const;

  DisplayCore core_;
  std::unique_ptr<MonitorContext> ctx_;
  std::unique_ptr<RowModel> rows_;
  std::unique_ptr<ChannelHistory> history_;
  LogImport historyImport_;
  QPointer<QWidget> historyWindow_;  // the open History window
  StartupSequence startup_;

  std::array<RowCheckBox*, kChannelCount> boxes_{};
  std::array<ValuePanel*, kChannelCount> panels_{};
  QToolButton* closeButton_ = nullptr;
  QToolButton* refreshButton_ = nullptr;
  QWidget* refreshBar_ = nullptr;
  QTimer* timer_ = nullptr;
  QMenu* menu_ = nullptr;
  QAction* miOpen_ = nullptr;
  QAction* miClose_ = nullptr;
  QAction* miSetting_ = nullptr;
  QAction* miAbout_ = nullptr;
  QAction* miInfo_ = nullptr;
  QAction* miHistory_ = nullptr;
  QAction* miExit_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;

  int trayImage_ = 1;
  bool topmost_ = false;
  bool cleanedUp_ = false;
  int dialogsOpen_ = 0;
  bool trayMode_ = true;      // the window lives in a tray (else it minimises)
  QElapsedTimer lastToggle_;  // the last tray click that toggled
  QElapsedTimer lastSample_;  // wall time for a simulated board's manual samples
  QPoint stored_;             // the position the settings gave
  QPoint placedAt_;           // where the window went for it (on a screen)
  uint32_t asmsMode_ = 0;     // the command line's board switch, for later detections
  std::optional<QPoint> dragOffset_;
};

}  // namespace kev::ui
