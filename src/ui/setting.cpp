#include "ui/setting.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>

#include "detect/detect.h"
#include "detect/port_policy.h"
#include "monitor/fan_channel.h"
#include "ui/tab_rows.h"
#include "ui/track_bar.h"

namespace kev::ui {

namespace {

// All twelve tabs do not fit in one row: two rows of tabs stand above the
// pages, and the dialog is that much taller than its form.
constexpr int kTabRowsHeight = 40;
constexpr QSize kClientSize(404, 423 + kTabRowsHeight);
constexpr QRect kTabsRect(3, 3 + kTabRowsHeight, 398, 382);
constexpr QRect kOkRect(244, 392 + kTabRowsHeight, 75, 25);
constexpr QRect kCancelRect(326, 392 + kTabRowsHeight, 75, 25);
constexpr int kErrorActionTab = 10;

// Slider rows of a page: caption above, slider, value panel to its right.
constexpr int kRowTop = 8;
constexpr int kRowHeight = 50;
constexpr int kRowLeft = 10;
constexpr int kSliderWidth = 270;
constexpr int kPanelLeft = 288;
constexpr QSize kPanelSize(92, 22);

QFont TimesFont(int pixels) {
  QFont font("Times New Roman");
  font.setPixelSize(pixels);
  return font;
}

}  // namespace

PowerActions AvailablePowerActions(const OsVersion& os) {
  if (Is9xFamily(os) || IsNt5(os)) return PowerActions::Both;
  if (IsNtFamily(os)) return PowerActions::ShutdownOnly;
  return PowerActions::None;
}

QString FormatFanLimit(int32_t chipKind, int32_t divisor, int32_t ppr, int32_t count) {
  return QString::fromStdString(FanText(FanRpm(chipKind, divisor, ppr, count)));
}

QString FormatTemperature(int t) { return QStringLiteral("%1C / %2F").arg(t).arg(9 * t / 5 + 32); }

QString FormatInterval(int seconds) { return QStringLiteral("%1SEC").arg(seconds); }

QString FormatLogSize(int kilobytes) { return QStringLiteral("%1KB").arg(kilobytes); }

TSetting::TSetting(SettingEnv env, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      env_(std::move(env)),
      s_(*env_.settings) {
  setObjectName(QStringLiteral("Setting"));
  setWindowTitle(QStringLiteral("Setting"));
  setFixedSize(kClientSize);
  setFont(TimesFont(13));
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("PageControl1"));
  tabs_->setGeometry(kTabsRect);
  BuildLimitTabs();
  BuildLogTab();
  BuildActionTab();
  BuildGeneralTab();
  auto* rows = new TabRows(tabs_, {7, 5}, this);
  rows->setObjectName(QStringLiteral("TabRows"));
  rows->setGeometry(kTabsRect.x(), kTabsRect.y() - kTabRowsHeight, kTabsRect.width(),
                    kTabRowsHeight);

  ok_ = new QPushButton(QStringLiteral("Ok"), this);
  ok_->setObjectName(QStringLiteral("BitBtn1"));
  ok_->setGeometry(kOkRect);
  ok_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("BitBtn2"));
  cancel_->setGeometry(kCancelRect);
  connect(ok_, &QPushButton::clicked, this, &TSetting::BitBtn1Click);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  FillFromSettings();
}

QWidget* TSetting::AddPage(const char* caption) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet%1").arg(tabs_->count() + 1));
  tabs_->addTab(page, QLatin1String(caption));
  return page;
}

TTrackBar* TSetting::AddTrackBar(QWidget* page, int number, int row, const char* caption, int min,
                                 int max) {
  const int top = kRowTop + row * kRowHeight;
  auto* label = new QLabel(QLatin1String(caption), page);
  label->setGeometry(kRowLeft, top, kSliderWidth, 16);
  auto* bar = new TTrackBar(min, max, page);
  bar->setObjectName(QStringLiteral("TrackBar%1").arg(number));
  bar->setGeometry(kRowLeft, top + 17, kSliderWidth, 26);
  auto* panel = new QLabel(page);
  panel->setObjectName(QStringLiteral("Panel%1").arg(number));
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  panel->setAlignment(Qt::AlignCenter);
  panel->setGeometry(QRect(QPoint(kPanelLeft, top + 19), kPanelSize));
  trackBars_[static_cast<size_t>(number)] = bar;
  panels_[static_cast<size_t>(number)] = panel;
  connect(bar, &QSlider::valueChanged, this, [this, number] {
    UpdatePanel(number);
    EnableOk();
  });
  return bar;
}

QCheckBox* TSetting::AddCheckBox(QWidget* page, int number, const QRect& at, const char* caption) {
  auto* box = new QCheckBox(QString::fromUtf8(caption), page);
  box->setObjectName(QStringLiteral("CheckBox%1").arg(number));
  box->setGeometry(at);
  checkBoxes_[static_cast<size_t>(number)] = box;
  connect(box, &QCheckBox::clicked, this, &TSetting::EnableOk);
  return box;
}

void TSetting::EnableOk() { ok_->setEnabled(true); }

void TSetting::FillFromSettings() {
  tabs_->setCurrentIndex(kErrorActionTab);
  FillLimitRadios();
  SetTempLimitBands();
  FillLimitTooltips();
  FillLimitPositions();
  FillActions();
  FillAccessBoxes();
  for (int n = 1; n <= kTrackBars; ++n) UpdatePanel(n);
  FillEdits();
  FillSensorBoxes();
  FillGeneralBoxes();
  FillDiodeBoxes();
  FillSensorCombos();
  FillGeneralEdits();
  ok_->setEnabled(false);
}

void TSetting::BitBtn1Click() {
  OkLimits();
  if (env_.setInterval) env_.setInterval(s_.IntervalTime);
  OkGeneral();
  OkSensorAddresses();
  if (env_.setRefreshVisible) env_.setRefreshVisible(trackBars_[28]->value() == 0);
  if (env_.applyTransparency) env_.applyTransparency(s_.TransparencyPercentage);
  // The new port, SMBus mode, board switch, pulse factors, diodes and
  // sensors take effect here; the rows keep their layout.
  if (env_.io != nullptr && env_.detect != nullptr) {
    DetectPmDevice(*env_.io, s_, env_.asmsMode, *env_.detect);
    DetectChip(*env_.io, s_, *env_.detect);
    if (env_.detect->RefusedSettingsPort != -1) {
      QMessageBox::warning(
          this, QStringLiteral("Kevatra"),
          QString::fromStdString(RefusedPortText(env_.detect->RefusedSettingsPort)));
    }
    ConfigureChip(*env_.io, s_, *env_.detect);
  }
  accept();
}

}  // namespace kev::ui
