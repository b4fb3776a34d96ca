// The History window's plot: under each group's title, one strip per
// checked channel with its readings as min/max columns, its limits as
// dashed lines and its alarms shaded. Painted with QPainter: a redraw asks
// the rings for one column per pixel and draws a few hundred lines a strip.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "monitor/channel_history.h"
#include "monitor/channel_limits.h"

class QPainter;

namespace kev::ui {

struct PlotRow {
  int channel = 0;
  ChannelGroup group = ChannelGroup::Fan;
  QString caption;  // the row's shown name
  ChannelLimits limits;
};

struct HistoryScene {
  const ChannelHistory* history = nullptr;
  std::vector<PlotRow> rows;  // checked channels in the window's order
  int64_t spanMs = 0;
  int64_t nowMs = 0;
};

// One strip as last painted, for pointing at it.
struct PlotStrip {
  QRect plot;
  PlotRow row;
  int64_t fromMs = 0;
  int64_t columnMs = 1;
  std::vector<HistoryColumn> columns;  // one per pixel of the plot's width
};

// The height the scene needs.
int SceneHeight(const HistoryScene& scene);
// Paints the scene into a width x SceneHeight area; returns the strips.
std::vector<PlotStrip> PaintHistory(QPainter& p, int width, const HistoryScene& scene);
// "14:03:27  CPU Temp.: 45.5 C" for a point of a strip; empty off the plots.
QString PointText(const std::vector<PlotStrip>& strips, QPoint at);

class HistoryCanvas : public QWidget {
  Q_OBJECT
 public:
  explicit HistoryCanvas(QWidget* parent = nullptr);
  void setScene(HistoryScene scene);
  const std::vector<PlotStrip>& strips() const { return strips_; }

 signals:
  void pointed(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  HistoryScene scene_;
  std::vector<PlotStrip> strips_;
  std::optional<int> pointerX_;
};

}  // namespace kev::ui
