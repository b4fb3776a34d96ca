// TDisplay, the monitor window: fifteen rows in three framed groups, the
// "Close" and "Refresh" tool buttons, the sampling timer, the popup menu and
// the tray icon. It is the sampling cycle's host and binds every widget to
// the core's row model and operations.
#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
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
  std::function<SaveResult()> save;                        // writes the settings file
  std::function<void(const std::string& path)> playSound;  // returns at once
  SystemPower* power = nullptr;                            // null: power requests refused
  std::function<bool()> portAccess;                        // asked again after a resume
  std::function<bool()> trayAvailable;                     // the desktop shows tray icons
  QString documentationAddress;                            // the About box's link
  std::vector<HardwareOwner> owners;   // kernel drivers on the hardware (--force), for Info
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
  bool WindowVisible() const override { return isVisible(); }
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
  void SaveAndCleanUp();
  void ShowTrayMenu(const QPoint& at);
  // Runs a dialog of the popup menu modally beside the window.
  void RunMenuDialog(QAction* item, QWidget* dialog);

  // Tray mouse: a double click toggles the window, a single click brings the
  // open window and its dialogs to the front.
  void TrayDoubleClick();
  void TrayClick();

 public slots:
  void PowerSuspend();
  void PowerResume();

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
  uint32_t asmsMode_ = 0;  // the command line's board switch, for later detections
  std::optional<QPoint> dragOffset_;
};

}  // namespace kev::ui
