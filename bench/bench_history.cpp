// The history of 15 channels kept for a whole day at one sample a second:
// its memory, the cost of recording one cycle, and redrawing the History
// window's 24-hour view (the rings decimated to one column per pixel and
// painted). Targets: under 6 MB, under 16 ms a redraw.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <random>

#include "monitor/channel_history.h"
#include "ui/history_canvas.h"
#include "qt_bench_main.h"

namespace {

constexpr int64_t kT0 = 989675110000;
constexpr int64_t kSecond = 1000;
constexpr int kPlotWidth = 760;
constexpr double kMegabyte = 1000.0 * 1000.0;

// Every slot of every ring filled with a wandering reading, now and then in alarm.
std::unique_ptr<kev::ChannelHistory> FullHistory(int64_t& now) {
  auto history = std::make_unique<kev::ChannelHistory>([&now] { return now; });
  std::mt19937 rng(26);
  std::normal_distribution<double> step(0, 1);
  for (int ch = 1; ch <= kev::kChannelCount; ++ch) {
    double v = ch <= 3 ? 4000 : ch <= 6 ? 45 : 3.3;
    const double scale = ch <= 3 ? 20 : ch <= 6 ? 0.2 : 0.005;
    for (int64_t s = 0; s < kev::kHistorySpanMs / kSecond; ++s) {
      v += step(rng) * scale;
      history->Record(ch, kT0 + s * kSecond, v, rng() % 500 == 0);
    }
  }
  now = kT0 + kev::kHistorySpanMs - kSecond;
  return history;
}

std::vector<kev::ui::PlotRow> AllRows() {
  std::vector<kev::ui::PlotRow> rows;
  for (const kev::SensorChannel& ch : kev::MakeChannels()) {
    rows.push_back({ch.number,
                    ch.group,
                    QStringLiteral("Channel %1").arg(ch.number),
                    {ch.group == kev::ChannelGroup::Temp ? std::nullopt : std::optional(1.0),
                     ch.group == kev::ChannelGroup::Fan ? std::nullopt : std::optional(60.0)}});
  }
  return rows;
}

void BM_Redraw24HoursOf15FullChannels(benchmark::State& state) {
  int64_t now = 0;
  const auto history = FullHistory(now);
  const kev::ui::HistoryScene scene{history.get(), AllRows(), kev::kHistorySpanMs, now};
  QImage image(kPlotWidth, kev::ui::SceneHeight(scene), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QPainter p(&image);
    p.fillRect(image.rect(), Qt::white);
    benchmark::DoNotOptimize(kev::ui::PaintHistory(p, kPlotWidth, scene));
  }
  state.counters["history_MB"] = static_cast<double>(history->MemoryBytes()) / kMegabyte;
}
BENCHMARK(BM_Redraw24HoursOf15FullChannels)->Unit(benchmark::kMillisecond);

void BM_RecordOneCycle(benchmark::State& state) {
  int64_t now = 0;
  const auto history = FullHistory(now);
  kev::ChannelSet channels = kev::MakeChannels();
  for (kev::SensorChannel& ch : channels) ch.value = 1.0;
  kev::MonitorSettings settings;
  for (int ch = 1; ch <= kev::kChannelCount; ++ch) kev::ChannelChecked(settings, ch) = true;
  for (auto _ : state) {
    now += kSecond;
    history->RecordCycle(channels, settings);
  }
}
BENCHMARK(BM_RecordOneCycle)->Unit(benchmark::kMicrosecond);

}  // namespace

KEV_QT_BENCHMARK_MAIN()
