#include "export/history_view.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>

#include "export/sensor_names.h"

namespace kev::metrics {
namespace {

constexpr int64_t kMsPerMinute = 60 * 1000;
constexpr int64_t kMsPerSecond = 1000;

std::optional<int> WholeNumber(std::string_view text, int min, int max) {
  int v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < min || v > max) return {};
  return v;
}

nlohmann::json Limit(const std::optional<double>& v) {
  return v ? nlohmann::json(*v) : nlohmann::json(nullptr);
}

}  // namespace

const ChannelView* HistoryView::row(int channel) const {
  for (const ChannelView& r : rows) {
    if (r.channel == channel) return &r;
  }
  return nullptr;
}

HistoryView MakeHistoryView(const RowsSnapshot& s, const DetectState& detect,
                            const ChannelHistory* history, uint64_t intervalMs) {
  HistoryView v;
  v.history = history;
  v.sampledMs = history != nullptr ? history->Now() : WallClockMs();
  v.refreshSeconds = static_cast<int>(
      std::max<uint64_t>(1, (intervalMs + static_cast<uint64_t>(kMsPerSecond) - 1) / kMsPerSecond));
  for (int channel : s.rows.ChannelsInRowOrder()) {
    const SensorChannel& ch = s.channels[static_cast<size_t>(channel - 1)];
    const RowView& row = s.rows.row(channel);
    v.rows.push_back({channel, ch.group, SensorName(ch), RowName(row), ch.valueText,
                      ChannelChecked(s.settings, channel), row.enabled, ch.inError,
                      LimitsOf(detect, s.settings, ch)});
  }
  return v;
}

std::string_view UnitOf(ChannelGroup group) {
  switch (group) {
    case ChannelGroup::Fan:
      return "rpm";
    case ChannelGroup::Temp:
      return "C";
    case ChannelGroup::Volt:
      break;
  }
  return "V";
}

std::optional<HistoryQuery> ParseHistoryQuery(const char* channel, const char* minutes,
                                              std::string& error) {
  HistoryQuery q;
  const std::optional<int> c =
      channel == nullptr ? std::nullopt : WholeNumber(channel, 1, kChannelCount);
  if (!c) {
    error = "channel must be a channel number from 1 to 15\n";
    return std::nullopt;
  }
  q.channel = *c;
  if (minutes == nullptr) return q;
  const std::optional<int> m = WholeNumber(minutes, 1, kMaxHistoryMinutes);
  if (!m) {
    error = "minutes must be a whole number from 1 to 1440\n";
    return std::nullopt;
  }
  q.minutes = *m;
  return q;
}

std::string FormatHistoryJson(const HistoryView& view, const HistoryQuery& query) {
  const ChannelView* row = view.row(query.channel);
  if (row == nullptr || view.history == nullptr) return "{}";
  const int64_t to = view.sampledMs, from = to - query.minutes * kMsPerMinute;
  // No point narrower than a slot.
  const auto slots = static_cast<size_t>((to - from) / view.history->periodMs());
  const size_t columns = std::clamp<size_t>(slots, 1, kMaxHistoryPoints);
  nlohmann::json points = nlohmann::json::array();
  for (const HistoryColumn& c : view.history->Columns(query.channel, from, to, columns)) {
    if (c.empty) continue;
    points.push_back({{"t", c.startMs}, {"min", c.min}, {"max", c.max}, {"alarm", c.alarm}});
  }
  const nlohmann::json doc{{"channel", row->channel},
                           {"sensor", row->sensor},
                           {"caption", row->caption},
                           {"unit", UnitOf(row->group)},
                           {"checked", row->checked},
                           {"from", from},
                           {"to", to},
                           {"column_ms", (to - from) / static_cast<int64_t>(columns)},
                           {"low", Limit(row->limits.low)},
                           {"high", Limit(row->limits.high)},
                           {"points", std::move(points)}};
  return doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace kev::metrics
