// The limit tabs: Fan, Temp1-3, Volt1-4 and Interval Time.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

#include "detect/records.h"
#include "monitor/volt_convert.h"
#include "ui/setting.h"
#include "ui/track_bar.h"

namespace kev::ui {

namespace {

constexpr int kFanSliders = 1;    // TrackBar1..3
constexpr int kTempSliders = 4;   // TrackBar4..9: limit, adjustor per channel
constexpr int kVoltSliders = 10;  // TrackBar10..27: upper, lower per input
constexpr int kIntervalSlider = 28;
constexpr int kLogSizeSlider = 29;
constexpr int kFanMin = 11, kFanMax = 254;
constexpr int kTempMin = -55, kTempMax = 125;
constexpr int kVoltMin = 1, kVoltMax = 255;
constexpr int kIntervalMaxSeconds = 300;
constexpr int32_t kMsPerSecond = 1000;
constexpr int kVoltTabs = 4;
// Inputs on each Volt tab: 1-3, 4-5, 6-7, 8-9.
constexpr std::array<int, kVoltTabs + 1> kVoltTabStart{0, 3, 5, 7, 9};
// Highlighted bands of the temperature sliders.
constexpr int kBandEnd = 125;
constexpr int kBandLow = 50, kBandHigh = 70;
constexpr int kLastBoardCaption = 8;  // caption indexes up to here name board sensors

constexpr std::array<const char*, 3> kFanCaptions{
    "Fan 1  Speed Limit:", "Fan 2  Speed Limit:", "Fan 3  Speed  Limit:"};

bool IsFanSlider(int number) { return number >= kFanSliders && number < kTempSliders; }
bool IsTempSlider(int number) { return number >= kTempSliders && number < kVoltSliders; }
bool IsVoltSlider(int number) { return number >= kVoltSliders && number < kIntervalSlider; }

// The record field of limit slider 1..27.
int32_t& LimitField(MonitorSettings& s, int number) {
  if (IsFanSlider(number)) return FanLimit(s, number - kFanSliders);
  if (IsTempSlider(number)) {
    const int k = number - kTempSliders;
    return k % 2 == 0 ? TempLimit(s, k / 2) : TempAdjustor(s, k / 2);
  }
  const int k = number - kVoltSliders;
  return k % 2 == 0 ? VoltULimit(s, k / 2) : VoltLLimit(s, k / 2);
}

// The channel 1..15 a limit slider belongs to.
int SliderChannel(int number) {
  if (IsFanSlider(number)) return number - kFanSliders + 1;
  if (IsTempSlider(number)) return 4 + (number - kTempSliders) / 2;
  return 7 + (number - kVoltSliders) / 2;
}

QButtonGroup* AddRadioGroup(QWidget* page, QObject* owner, int number, const QRect& at,
                            const QString& title, const QStringList& items) {
  auto* box = new QGroupBox(title, page);
  box->setObjectName(QStringLiteral("RadioGroup%1").arg(number));
  box->setGeometry(at);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(8, 0, 8, 0);  // the style's margins would leave the buttons no height
  auto* group = new QButtonGroup(owner);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], box);
    row->addWidget(button);
    group->addButton(button, i);
  }
  return group;
}

QComboBox* AddSensorCombo(QWidget* page, int number, const QRect& at) {
  auto* combo = new QComboBox(page);
  combo->setObjectName(QStringLiteral("ComboBox%1").arg(number));
  combo->setGeometry(at);
  combo->addItem(QStringLiteral("[Auto]"));
  for (uint8_t address : TempSensorAddressList) {
    combo->addItem(QStringLiteral("  ") +
                   QStringLiteral("%1").arg(address, 2, 16, QLatin1Char('0')).toUpper() +
                   QStringLiteral("h"));
  }
  return combo;
}

}  // namespace

void TSetting::BuildLimitTabs() {
  BuildFanTab();
  for (int n = 0; n < 3; ++n) BuildTempTab(n);
  for (int tab = 0; tab < kVoltTabs; ++tab) BuildVoltTab(tab);
  BuildIntervalTab();
}

void TSetting::BuildFanTab() {
  QWidget* page = AddPage("Fan");
  for (int n = 0; n < 3; ++n) {
    TTrackBar* bar = AddTrackBar(page, kFanSliders + n, n, kFanCaptions[static_cast<size_t>(n)],
                                 kFanMin, kFanMax);
    bar->SetInverted(true);
    const QString title = QStringLiteral(" Fan %1  Pulses Per Revolution ").arg(n + 1);
    radioGroups_[static_cast<size_t>(n + 1)] =
        AddRadioGroup(page, this, n + 1, QRect(10, 166 + n * 54, 370, 48), title,
                      {QStringLiteral("1 PPR"), QStringLiteral("2 PPR")});
  }
}

void TSetting::BuildTempTab(int n) {
  QWidget* page = AddPage(QStringLiteral("Temp%1").arg(n + 1).toLatin1().constData());
  const QByteArray limit = QStringLiteral("Temperature %1  Limit:").arg(n + 1).toLatin1();
  const QByteArray adjustor = QStringLiteral("Temperature %1  Adjustor:").arg(n + 1).toLatin1();
  AddTrackBar(page, kTempSliders + 2 * n, 0, limit.constData(), kTempMin, kTempMax);
  AddTrackBar(page, kTempSliders + 2 * n + 1, 1, adjustor.constData(), kTempMin, kTempMax);
  if (n == 0) return;
  const QByteArray mode = QStringLiteral("Temperature %1 - SMBus Mode").arg(n + 1).toLatin1();
  QCheckBox* box = AddCheckBox(page, n, QRect(10, 120, 250, 20), mode.constData());
  QComboBox* combo = AddSensorCombo(page, n, QRect(30, 146, 100, 22));
  combos_[static_cast<size_t>(n)] = combo;
  connect(box, &QCheckBox::clicked, this, [this, n] { SensorBoxClick(n); });
  connect(combo, qOverload<int>(&QComboBox::activated), this, &TSetting::EnableOk);
}

void TSetting::BuildVoltTab(int tab) {
  QWidget* page = AddPage(QStringLiteral("Volt%1").arg(tab + 1).toLatin1().constData());
  const int32_t kind = env_.detect != nullptr ? env_.detect->chip.ChipKind : -1;
  int row = 0;
  for (int v = kVoltTabStart[static_cast<size_t>(tab)];
       v < kVoltTabStart[static_cast<size_t>(tab + 1)]; ++v) {
    for (const char* edge : {"Upper", "Lower"}) {
      const QByteArray caption =
          QStringLiteral("Voltage %1 %2 Limit:").arg(v + 1).arg(edge).toLatin1();
      const int number = kVoltSliders + 2 * v + (row % 2);
      AddTrackBar(page, number, row, caption.constData(), kVoltMin, kVoltMax)
          ->SetInverted(InvertedVoltLimits(kind, v));
      ++row;
    }
  }
  if (tab == kVoltTabs - 1) {
    radioGroups_[4] =
        AddRadioGroup(page, this, 4, QRect(10, 210, 370, 48), QStringLiteral(" Voltage Precision "),
                      {QStringLiteral("1/10"), QStringLiteral("1/100"), QStringLiteral("1/1000")});
  }
}

void TSetting::BuildIntervalTab() {
  QWidget* page = AddPage("Interval Time");
  AddTrackBar(page, kIntervalSlider, 0, "Monitor Interval Time:", 0, kIntervalMaxSeconds);
  for (size_t g = 1; g < radioGroups_.size(); ++g) {
    connect(radioGroups_[g], &QButtonGroup::idClicked, this, &TSetting::EnableOk);
  }
}

void TSetting::FillLimitRadios() {
  for (int n = 0; n < 3; ++n) {
    QAbstractButton* b = radioGroups_[static_cast<size_t>(n + 1)]->button(2 - FanPPR(s_, n));
    if (b != nullptr) b->setChecked(true);
  }
  if (QAbstractButton* b = radioGroups_[4]->button(s_.VoltPrecision)) b->setChecked(true);
}

void TSetting::SetTempLimitBands() {
  const int32_t c1 = s_.Temp1CaptionIndex;
  trackBars_[4]->SetBand(c1 <= kLastBoardCaption ? kBandLow : kBandHigh, kBandEnd);
  for (int n = 1; n < 3; ++n) {
    const int32_t c = n == 1 ? s_.Temp2CaptionIndex : s_.Temp3CaptionIndex;
    const bool board = c >= 1 && c <= kLastBoardCaption;
    trackBars_[static_cast<size_t>(kTempSliders + 2 * n)]->SetBand(board ? kBandLow : kBandHigh,
                                                                   kBandEnd);
  }
  for (int n = 0; n < 3; ++n)
    trackBars_[static_cast<size_t>(kTempSliders + 2 * n + 1)]->SetBand(0, 1);
}

void TSetting::FillLimitTooltips() {
  if (!env_.channelLabel) return;
  for (int number = 1; number < kIntervalSlider; ++number) {
    trackBars_[static_cast<size_t>(number)]->setToolTip(
        QString::fromStdString(env_.channelLabel(SliderChannel(number))));
  }
  for (int channel = 1; channel <= 15; ++channel) {
    checkBoxes_[static_cast<size_t>(channel + 2)]->setToolTip(
        QString::fromStdString(env_.channelLabel(channel)));
  }
}

void TSetting::FillLimitPositions() {
  for (int number = 1; number < kIntervalSlider; ++number) {
    trackBars_[static_cast<size_t>(number)]->SetMapped(LimitField(s_, number));
  }
  trackBars_[kIntervalSlider]->setValue(s_.IntervalTime / kMsPerSecond);
  trackBars_[kLogSizeSlider]->setValue(s_.LogFileSizeLimit);
}

QString TSetting::PanelText(int number) const {
  const TTrackBar* bar = trackBars_[static_cast<size_t>(number)];
  const DetectState empty;
  const DetectState& d = env_.detect != nullptr ? *env_.detect : empty;
  if (IsFanSlider(number)) {
    const int n = number - kFanSliders;
    return FormatFanLimit(d.chip.ChipKind, d.FanDivisor.at(static_cast<size_t>(n)), FanPPR(s_, n),
                          bar->Mapped());
  }
  if (IsTempSlider(number)) return FormatTemperature(bar->value());
  if (IsVoltSlider(number)) {
    const int v = (number - kVoltSliders) / 2;
    const int32_t mv = VoltLimitMillivolts(d.chip.ChipKind, v, bar->Mapped(), d.DualCoreVoltage,
                                           d.chip.Gl520Vin4Mode);
    return QString::fromStdString(VoltText(mv, s_.VoltPrecision, env_.numbers));
  }
  if (number == kIntervalSlider) return FormatInterval(bar->value());
  return FormatLogSize(bar->value());
}

void TSetting::UpdatePanel(int number) {
  QLabel* panel = panels_[static_cast<size_t>(number)];
  if (panel != nullptr && trackBars_[static_cast<size_t>(number)] != nullptr) {
    panel->setText(PanelText(number));
  }
}

void TSetting::FillSensorBoxes() {
  checkBoxes_[1]->setChecked(s_.Temp2SMBUse);
  checkBoxes_[2]->setChecked(s_.Temp3SMBUse);
}

void TSetting::FillSensorCombos() {
  for (int n = 1; n <= 2; ++n) {
    QComboBox* combo = combos_[static_cast<size_t>(n)];
    const bool on = checkBoxes_[static_cast<size_t>(n)]->isChecked();
    const int32_t address = n == 1 ? s_.Temp2SMBAddress : s_.Temp3SMBAddress;
    combo->setCurrentIndex(on ? address + 1 : -1);
    combo->setEnabled(on);
  }
}

void TSetting::SensorBoxClick(int n) {
  QComboBox* combo = combos_[static_cast<size_t>(n)];
  const bool on = checkBoxes_[static_cast<size_t>(n)]->isChecked();
  combo->setEnabled(on);
  if (!on) combo->setCurrentIndex(-1);
}

void TSetting::OkLimits() {
  for (int n = 0; n < 3; ++n) {
    const int item = radioGroups_[static_cast<size_t>(n + 1)]->checkedId();
    if (item >= 0) FanPPR(s_, n) = 2 - item;
  }
  if (radioGroups_[4]->checkedId() >= 0) s_.VoltPrecision = radioGroups_[4]->checkedId();
  for (int number = 1; number < kIntervalSlider; ++number) {
    LimitField(s_, number) = trackBars_[static_cast<size_t>(number)]->Mapped();
  }
  s_.IntervalTime = trackBars_[kIntervalSlider]->value() * kMsPerSecond;
}

void TSetting::OkSensorAddresses() {
  // A checked box with no item chosen means automatic.
  const auto address = [this](int n) {
    const int item = combos_[static_cast<size_t>(n)]->currentIndex();
    return checkBoxes_[static_cast<size_t>(n)]->isChecked() && item >= 0 ? item - 1 : -1;
  };
  s_.Temp2SMBAddress = address(1);
  s_.Temp3SMBAddress = address(2);
}

}  // namespace kev::ui
