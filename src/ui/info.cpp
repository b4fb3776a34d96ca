#include "ui/info.h"

#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include "ui/qt_compat.h"

namespace kev::ui {
namespace {

constexpr QSize kClientSize(404, 294);
constexpr QRect kGroupRect(16, 16, 370, 249);
// Inside the group box.
constexpr int kCaptionX = 22, kCaptionWidth = 150;
constexpr int kValueX = 174, kValueWidth = 171;
constexpr int kLineHeight = 15;
constexpr int kLabelPixels = 12;
constexpr QRect kClipRect(18, 269, 56, 23);
constexpr QRect kOkRect(330, 269, 56, 23);
constexpr int kButtonPixels = 15;
constexpr int kOwnersGap = 4;

const char* const kTimes = "Times New Roman";
const char* const kCourier = "Courier New";

// One summary line: its top inside the group box and its value's font.
struct LineLayout {
  int y;
  const char* valueFont;
};
constexpr std::array<LineLayout, report::kSummaryLines> kLines{{
    {32, kTimes},
    {48, kCourier},
    {64, kCourier},
    {80, kCourier},
    {112, kTimes},
    {128, kCourier},
    {144, kCourier},
    {160, kCourier},
}};

QFont Font(const char* family, int pixels, bool bold) {
  QFont font{QLatin1String(family)};
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QLabel* AddLabel(QWidget* parent, int number, const QRect& geometry, const QString& text,
                 const char* family) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("Label%1").arg(number));
  label->setGeometry(geometry);
  label->setFont(Font(family, kLabelPixels, false));
  return label;
}

QPushButton* AddButton(QWidget* parent, const char* name, const char* text, const QRect& geometry) {
  auto* button = new QPushButton(QLatin1String(text), parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(geometry);
  button->setFont(Font(kTimes, kButtonPixels, true));
  button->setAutoDefault(false);
  return button;
}

// The kernel drivers found on the hardware, under the group box; the window
// grows by the label's height and the buttons move down with it.
int AddOwners(QWidget* parent, const std::vector<HardwareOwner>& owners) {
  if (owners.empty()) return 0;
  QString text = QStringLiteral("Kernel drivers on the same hardware:");
  for (const HardwareOwner& o : owners)
    text += QLatin1Char('\n') + QString::fromStdString(OwnerLine(o));
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("OwnersLabel"));
  label->setFont(Font(kTimes, kLabelPixels, false));
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  const int height = label->heightForWidth(kGroupRect.width());
  label->setGeometry(kGroupRect.left(), kGroupRect.bottom() + kOwnersGap, kGroupRect.width(),
                     height);
  return height + kOwnersGap;
}

}  // namespace

TInfo::TInfo(QWidget* parent, InfoSources sources)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      sources_(std::move(sources)) {
  setWindowTitle(QStringLiteral("Info"));

  auto* group = new QGroupBox(QStringLiteral(" Hardware Monitoring Profile "), this);
  group->setObjectName(QStringLiteral("GroupBox1"));
  group->setGeometry(kGroupRect);
  group->setFont(Font(kTimes, kLabelPixels, false));
  for (size_t i = 0; i < report::kSummaryLines; ++i) {
    const int y = kLines[i].y;
    const std::string_view caption = report::kSummaryCaptions[i];
    const int number = 2 * static_cast<int>(i) + 1;
    AddLabel(group, number, {kCaptionX, y, kCaptionWidth, kLineHeight},
             QString::fromLatin1(caption.data(), static_cast<QtSize>(caption.size())), kTimes);
    values_[i] = AddLabel(group, number + 1, {kValueX, y, kValueWidth, kLineHeight}, QString(),
                          kLines[i].valueFont);
  }

  const int extra = AddOwners(this, sources_.owners);
  setFixedSize(kClientSize + QSize(0, extra));
  clip_ = AddButton(this, "Button1", "Clip", kClipRect.translated(0, extra));
  ok_ = AddButton(this, "Button2", "Ok", kOkRect.translated(0, extra));
  ok_->setDefault(true);  // Enter closes the window
  setTabOrder(clip_, ok_);
  connect(clip_, &QPushButton::clicked, this, &TInfo::Button1Click);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  slices_ = new QTimer(this);
  slices_->setObjectName(QStringLiteral("ProfileTimer"));
  slices_->setInterval(0);
  connect(slices_, &QTimer::timeout, this, &TInfo::ContinueProfile);
}

void TInfo::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;  // the window manager re-showing it
  summary_ = report::GatherSummary(*sources_.io);
  for (size_t i = 0; i < report::kSummaryLines; ++i) {
    values_[i]->setText(QString::fromStdString(summary_.texts[i]));
  }
}

// The monitor window's sampling timer runs on this thread too; every slice
// is whole port transactions, so a tick can only fall between two slices.
void TInfo::Button1Click() {
  clip_->setEnabled(false);
  ok_->setEnabled(false);
  text_.clear();
  const report::MonitorWindowText rows =
      sources_.windowText ? sources_.windowText() : report::MonitorWindowText{};
  report::AppendProfileHead(text_, *sources_.io, summary_, *sources_.settings, *sources_.detect,
                            rows);
  scan_.emplace();
  slices_->start();
}

void TInfo::ContinueProfile() {
  if (!scan_ || !scan_->Step(text_, *sources_.io, kProfileSlotsPerTurn)) return;
  QGuiApplication::clipboard()->setText(QString::fromStdString(text_));
  EndProfile();
}

void TInfo::EndProfile() {
  slices_->stop();
  scan_.reset();
  std::string().swap(text_);
  clip_->setEnabled(true);
  ok_->setEnabled(true);
}

// Closing while the profile is built (Esc) abandons it; the clipboard keeps
// what it had.
void TInfo::done(int result) {
  if (building()) EndProfile();
  QDialog::done(result);
}

}  // namespace kev::ui
