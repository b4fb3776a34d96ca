#include "ui/display.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

#include "monitor/fan_channel.h"
#include "monitor/sampling.h"
#include "ui/program_images.h"
#include "ui/qt_compat.h"
#include "ui/row_widgets.h"

namespace kev::ui {
namespace {

// Client area inside a 3-pixel dialog frame.
constexpr int kFrame = 3;
constexpr int kClientWidth = 251;
constexpr int kClientHeight = 351;

constexpr int kBoxX = 14, kBoxWidth = 91, kBoxHeight = 15;
constexpr int kPanelX = 104, kPanelWidth = 115, kPanelHeight = 18;
constexpr int kFontPixels = 12;

struct GroupFrame {
  const char* title;
  QRect titleRect;
  QRect frame;
};

constexpr int kTitleHeight = 14;
const std::array<GroupFrame, kGroupCount> kGroupFrames{{
    {" Fan Speed ", {10, 0, 61, kTitleHeight}, {6, 7, 221, 70}},
    {" Temperature ", {10, 77, 75, kTitleHeight}, {6, 84, 221, 70}},
    {" Voltage ", {10, 154, 46, kTitleHeight}, {6, 161, 221, 184}},
}};

constexpr int kButtonBarX = 232, kCloseBarY = 5, kRefreshBarY = 26, kBarSize = 18;
constexpr int kButtonSize = 16;

const char* const kTrayTip = " Kevatra Ver.2.10 ";

enum class ToolGlyph { Close, Refresh };

// The tool buttons' pictures: a cross and a circular arrow.
QIcon ToolButtonGlyph(ToolGlyph glyph) {
  QPixmap pm(kButtonSize, kButtonSize);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 1.6, Qt::SolidLine, Qt::RoundCap));
  if (glyph == ToolGlyph::Close) {
    p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
    p.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
  } else {
    constexpr int kStartDeg = 60, kSpanDeg = 280, kSixteenths = 16;
    p.drawArc(QRectF(3.5, 3.5, 9, 9), kStartDeg * kSixteenths, kSpanDeg * kSixteenths);
    p.setBrush(QColor(40, 40, 40));
    p.drawPolygon(QPolygonF({QPointF(10, 2), QPointF(13.5, 5), QPointF(9.5, 7)}));
  }
  return QIcon(pm);
}

QFont RowFont(bool bold) {
  QFont f(QStringLiteral("Times New Roman"));
  f.setPixelSize(kFontPixels);
  f.setBold(bold);
  return f;
}

// Said without stopping the start-up: the monitor runs on meanwhile.
void ShowPortRefusal(const std::string& text, QWidget* parent) {
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Kevatra"),
                              QString::fromStdString(text), QMessageBox::Ok, parent);
  box->setObjectName(QStringLiteral("PortRefusal"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->show();
}

}  // namespace

TDisplay::TDisplay(DisplayCore core, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Tool), core_(std::move(core)) {
  setObjectName(QStringLiteral("TDisplay"));
  setWindowTitle(QStringLiteral("Kevatra"));
  setWindowIcon(ProgramIcon());
  setFixedSize(kClientWidth + 2 * kFrame, kClientHeight + 2 * kFrame);
  setFont(RowFont(true));

  ctx_ = std::make_unique<MonitorContext>(MonitorContext{*core_.io, *core_.settings, *core_.detect,
                                                         *core_.channels, *this, core_.os,
                                                         std::string(), core_.log, core_.numbers});
  rows_ = std::make_unique<RowModel>(*core_.settings, *core_.detect, *core_.channels);
  history_ = std::make_unique<ChannelHistory>(
      core_.historyClock ? core_.historyClock : ChannelHistory::Clock(WallClockMs));
  ctx_->history = history_.get();

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("Client"));
  client->setGeometry(kFrame, kFrame, kClientWidth, kClientHeight);
  buildGroups(client);
  buildButtons(client);
  buildMenu();
  bindRows();

  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("Timer1"));
  connect(timer_, &QTimer::timeout, this, &TDisplay::onTimer);

  tray_ = new QSystemTrayIcon(this);
  tray_->setObjectName(QStringLiteral("TrayIcon"));
  tray_->setToolTip(QString::fromLatin1(kTrayTip));
  tray_->setIcon(TrayImage(kTrayClosed));
  tray_->setContextMenu(menu_);
  // X11 trays report a click, then a double click; StatusNotifier hosts only
  // ever report clicks (several for a double click).
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick) TrayToggle();
    if (r == QSystemTrayIcon::MiddleClick) TrayClick();
  });
}

TDisplay::~TDisplay() = default;

void TDisplay::buildGroups(QWidget* client) {
  for (const GroupFrame& g : kGroupFrames) {
    auto* frame = new QFrame(client);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(g.frame);
    auto* title = new QLabel(QString::fromLatin1(g.title), client);
    title->setGeometry(g.titleRect);
    title->setEnabled(false);  // drawn greyed
    title->setAutoFillBackground(true);
    title->raise();
  }
  for (int ch = 1; ch <= kChannelCount; ++ch) {
    auto* box = new RowCheckBox(ch, client);
    box->setFont(RowFont(false));
    auto* panel = new ValuePanel(ch, client);
    panel->setFont(RowFont(false));
    boxes_[static_cast<size_t>(ch - 1)] = box;
    panels_[static_cast<size_t>(ch - 1)] = panel;
  }
}

void TDisplay::buildButtons(QWidget* client) {
  auto makeButton = [&](const char* name, const char* tip, int barY, ToolGlyph glyph) {
    auto* bar = new QWidget(client);
    bar->setObjectName(QStringLiteral("%1Bar").arg(QLatin1String(name)));
    bar->setGeometry(kButtonBarX, barY, kBarSize, kBarSize);
    auto* b = new QToolButton(bar);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(1, 1, kButtonSize, kButtonSize);
    b->setAutoRaise(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setToolTip(QLatin1String(tip));
    b->setIcon(ToolButtonGlyph(glyph));
    return std::pair{bar, b};
  };
  closeButton_ = makeButton("SpeedButton1", "Close", kCloseBarY, ToolGlyph::Close).second;
  auto [bar, refresh] = makeButton("SpeedButton2", "Refresh", kRefreshBarY, ToolGlyph::Refresh);
  refreshBar_ = bar;
  refreshButton_ = refresh;
  connect(closeButton_, &QToolButton::clicked, this, &TDisplay::HideWindow);
  connect(refreshButton_, &QToolButton::clicked, this, &TDisplay::RefreshNow);
}

void TDisplay::buildMenu() {
  menu_ = new QMenu(this);
  menu_->setObjectName(QStringLiteral("PopupMenu1"));
  auto item = [this](const char* name, const char* caption) {
    QAction* a = menu_->addAction(QLatin1String(caption));
    a->setObjectName(QLatin1String(name));
    return a;
  };
  miOpen_ = item("miOpen", "Open");
  miClose_ = item("miClose", "Close");
  miClose_->setEnabled(false);
  menu_->addSeparator()->setObjectName(QStringLiteral("N1"));
  miSetting_ = item("miSetting", "Setting");
  miAbout_ = item("miAbout", "About");
  miInfo_ = item("miInfo", "Info");
  miHistory_ = item("miHistory", "History");
  menu_->addSeparator()->setObjectName(QStringLiteral("N2"));
  miExit_ = item("miExit", "Exit");

  connect(miOpen_, &QAction::triggered, this, [this] { OpenWindow(false); });
  connect(miClose_, &QAction::triggered, this, [this] { CloseWindow(false); });
  connect(miSetting_, &QAction::triggered, this, &TDisplay::miSettingClick);
  connect(miAbout_, &QAction::triggered, this, &TDisplay::miAboutClick);
  connect(miInfo_, &QAction::triggered, this, &TDisplay::miInfoClick);
  connect(miHistory_, &QAction::triggered, this, &TDisplay::miHistoryClick);
  connect(miExit_, &QAction::triggered, this, [this] { close(); });
}

void TDisplay::bindRows() {
  for (int ch = 1; ch <= kChannelCount; ++ch) {
    RowCheckBox* box = boxes_[static_cast<size_t>(ch - 1)];
    connect(box, &QCheckBox::clicked, this,
            [this, ch](bool checked) { onCheckBoxClicked(ch, checked); });
    connect(box, &RowCheckBox::pressed, this, &TDisplay::onCheckBoxPress);
    connect(panels_[static_cast<size_t>(ch - 1)], &ValuePanel::pressed, this,
            &TDisplay::onPanelPress);
  }
}

// Re-reads every row from the model: captions, enabled states, slots, tab
// order and the panels' cursor.
void TDisplay::refreshRows() {
  std::array<QWidget*, kChannelCount> byTab{};
  for (int ch = 1; ch <= kChannelCount; ++ch) {
    const RowView& r = rows_->row(ch);
    RowCheckBox* box = boxes_[static_cast<size_t>(ch - 1)];
    ValuePanel* panel = panels_[static_cast<size_t>(ch - 1)];
    box->setText(QString::fromLatin1(r.caption.data(), static_cast<QtSize>(r.caption.size())));
    box->setEnabled(r.enabled);
    box->setChecked(ChannelChecked(*core_.settings, ch));
    box->setGeometry(kBoxX, r.slotTop, kBoxWidth, kBoxHeight);
    panel->setGeometry(kPanelX, r.slotTop, kPanelWidth, kPanelHeight);
    panel->setCursor(r.cursor == PanelCursor::Drag ? Qt::DragMoveCursor : Qt::ArrowCursor);
    if (r.tabPosition >= 0 && r.tabPosition < kChannelCount) {
      byTab[static_cast<size_t>(r.tabPosition)] = box;
    }
  }
  for (size_t i = 1; i < byTab.size(); ++i) {
    if (byTab[i - 1] != nullptr && byTab[i] != nullptr) setTabOrder(byTab[i - 1], byTab[i]);
  }
}

void TDisplay::onCheckBoxClicked(int channel, bool checked) {
  if (GroupOfChannel(channel).group == ChannelGroup::Fan) {
    SetFanCounter(*ctx_, GroupRow(channel), checked);
  }
  rows_->SetChecked(channel, checked);
  refreshRows();
}

void TDisplay::onCheckBoxPress(int channel, RowPress press) {
  rows_->CheckBoxMouseDown(channel, press);
  refreshRows();
}

void TDisplay::onPanelPress(int channel, RowPress press) {
  rows_->PanelMouseDown(channel, press);
  refreshRows();
}

void TDisplay::RunStartup() {
  if (startup_.done()) return;
  applyTrayMode(core_.trayAvailable && core_.trayAvailable());
  if (const auto report = startup_.Run(*ctx_, *core_.detect, *rows_, *this, core_.startup)) {
    asmsMode_ = report->AsmsMode;
    if (!report->portRefusal.empty()) ShowPortRefusal(report->portRefusal, this);
    ImportHistory();
  }
  refreshRows();
  // Without a tray the window is the only way in.
  if (!isVisible() && !trayMode_) OpenWindow(false);
}

void TDisplay::SettingsLoaded(MonitorSettings& s) {
  stored_ = QPoint(s.xPosition, s.yPosition);
  placedAt_ = onScreen(stored_);
  move(placedAt_);
  for (int ch = 1; ch <= kChannelCount; ++ch) onCheckBoxClicked(ch, ChannelChecked(s, ch));
  timer_->stop();
  if (s.IntervalTime > 0) timer_->start(s.IntervalTime);
}

void TDisplay::SetRefreshVisible(bool visible) {
  refreshBar_->setVisible(visible);
  refreshBar_->setEnabled(visible);
  refreshButton_->setEnabled(visible);
}

void TDisplay::SetPanelText(int channel, const std::string& text) {
  if (channel < 1 || channel > kChannelCount) return;
  panels_[static_cast<size_t>(channel - 1)]->setText(QString::fromStdString(text));
}

// A simulated board's time moves on by one interval per tick, as in the
// command-line tool, so that its fans and temperatures change.
void TDisplay::onTimer() {
  if (core_.advanceClock) core_.advanceClock(static_cast<uint64_t>(timer_->interval()));
  sample();
}

void TDisplay::RefreshNow() {
  if (core_.settings->IntervalTime != 0) return;
  if (core_.advanceClock && lastSample_.isValid()) {
    core_.advanceClock(static_cast<uint64_t>(lastSample_.elapsed()));
  }
  sample();
}

void TDisplay::sample() {
  lastSample_.start();
  SampleAllChannels(*ctx_);
  emit sampled();
}

void TDisplay::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  // The dialog frame around the client area.
  QPainter p(this);
  const QPalette& pal = palette();
  const QRect r = rect().adjusted(0, 0, -1, -1);
  p.setPen(pal.color(QPalette::Light));
  p.drawLine(r.topLeft(), r.topRight());
  p.drawLine(r.topLeft(), r.bottomLeft());
  p.setPen(pal.color(QPalette::Shadow));
  p.drawLine(r.bottomLeft(), r.bottomRight());
  p.drawLine(r.topRight(), r.bottomRight());
}

}  // namespace kev::ui
