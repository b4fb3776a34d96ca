#include "cli/output.h"

#include <charconv>
#include <cmath>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <sstream>

#include "monitor/value_text.h"

namespace kev::cli {
namespace {

constexpr int kNameWidth = 14;
constexpr int kSummaryCaptionWidth = 26;

// The JSON names of the three row groups.
constexpr std::array<std::string_view, kGroupCount> kGroupKeys{"fan", "temp", "volt"};

const SensorChannel& ChannelAt(const ChannelSet& c, int channel) {
  return c[static_cast<size_t>(channel - 1)];
}

// Whole numbers (revolutions per minute, most degrees) print without ".0".
nlohmann::ordered_json JsonNumber(double v) {
  constexpr double kExactInts = 9007199254740992.0;  // 2^53
  if (std::trunc(v) == v && std::fabs(v) < kExactInts) return static_cast<int64_t>(v);
  return v;
}

}  // namespace

std::string FormatReport(const RowsSnapshot& s) {
  std::ostringstream out;
  int group = -1;
  for (int ch : s.rows.ChannelsInRowOrder()) {
    const int g = GroupIndex(GroupOfChannel(ch).group);
    if (g != group) out << GroupOfChannel(ch).title << '\n';
    group = g;
    out << "  " << std::left << std::setw(kNameWidth) << RowName(s.rows.row(ch)) << ' '
        << ChannelAt(s.channels, ch).valueText << '\n';
  }
  return out.str();
}

std::string FormatReportJson(const RowsSnapshot& s, std::string_view chip,
                             const std::optional<std::string>& board) {
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (int ch : s.rows.ChannelsInRowOrder()) {
    const RowView& r = s.rows.row(ch);
    const SensorChannel& c = ChannelAt(s.channels, ch);
    const Reading reading = ParseReading(c.valueText, s.decimalPoint);
    nlohmann::ordered_json j;
    j["channel"] = ch;
    j["group"] = kGroupKeys[static_cast<size_t>(GroupIndex(GroupOfChannel(ch).group))];
    j["name"] = RowName(r);
    j["label"] = std::string(r.label);
    j["checked"] = ChannelChecked(s.settings, ch);
    j["text"] = c.valueText;
    j["value"] = reading.value ? JsonNumber(*reading.value) : nullptr;
    j["unit"] = reading.value ? nlohmann::ordered_json(reading.unit) : nullptr;
    j["error"] = c.inError;
    rows.push_back(std::move(j));
  }
  nlohmann::ordered_json doc;
  doc["board"] = board ? nlohmann::ordered_json(*board) : nullptr;
  doc["chip"] = std::string(chip);
  doc["rows"] = std::move(rows);
  // A board path may hold any bytes; bytes that are no UTF-8 become U+FFFD.
  return doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string FormatWatchLine(const RowsSnapshot& s, const LocalTime& when) {
  std::string line = FormatTimeStamp(when);
  bool any = false;
  for (int ch : s.rows.ChannelsInRowOrder()) {
    if (!ChannelChecked(s.settings, ch)) continue;
    line += any ? " | " : "  ";
    line += RowName(s.rows.row(ch)) + " " + ChannelAt(s.channels, ch).valueText;
    any = true;
  }
  return line + (any ? "\n" : "  (no channel checked)\n");
}

std::string FormatSummary(const report::InfoSummary& summary) {
  std::ostringstream out;
  for (size_t i = 0; i < report::kSummaryLines; ++i) {
    out << std::left << std::setw(kSummaryCaptionWidth) << report::kSummaryCaptions[i]
        << summary.texts[i] << '\n';
  }
  return out.str();
}

}  // namespace kev::cli
