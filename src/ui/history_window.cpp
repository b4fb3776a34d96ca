#include "ui/history_window.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <array>

#include "monitor/reading_text.h"

namespace kev::ui {
namespace {

constexpr int kWidth = 760, kHeight = 600;
const QString kPointHint = QStringLiteral("Point at a line to read its time and value.");

struct SpanButton {
  const char* name;
  const char* caption;
  int64_t spanMs;
};
constexpr std::array<SpanButton, 3> kSpans{{{"Span10Minutes", "10 minutes", kTenMinutesMs},
                                            {"Span1Hour", "1 hour", kOneHourMs},
                                            {"Span24Hours", "24 hours", kOneDayMs}}};

}  // namespace

std::vector<PlotRow> CheckedPlotRows(const RowModel& rows, MonitorSettings& settings,
                                     const DetectState& detect, const ChannelSet& channels) {
  std::vector<PlotRow> out;
  for (int channel : rows.ChannelsInRowOrder()) {
    if (!ChannelChecked(settings, channel)) continue;
    const SensorChannel& ch = channels[static_cast<size_t>(channel - 1)];
    out.push_back({channel, ch.group, QString::fromStdString(RowName(rows.row(channel))),
                   LimitsOf(detect, settings, ch)});
  }
  return out;
}

HistoryWindow::HistoryWindow(const ChannelHistory& history, RowSource rows, const QString& note,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), history_(history), rows_(std::move(rows)) {
  setObjectName(QStringLiteral("HistoryWindow"));
  setWindowTitle(QStringLiteral("Kevatra History"));
  resize(kWidth, kHeight);
  spanMs_ = history_.ShortestSpanHolding(history_.Now());

  auto* bar = new QHBoxLayout;
  spans_ = new QButtonGroup(this);
  for (const SpanButton& s : kSpans) {
    auto* b = new QPushButton(QLatin1String(s.caption), this);
    b->setObjectName(QLatin1String(s.name));
    b->setCheckable(true);
    b->setChecked(s.spanMs == spanMs_);
    spans_->addButton(b);
    bar->addWidget(b);
    connect(b, &QPushButton::clicked, this, [this, span = s.spanMs] { setSpan(span); });
  }
  bar->addStretch();
  auto* save = new QPushButton(QStringLiteral("Save image"), this);
  save->setObjectName(QStringLiteral("SaveImage"));
  connect(save, &QPushButton::clicked, this, &HistoryWindow::askAndSave);
  bar->addWidget(save);

  canvas_ = new HistoryCanvas;
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setWidget(canvas_);
  point_ = new QLabel(kPointHint, this);
  point_->setObjectName(QStringLiteral("PointLabel"));
  connect(canvas_, &HistoryCanvas::pointed, this,
          [this](const QString& text) { point_->setText(text.isEmpty() ? kPointHint : text); });
  auto* noteLabel = new QLabel(note, this);
  noteLabel->setObjectName(QStringLiteral("NoteLabel"));
  noteLabel->setVisible(!note.isEmpty());

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(scroll, 1);
  layout->addWidget(point_);
  layout->addWidget(noteLabel);
  refresh();
}

void HistoryWindow::refresh() {
  canvas_->setScene({&history_, rows_ ? rows_() : std::vector<PlotRow>{}, spanMs_, history_.Now()});
}

void HistoryWindow::setSpan(int64_t spanMs) {
  spanMs_ = spanMs;
  for (QAbstractButton* b : spans_->buttons()) {
    for (const SpanButton& s : kSpans) {
      if (b->objectName() == QLatin1String(s.name)) b->setChecked(s.spanMs == spanMs);
    }
  }
  refresh();
}

QImage HistoryWindow::plotImage() { return canvas_->grab().toImage(); }

bool HistoryWindow::saveImage(const QString& path) { return plotImage().save(path, "PNG"); }

void HistoryWindow::askAndSave() {
  QFileDialog dialog(this, QStringLiteral("Save image"), QString(),
                     QStringLiteral("PNG images (*.png)"));
  dialog.setObjectName(QStringLiteral("SaveImageDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("png"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.selectFile(QStringLiteral("kevatra-history.png"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().front();
  if (!saveImage(path)) {
    QMessageBox::warning(this, QStringLiteral("Kevatra"),
                         QStringLiteral("The image could not be written to %1.").arg(path));
  }
}

}  // namespace kev::ui
