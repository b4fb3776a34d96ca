// TSetting, the settings dialog: twelve tabs that edit MonitorSettings.
// The fill reads the record (and may change it: the log folder check and
// actions the system cannot perform); "Ok" copies the controls back, applies
// the interval, Refresh button, transparency and start-at-login entry, and
// runs detection and chip set-up again; "Cancel" drops the edits.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "detect/records.h"
#include "hw/portio.h"
#include "hw/uinit.h"
#include "monitor/value_text.h"
#include "settings/autostart.h"
#include "settings/monitor_settings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace kev::ui {

class TTrackBar;

// What the dialog works on; the monitor window supplies it.
struct SettingEnv {
  MonitorSettings* settings = nullptr;
  DetectState* detect = nullptr;
  PortIo* io = nullptr;
  OsVersion os;
  NumberFormat numbers;
  uint32_t asmsMode = 0;  // board-switch override from the command line
  std::optional<AutostartPlace> autostart;
  bool japanese = false;  // the user's locale: language of the folder prompt
  std::function<std::string(int channel)> channelLabel;
  std::function<void(const std::string& path)> playSound;
  // Ok's effects on the monitor window.
  std::function<void(int32_t ms)> setInterval;
  std::function<void(bool visible)> setRefreshVisible;
  std::function<void(int32_t percent)> applyTransparency;
};

// Which of the shutdown and suspend actions a system can perform.
enum class PowerActions { Both, ShutdownOnly, None };
PowerActions AvailablePowerActions(const OsVersion& os);

// The folder prompt's texts.
inline constexpr const char* kConfirmTitle = "確認";
inline constexpr const char* kMissingFolderJa =
    "指定されたディレクトリが存在しません。作成しますか?";
inline constexpr const char* kMissingFolderEn = "Designated Directory Does Not Exist. Make It?";

// Makes dir end in "/" and, when check is set, makes sure the folder exists:
// askCreate is asked whether to create a missing one; a folder that still
// does not exist empties dir. An empty dir stays empty.
void NormalizeLogDirectory(std::string& dir, bool check, const std::function<bool()>& askCreate);

// Value-panel texts.
QString FormatFanLimit(int32_t chipKind, int32_t divisor, int32_t ppr, int32_t count);
QString FormatTemperature(int t);
QString FormatInterval(int seconds);
QString FormatLogSize(int kilobytes);

class TSetting : public QDialog {
  Q_OBJECT
 public:
  // Fills the controls at once (this may ask about a missing log folder).
  TSetting(SettingEnv env, QWidget* parent = nullptr);

  // The number of slider n, 1..29.
  static constexpr int kTrackBars = 29;
  static constexpr int kCheckBoxes = 29;

 private:
  // Frame and sequences (setting.cpp).
  void FillFromSettings();
  void BitBtn1Click();
  void EnableOk();
  QWidget* AddPage(const char* caption);
  TTrackBar* AddTrackBar(QWidget* page, int number, int row, const char* caption, int min, int max);
  QCheckBox* AddCheckBox(QWidget* page, int number, const QRect& at, const char* caption);
  void ConnectOkEnabling();

  // Limit tabs (setting_limits.cpp).
  void BuildLimitTabs();
  void BuildFanTab();
  void BuildTempTab(int n);
  void BuildVoltTab(int tab);
  void BuildIntervalTab();
  void FillLimitRadios();
  void SetTempLimitBands();
  void FillLimitTooltips();
  void FillLimitPositions();
  void UpdatePanel(int number);
  void FillSensorBoxes();
  void FillSensorCombos();
  void SensorBoxClick(int n);
  void OkLimits();
  void OkSensorAddresses();
  QString PanelText(int number) const;

  // Log File, Error Action, General Item (setting_general.cpp).
  void BuildLogTab();
  void BuildActionTab();
  void BuildGeneralTab();
  void FillActions();
  void FillAccessBoxes();
  void FillEdits();
  void FillGeneralBoxes();
  void FillDiodeBoxes();
  void FillGeneralEdits();
  void SetSoundRowsEnabled(bool on);
  void SpeedButtonClick(int n);
  void CheckBox22Click();
  void Edit6Edited();
  void Button1Click();
  void PickSoundFile(int row);
  void OkGeneral();
  void OkActions();
  void OkPortAndTransparency();
  bool AskCreateFolder();

  SettingEnv env_;
  MonitorSettings& s_;
  QTabWidget* tabs_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::array<TTrackBar*, kTrackBars + 1> trackBars_{};
  std::array<QLabel*, kTrackBars + 1> panels_{};
  std::array<QCheckBox*, kCheckBoxes + 1> checkBoxes_{};
  std::array<QButtonGroup*, 5> radioGroups_{};  // 1..4
  std::array<QComboBox*, 3> combos_{};          // 1..2
  std::array<QLineEdit*, 7> edits_{};           // 1..6
  std::array<QPushButton*, 8> buttons_{};       // 1..7
  std::array<QToolButton*, 5> speedButtons_{};  // 1..4
  std::array<QGroupBox*, 5> actionFrames_{};    // 1..4
  std::array<QFileDialog*, 4> openDialogs_{};   // 1..3
  QLabel* portUnit_ = nullptr;                  // "h"
  QLabel* transparencyCaption_ = nullptr;
  QLabel* transparencyUnit_ = nullptr;  // "%"
  QString lastTransparency_ = QStringLiteral("0");
  bool edit1Typed_ = false;
};

}  // namespace kev::ui
