// The History window: the checked channels of the last 10 minutes, hour or
// 24 hours in their three groups, following the samples live, with "Save
// image" for attaching the plot to a report.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "monitor/row_model.h"
#include "ui/history_canvas.h"

class QButtonGroup;
class QLabel;

namespace kev::ui {

// The checked channels in the window's order with their captions and limits.
std::vector<PlotRow> CheckedPlotRows(const RowModel& rows, MonitorSettings& settings,
                                     const DetectState& detect, const ChannelSet& channels);

inline constexpr int64_t kTenMinutesMs = 10LL * 60 * 1000;
inline constexpr int64_t kOneHourMs = 60LL * 60 * 1000;
inline constexpr int64_t kOneDayMs = 24LL * 60 * 60 * 1000;

// Controls by object name: "Span10Minutes", "Span1Hour", "Span24Hours",
// "SaveImage", "HistoryCanvas", "PointLabel" (time and value under the
// pointer), "NoteLabel" (what the logs gave at start).
class HistoryWindow : public QWidget {
  Q_OBJECT
 public:
  using RowSource = std::function<std::vector<PlotRow>()>;
  HistoryWindow(const ChannelHistory& history, RowSource rows, const QString& note,
                QWidget* parent = nullptr);

  // Re-reads the rows and redraws: after every sample.
  void refresh();
  void setSpan(int64_t spanMs);
  int64_t span() const { return spanMs_; }
  // The plot as it stands, as an image and into a PNG file.
  QImage plotImage();
  bool saveImage(const QString& path);
  HistoryCanvas* canvas() const { return canvas_; }

 private:
  void askAndSave();

  const ChannelHistory& history_;
  RowSource rows_;
  int64_t spanMs_ = kOneHourMs;
  HistoryCanvas* canvas_ = nullptr;
  QButtonGroup* spans_ = nullptr;
  QLabel* point_ = nullptr;
};

}  // namespace kev::ui
