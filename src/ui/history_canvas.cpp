#include "ui/history_canvas.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <array>

#include "monitor/caption_tables.h"
#include "monitor/history_plot.h"
#include "ui/qt_compat.h"

namespace kev::ui {
namespace {

constexpr int kGroupTitleHeight = 22;
constexpr int kCaptionHeight = 16;
constexpr int kPlotHeight = 46;
constexpr int kAxisHeight = 14;
constexpr int kStripHeight = kCaptionHeight + kPlotHeight + kAxisHeight;
constexpr int kLeftMargin = 58;
constexpr int kRightMargin = 10;
constexpr int kTextGap = 4;
constexpr int kFontPixels = 11;
constexpr double kHalf = 0.5;

const QColor kLineColor(31, 95, 191);
const QColor kAlarmColor(246, 194, 194);
const QColor kLimitColor(200, 0, 0);
const QColor kGridColor(221, 221, 221);
const QColor kTextColor(70, 70, 70);

// The groups in window order.
constexpr std::array<ChannelGroup, 3> kGroups{ChannelGroup::Fan, ChannelGroup::Temp,
                                              ChannelGroup::Volt};

const char* UnitOf(ChannelGroup g) {
  if (g == ChannelGroup::Fan) return "rpm";
  return g == ChannelGroup::Temp ? "C" : "V";
}

int Decimals(ChannelGroup g) {
  if (g == ChannelGroup::Fan) return 0;
  return g == ChannelGroup::Temp ? 1 : 2;
}

QString Value(double v, ChannelGroup g) { return QString::number(v, 'f', Decimals(g)); }

int RowsOf(const HistoryScene& scene, ChannelGroup g) {
  int n = 0;
  for (const PlotRow& r : scene.rows) n += r.group == g ? 1 : 0;
  return n;
}

double Y(const QRect& plot, const ValueRange& r, double v) {
  return plot.bottom() + kHalf - plot.height() * r.Fraction(v);
}

void DrawAlarms(QPainter& p, const PlotStrip& s, int64_t periodMs) {
  for (const ColumnRun& run : JoinedRuns(s.columns, s.columnMs, periodMs, true)) {
    p.fillRect(QRect(s.plot.left() + static_cast<int>(run.first), s.plot.top(),
                     static_cast<int>(run.last - run.first + 1), s.plot.height()),
               kAlarmColor);
  }
}

void DrawAxes(QPainter& p, const PlotStrip& s, const ValueRange& r, const HistoryScene& scene) {
  p.setPen(kGridColor);
  p.drawRect(s.plot.adjusted(0, 0, -1, -1));
  p.setPen(kTextColor);
  const int labelWidth = kLeftMargin - 2 * kTextGap;
  for (double v : {r.lo, r.hi}) {
    const int y = static_cast<int>(Y(s.plot, r, v));
    p.drawText(QRect(kTextGap, y - kCaptionHeight / 2, labelWidth, kCaptionHeight),
               Qt::AlignRight | Qt::AlignVCenter, Value(v, s.row.group));
  }
  const QRect axis(s.plot.left(), s.plot.bottom() + 1, s.plot.width(), kAxisHeight);
  const QDateTime start = QDateTime::fromMSecsSinceEpoch(scene.nowMs - scene.spanMs);
  const QString format =
      scene.spanMs > 3600 * 1000 ? QStringLiteral("ddd hh:mm") : QStringLiteral("hh:mm:ss");
  p.drawText(axis, Qt::AlignLeft | Qt::AlignVCenter, start.toString(format));
  p.drawText(axis, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("now"));
}

void DrawLimits(QPainter& p, const PlotStrip& s, const ValueRange& r) {
  p.setPen(QPen(kLimitColor, 1, Qt::DashLine));
  for (const std::optional<double>& v : {s.row.limits.low, s.row.limits.high}) {
    if (!v) continue;
    const double y = Y(s.plot, r, *v);
    p.drawLine(QPointF(s.plot.left(), y), QPointF(s.plot.right(), y));
  }
}

// Each joined run as a band over the columns' maxima and back along their
// minima: a peak of one sample keeps its full height.
void DrawReadings(QPainter& p, const PlotStrip& s, const ValueRange& r, int64_t periodMs) {
  p.setPen(QPen(kLineColor, 1));
  p.setBrush(kLineColor);
  for (const ColumnRun& run : JoinedRuns(s.columns, s.columnMs, periodMs, false)) {
    QPolygonF band;
    for (size_t i = run.first; i <= run.last; ++i) {
      if (!s.columns[i].empty)
        band << QPointF(s.plot.left() + static_cast<double>(i), Y(s.plot, r, s.columns[i].max));
    }
    for (size_t i = run.last + 1; i-- > run.first;) {
      if (!s.columns[i].empty)
        band << QPointF(s.plot.left() + static_cast<double>(i), Y(s.plot, r, s.columns[i].min));
    }
    p.drawPolygon(band);
  }
  p.setBrush(Qt::NoBrush);
}

PlotStrip PaintStrip(QPainter& p, int top, int width, const PlotRow& row,
                     const HistoryScene& scene) {
  PlotStrip s;
  s.row = row;
  s.plot = QRect(kLeftMargin, top + kCaptionHeight, std::max(1, width - kLeftMargin - kRightMargin),
                 kPlotHeight);
  s.fromMs = scene.nowMs - scene.spanMs;
  s.columnMs = std::max<int64_t>(1, scene.spanMs / s.plot.width());
  s.columns = scene.history->Columns(row.channel, s.fromMs, scene.nowMs,
                                     static_cast<size_t>(s.plot.width()));
  const ValueRange range = PlotRange(s.columns, row.limits);
  const int64_t periodMs = scene.history->periodMs();
  p.setPen(Qt::black);
  p.drawText(QRect(kLeftMargin, top, s.plot.width(), kCaptionHeight),
             Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("%1 (%2)").arg(row.caption, QLatin1String(UnitOf(row.group))));
  DrawAlarms(p, s, periodMs);
  DrawAxes(p, s, range, scene);
  DrawLimits(p, s, range);
  DrawReadings(p, s, range, periodMs);
  return s;
}

}  // namespace

int SceneHeight(const HistoryScene& scene) {
  int h = 0;
  for (const ChannelGroup g : kGroups)
    h += kGroupTitleHeight + std::max(1, RowsOf(scene, g)) * kStripHeight;
  return h;
}

std::vector<PlotStrip> PaintHistory(QPainter& p, int width, const HistoryScene& scene) {
  std::vector<PlotStrip> strips;
  QFont font = p.font();
  font.setPixelSize(kFontPixels);
  p.setFont(font);
  int top = 0;
  for (const ChannelGroup group : kGroups) {
    const RowGroupInfo& g = GroupInfo(group);
    QFont bold = font;
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(Qt::black);
    p.drawText(QRect(kTextGap, top, width, kGroupTitleHeight), Qt::AlignLeft | Qt::AlignVCenter,
               QLatin1String(g.title.data(), static_cast<QtSize>(g.title.size())));
    p.setFont(font);
    top += kGroupTitleHeight;
    if (RowsOf(scene, g.group) == 0 || scene.history == nullptr) {
      p.setPen(kTextColor);
      p.drawText(QRect(kLeftMargin, top, width, kStripHeight), Qt::AlignLeft | Qt::AlignVCenter,
                 QStringLiteral("No channel of this group is checked."));
      top += kStripHeight;
      continue;
    }
    for (const PlotRow& row : scene.rows) {
      if (row.group != g.group) continue;
      strips.push_back(PaintStrip(p, top, width, row, scene));
      top += kStripHeight;
    }
  }
  return strips;
}

QString PointText(const std::vector<PlotStrip>& strips, QPoint at) {
  for (const PlotStrip& s : strips) {
    if (!s.plot.contains(at)) continue;
    const auto i = static_cast<size_t>(at.x() - s.plot.left());
    if (i >= s.columns.size()) return {};
    const HistoryColumn& c = s.columns[i];
    const QString time = QDateTime::fromMSecsSinceEpoch(
                             s.fromMs + static_cast<int64_t>(i) * s.columnMs + s.columnMs / 2)
                             .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    QString value = QStringLiteral("no reading");
    if (!c.empty) {
      const QString unit = QLatin1String(UnitOf(s.row.group));
      value = c.min == c.max ? Value(c.max, s.row.group) + QLatin1Char(' ') + unit
                             : QStringLiteral("%1 to %2 %3")
                                   .arg(Value(c.min, s.row.group), Value(c.max, s.row.group), unit);
      if (c.alarm) value += QStringLiteral(", in alarm");
    }
    return QStringLiteral("%1  %2: %3").arg(time, s.row.caption, value);
  }
  return {};
}

HistoryCanvas::HistoryCanvas(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("HistoryCanvas"));
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryCanvas::setScene(HistoryScene scene) {
  scene_ = std::move(scene);
  setMinimumHeight(SceneHeight(scene_));
  update();
}

void HistoryCanvas::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  strips_ = PaintHistory(p, width(), scene_);
  if (pointerX_) {
    p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
    p.drawLine(*pointerX_, 0, *pointerX_, height());
  }
}

void HistoryCanvas::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = EventPos(event);
  const QString text = PointText(strips_, at);
  pointerX_ = text.isEmpty() ? std::nullopt : std::optional<int>(at.x());
  update();
  emit pointed(text);
}

void HistoryCanvas::leaveEvent(QEvent*) {
  pointerX_.reset();
  update();
  emit pointed(QString());
}

}  // namespace kev::ui
