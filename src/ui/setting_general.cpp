// The tabs Log File, Error Action and General Item.
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "detect/records.h"
#include "ui/setting.h"
#include "ui/track_bar.h"

namespace kev::ui {

namespace {

constexpr int kLogSizeMax = 50;
constexpr int32_t kDefaultPort = 0x290;
constexpr int32_t kMaxPort = 0xFFFF;
constexpr int kMaxTransparency = 100;
constexpr int kSoundRows = 3;
constexpr QSize kActionImage(32, 32);

constexpr std::array<const char*, 4> kActionTips{"Monitor Window", "Warning Sound",
                                                 "System Shut Down", "System Suspend"};
constexpr std::array<const char*, kSoundRows> kSoundCaptions{
    "Fan Speed Error - Sound File:", "Temperature Error - Sound File:",
    "Voltage Error - Sound File:"};

// Pictures of the four actions: a window, a loudspeaker, a power switch and
// a crescent moon.
QIcon ActionImage(int action) {
  QPixmap pixmap(kActionImage);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 2));
  switch (action) {
    case 1:
      p.setBrush(Qt::white);
      p.drawRect(4, 6, 24, 20);
      p.fillRect(5, 7, 23, 5, QColor(0x00, 0x00, 0x80));
      break;
    case 2: {
      QPainterPath speaker;
      speaker.addPolygon(QPolygonF({{5, 12}, {11, 12}, {18, 5}, {18, 27}, {11, 20}, {5, 20}}));
      speaker.closeSubpath();
      p.setBrush(QColor(0x30, 0x30, 0x30));
      p.drawPath(speaker);
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRect(14, 9, 12, 14), -60 * 16, 120 * 16);
      break;
    }
    case 3:
      p.setPen(QPen(QColor(0xc0, 0x00, 0x00), 3));
      p.drawArc(QRect(6, 7, 20, 20), 120 * 16, 300 * 16);
      p.drawLine(16, 4, 16, 16);
      break;
    default: {
      QPainterPath moon;
      moon.addEllipse(QRectF(5, 5, 22, 22));
      QPainterPath bite;
      bite.addEllipse(QRectF(12, 2, 20, 20));
      p.setBrush(QColor(0xe0, 0xc0, 0x20));
      p.drawPath(moon.subtracted(bite));
      break;
    }
  }
  return QIcon(pixmap);
}

// An enabled edit box has the window colour, a disabled one the menu colour
// and no text.
void SetEditState(QLineEdit* edit, bool on, const QString& text) {
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Disabled, QPalette::Base, palette.color(QPalette::Button));
  edit->setPalette(palette);
  edit->setEnabled(on);
  edit->setText(on ? text : QString());
}

int DiodeBoxes(int32_t chipKind) {
  if (chipKind == kind::W83627HF || chipKind == kind::W83782D || chipKind == kind::W83697HF)
    return 3;
  return chipKind == kind::W83783S ? 2 : 0;
}

bool& DiodeSetting(MonitorSettings& s, int n) {
  return n == 0 ? s.Sensor1OnDieDiode : n == 1 ? s.Sensor2OnDieDiode : s.Sensor3OnDieDiode;
}

}  // namespace

void NormalizeLogDirectory(std::string& dir, bool check, const std::function<bool()>& askCreate) {
  if (dir.empty()) return;
  if (dir.back() != '/') dir.push_back('/');
  std::error_code ec;
  if (!check || std::filesystem::is_directory(dir, ec)) return;
  if (askCreate && askCreate()) std::filesystem::create_directories(dir, ec);
  if (!std::filesystem::is_directory(dir, ec)) dir.clear();
}

void TSetting::BuildLogTab() {
  QWidget* page = AddPage("Log File");
  AddTrackBar(page, 29, 0, "Log File Size Limit:", 1, kLogSizeMax);
  (new QLabel(QStringLiteral("Log File Directory:"), page))->setGeometry(10, 60, 200, 16);
  edits_[1] = new QLineEdit(page);
  edits_[1]->setGeometry(10, 78, 290, 22);
  buttons_[1] = new QPushButton(QStringLiteral("Reference"), page);
  buttons_[1]->setGeometry(306, 77, 75, 24);
  connect(buttons_[1], &QPushButton::clicked, this, &TSetting::Button1Click);
  const std::array<QRect, 3> frames{QRect(10, 112, 180, 86), QRect(10, 204, 180, 86),
                                    QRect(200, 112, 180, 230)};
  const std::array<std::pair<int, int>, 3> boxes{{{3, 5}, {6, 8}, {9, 17}}};
  for (size_t f = 0; f < frames.size(); ++f) {
    auto* frame = new QGroupBox(page);
    frame->setGeometry(frames[f]);
    for (int b = boxes[f].first; b <= boxes[f].second; ++b) {
      const int i = b - boxes[f].first;
      const int ch = b - 2;
      const QByteArray caption = (ch <= 3   ? QStringLiteral("Fan %1  Speed").arg(ch)
                                  : ch <= 6 ? QStringLiteral("Temperature %1").arg(ch - 3)
                                            : QStringLiteral("Voltage %1").arg(ch - 6))
                                     .toLatin1();
      AddCheckBox(frame, b, QRect(10, 10 + i * 24, 160, 20), caption.constData());
    }
  }
}

void TSetting::BuildActionTab() {
  QWidget* page = AddPage("Error Action");
  for (int i = 1; i <= 4; ++i) {
    auto* frame = new QGroupBox(page);
    frame->setGeometry(10 + (i - 1) * 93, 8, 86, 92);
    actionFrames_[static_cast<size_t>(i)] = frame;
    auto* button = new QToolButton(frame);
    button->setObjectName(QStringLiteral("SpeedButton%1").arg(i));
    button->setGeometry(21, 10, 44, 44);
    button->setCheckable(true);
    button->setIcon(ActionImage(i));
    button->setIconSize(kActionImage);
    button->setToolTip(QLatin1String(kActionTips[static_cast<size_t>(i - 1)]));
    speedButtons_[static_cast<size_t>(i)] = button;
    connect(button, &QToolButton::clicked, this, [this, i] { SpeedButtonClick(i); });
    AddCheckBox(frame, 17 + i, QRect(18, 62, 60, 20), "Hold");
  }
  for (int r = 0; r < kSoundRows; ++r) {
    const int top = 112 + r * 64;
    (new QLabel(QLatin1String(kSoundCaptions[static_cast<size_t>(r)]), page))
        ->setGeometry(10, top, 300, 16);
    QLineEdit* edit = edits_[static_cast<size_t>(r + 2)] = new QLineEdit(page);
    edit->setGeometry(10, top + 18, 216, 22);
    QPushButton* pick = buttons_[static_cast<size_t>(2 + 2 * r)] =
        new QPushButton(QStringLiteral("Reference"), page);
    pick->setGeometry(232, top + 17, 72, 24);
    QPushButton* test = buttons_[static_cast<size_t>(3 + 2 * r)] =
        new QPushButton(QStringLiteral("Test"), page);
    test->setGeometry(308, top + 17, 72, 24);
    connect(pick, &QPushButton::clicked, this, [this, r] { PickSoundFile(r + 1); });
    connect(test, &QPushButton::clicked, this, [this, edit] {
      if (env_.playSound) env_.playSound(edit->text().toStdString());
    });
  }
}

void TSetting::BuildGeneralTab() {
  QWidget* page = AddPage("General Item");
  AddCheckBox(page, 22, QRect(10, 12, 200, 20), "Main Chip - Port Address");
  connect(checkBoxes_[22], &QCheckBox::clicked, this, &TSetting::CheckBox22Click);
  edits_[5] = new QLineEdit(page);
  edits_[5]->setGeometry(214, 11, 50, 22);
  edits_[5]->setMaxLength(4);
  portUnit_ = new QLabel(QStringLiteral("h"), page);
  portUnit_->setGeometry(268, 14, 12, 16);
  const std::array<const char*, 4> boxes{"Main Chip - SMBus Mode", "Auto Startup", "Always on Top",
                                         "Newer ASUS Motherboard"};
  for (int i = 0; i < 4; ++i) {
    AddCheckBox(page, 23 + i, QRect(10, 42 + i * 26, 300, 20), boxes[static_cast<size_t>(i)]);
  }
  transparencyCaption_ = new QLabel(QStringLiteral("Transparent Window - Transparency"), page);
  transparencyCaption_->setGeometry(10, 151, 220, 16);
  edits_[6] = new QLineEdit(page);
  edits_[6]->setGeometry(232, 148, 40, 22);
  edits_[6]->setMaxLength(3);
  transparencyUnit_ = new QLabel(QStringLiteral("%"), page);
  transparencyUnit_->setGeometry(276, 151, 16, 16);
  for (int n = 0; n < 3; ++n) {
    const QByteArray caption =
        QStringLiteral("Temperature Sensor %1 - On-Die Thermal Diode").arg(n + 1).toLatin1();
    AddCheckBox(page, 27 + n, QRect(10, 182 + n * 26, 360, 20), caption.constData());
  }
  for (size_t e = 1; e < edits_.size(); ++e) {
    edits_[e]->setObjectName(QStringLiteral("Edit%1").arg(e));
    connect(edits_[e], &QLineEdit::textEdited, this, &TSetting::EnableOk);
  }
  for (size_t b = 1; b < buttons_.size(); ++b) {
    buttons_[b]->setObjectName(QStringLiteral("Button%1").arg(b));
  }
  connect(edits_[1], &QLineEdit::textEdited, this, [this] { edit1Typed_ = true; });
  connect(edits_[6], &QLineEdit::textEdited, this, &TSetting::Edit6Edited);
}

void TSetting::FillActions() {
  speedButtons_[1]->setChecked(s_.ErrAct1Switch);
  speedButtons_[2]->setChecked(s_.ErrAct2Switch);
  const PowerActions available = AvailablePowerActions(env_.os);
  const bool shutdown = available != PowerActions::None;
  const bool suspend = available == PowerActions::Both;
  if (!shutdown) s_.ErrAct3Switch = s_.HoldErrAct3 = false;
  if (!suspend) s_.ErrAct4Switch = s_.HoldErrAct4 = false;
  const std::array<bool, 2> on{shutdown, suspend};
  for (int i = 3; i <= 4; ++i) {
    const bool usable = on[static_cast<size_t>(i - 3)];
    for (QWidget* w : {static_cast<QWidget*>(actionFrames_[static_cast<size_t>(i)]),
                       static_cast<QWidget*>(speedButtons_[static_cast<size_t>(i)]),
                       static_cast<QWidget*>(checkBoxes_[static_cast<size_t>(17 + i)])}) {
      w->setVisible(usable);
      w->setEnabled(usable);
    }
  }
  speedButtons_[3]->setChecked(s_.ErrAct3Switch);
  speedButtons_[4]->setChecked(s_.ErrAct4Switch);
  checkBoxes_[20]->setChecked(s_.HoldErrAct3);
  checkBoxes_[21]->setChecked(s_.HoldErrAct4);
}

void TSetting::FillAccessBoxes() {
  const HwMonitorChip chip = env_.detect != nullptr ? env_.detect->chip : HwMonitorChip{};
  bool port = false;
  bool smb = false;
  if (chip.MainSmbOnly) {
  } else if (chip.FoundOnPort) {
    smb = chip.MainSmbFound;
  } else {
    port = true;
  }
  checkBoxes_[22]->setEnabled(port);
  checkBoxes_[23]->setEnabled(smb);
}

bool TSetting::AskCreateFolder() {
  QMessageBox box(QMessageBox::Question, QString::fromUtf8(kConfirmTitle),
                  QString::fromUtf8(env_.japanese ? kMissingFolderJa : kMissingFolderEn),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setObjectName(QStringLiteral("ConfirmFolder"));
  return box.exec() == QMessageBox::Yes;
}

void TSetting::FillEdits() {
  NormalizeLogDirectory(s_.LogFileDirectory, true, [this] { return AskCreateFolder(); });
  edits_[1]->setText(QString::fromStdString(s_.LogFileDirectory));
  for (int k = 1; k <= kSoundRows; ++k) {
    edits_[static_cast<size_t>(k + 1)]->setText(QString::fromStdString(SoundFile(s_, k)));
  }
}

void TSetting::FillGeneralBoxes() {
  for (int ch = 1; ch <= 15; ++ch) {
    checkBoxes_[static_cast<size_t>(ch + 2)]->setChecked(ChannelLogging(s_, ch));
  }
  checkBoxes_[18]->setChecked(s_.HoldErrAct1);
  checkBoxes_[19]->setChecked(s_.HoldErrAct2);
  checkBoxes_[22]->setChecked(s_.MainChipPortAddressUse);
  checkBoxes_[23]->setChecked(s_.MainChipSMBUse);
  checkBoxes_[24]->setChecked(s_.StartWithWindows);
  checkBoxes_[25]->setChecked(s_.AlwaysOnTop);
  checkBoxes_[26]->setChecked(s_.ASMS);
}

void TSetting::FillDiodeBoxes() {
  const int count = DiodeBoxes(env_.detect != nullptr ? env_.detect->chip.ChipKind : -1);
  for (int n = 0; n < 3; ++n) {
    QCheckBox* box = checkBoxes_[static_cast<size_t>(27 + n)];
    const bool shown = n < count;
    box->setVisible(shown);
    box->setEnabled(shown);
    box->setChecked(shown && DiodeSetting(s_, n));
  }
}

void TSetting::FillGeneralEdits() {
  CheckBox22Click();
  const bool nt5 = IsNt5(env_.os);
  SetEditState(edits_[6], nt5, QString::number(s_.TransparencyPercentage));
  lastTransparency_ = edits_[6]->text();
  transparencyCaption_->setEnabled(nt5);
  transparencyUnit_->setEnabled(nt5);
  SetSoundRowsEnabled(s_.ErrAct2Switch);
}

void TSetting::SetSoundRowsEnabled(bool on) {
  for (int k = 2; k <= 4; ++k) edits_[static_cast<size_t>(k)]->setEnabled(on);
  for (int b = 2; b <= 7; ++b) buttons_[static_cast<size_t>(b)]->setEnabled(on);
}

void TSetting::SpeedButtonClick(int n) {
  const bool down = speedButtons_[static_cast<size_t>(n)]->isChecked();
  if (n == 2) SetSoundRowsEnabled(down);
  // Shutting down and suspending exclude each other.
  if (n == 3 && down) speedButtons_[4]->setChecked(false);
  if (n == 4 && down) speedButtons_[3]->setChecked(false);
  EnableOk();
}

void TSetting::CheckBox22Click() {
  QCheckBox* box = checkBoxes_[22];
  const bool on = box->isEnabled() && box->isChecked();
  SetEditState(edits_[5], on, QString::number(s_.MainChipPortAddress, 16).toUpper());
  portUnit_->setEnabled(on);
}

void TSetting::Edit6Edited() {
  QLineEdit* edit = edits_[6];
  QString text = edit->text();
  bool number = true;
  const int percent = text.isEmpty() ? 0 : text.toInt(&number);
  if (!number) {
    text = lastTransparency_;  // typing that makes no number is undone
  } else {
    text = QString::number(std::clamp(percent, 0, kMaxTransparency));
  }
  if (text != edit->text()) edit->setText(text);
  lastTransparency_ = text;
}

void TSetting::Button1Click() {
  QFileDialog browser(this, QStringLiteral("Select a Folder for The Log File Saving."),
                      QDir::homePath());
  browser.setObjectName(QStringLiteral("FolderBrowser"));
  browser.setFileMode(QFileDialog::Directory);
  browser.setOption(QFileDialog::ShowDirsOnly);
  if (browser.exec() != QDialog::Accepted || browser.selectedFiles().isEmpty()) return;
  const QString folder = browser.selectedFiles().front();
  if (folder.isEmpty()) return;
  edits_[1]->setText(folder);
  edit1Typed_ = false;  // a picked folder is only given its delimiter
  EnableOk();
}

void TSetting::PickSoundFile(int row) {
  QFileDialog*& dialog = openDialogs_[static_cast<size_t>(row)];
  if (dialog == nullptr) {
    dialog = new QFileDialog(this, QStringLiteral("Select a Sound File."));
    dialog->setObjectName(QStringLiteral("OpenDialog%1").arg(row));
    dialog->setNameFilters(
        {QStringLiteral("WAV Sound File (*.wav)"), QStringLiteral("All Files (*.*)")});
    dialog->setFileMode(QFileDialog::ExistingFile);
  }
  QLineEdit* edit = edits_[static_cast<size_t>(row + 1)];
  const QString text = edit->text();
  if (!text.isEmpty()) {
    // "name.ext" with a three-letter extension is a file, anything else a folder.
    const qsizetype p = text.lastIndexOf(QLatin1Char('.')) + 1;
    if (p > 1 && text.size() == p + 3) {
      dialog->setDirectory(QFileInfo(text).absolutePath());
      dialog->selectFile(text);
    } else {
      dialog->setDirectory(text);
      dialog->selectFile(QString());
    }
  }
  dialog->selectNameFilter(dialog->nameFilters().front());
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
  edit->setText(dialog->selectedFiles().front());
  EnableOk();
}

void TSetting::OkGeneral() {
  s_.LogFileSizeLimit = trackBars_[29]->value();
  s_.LogFileDirectory = edits_[1]->text().toStdString();
  for (int k = 1; k <= kSoundRows; ++k) {
    SoundFile(s_, k) = edits_[static_cast<size_t>(k + 1)]->text().toStdString();
  }
  NormalizeLogDirectory(s_.LogFileDirectory, edit1Typed_, [this] { return AskCreateFolder(); });
  OkActions();
  s_.Temp2SMBUse = checkBoxes_[1]->isChecked();
  s_.Temp3SMBUse = checkBoxes_[2]->isChecked();
  for (int ch = 1; ch <= 15; ++ch) {
    ChannelLogging(s_, ch) = checkBoxes_[static_cast<size_t>(ch + 2)]->isChecked();
  }
  s_.HoldErrAct1 = checkBoxes_[18]->isChecked();
  s_.HoldErrAct2 = checkBoxes_[19]->isChecked();
  OkPortAndTransparency();
  s_.MainChipSMBUse = checkBoxes_[23]->isChecked();
  s_.StartWithWindows = checkBoxes_[24]->isChecked();
  if (env_.autostart) {
    const SaveResult written = WriteStartWithWindows(s_.StartWithWindows, *env_.autostart);
    if (!written) {
      QMessageBox::warning(this, QStringLiteral("Kevatra"),
                           QStringLiteral("The start-at-login entry could not be changed: %1")
                               .arg(QString::fromStdString(written.error)));
    }
  }
  s_.AlwaysOnTop = checkBoxes_[25]->isChecked();
  s_.ASMS = checkBoxes_[26]->isChecked();
  const bool diodes = DiodeBoxes(env_.detect != nullptr ? env_.detect->chip.ChipKind : -1) > 0;
  for (int n = 0; n < 3; ++n) {
    DiodeSetting(s_, n) = diodes && checkBoxes_[static_cast<size_t>(27 + n)]->isChecked();
  }
}

void TSetting::OkActions() {
  s_.ErrAct1Switch = speedButtons_[1]->isChecked();
  s_.ErrAct2Switch = speedButtons_[2]->isChecked();
  const PowerActions available = AvailablePowerActions(env_.os);
  const bool shutdown = available != PowerActions::None;
  const bool suspend = available == PowerActions::Both;
  s_.ErrAct3Switch = shutdown && speedButtons_[3]->isChecked();
  s_.HoldErrAct3 = shutdown && checkBoxes_[20]->isChecked();
  s_.ErrAct4Switch = suspend && speedButtons_[4]->isChecked();
  s_.HoldErrAct4 = suspend && checkBoxes_[21]->isChecked();
}

void TSetting::OkPortAndTransparency() {
  s_.MainChipPortAddressUse = checkBoxes_[22]->isChecked();
  s_.MainChipPortAddress = kDefaultPort;
  if (s_.MainChipPortAddressUse && !edits_[5]->text().isEmpty()) {
    bool hex = false;
    const int port = edits_[5]->text().toInt(&hex, 16);
    if (hex && port >= 0 && port <= kMaxPort) s_.MainChipPortAddress = port;
  }
  bool number = false;
  const int percent = edits_[6]->text().toInt(&number);
  s_.TransparencyPercentage = IsNt5(env_.os) && number ? percent : 0;
}

}  // namespace kev::ui
