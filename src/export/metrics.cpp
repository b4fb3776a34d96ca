#include "export/metrics.h"

#include <array>
#include <charconv>
#include <nlohmann/json.hpp>

namespace kev::metrics {
namespace {

struct Family {
  std::string_view name;
  std::string_view help;
};
// Value families in group order: fans, temperatures, voltages.
constexpr std::array<Family, kGroupCount> kValueFamilies{{
    {"kevatra_fan_speed_rpm", "Fan speed in revolutions per minute."},
    {"kevatra_temperature_celsius", "Temperature in degrees Celsius."},
    {"kevatra_voltage_volts", "Voltage in volts."},
}};
constexpr Family kAlarm{"kevatra_channel_alarm", "1 while the channel is outside its limit."};
constexpr Family kReadable{"kevatra_channel_readable",
                           "1 while the channel has a reading, 0 while it shows N/A."};
constexpr Family kInfo{"kevatra_chip_info", "The monitoring chip and the PM device."};
constexpr Family kSampleTime{"kevatra_last_sample_timestamp_seconds",
                             "When the readings were last sampled, in seconds since 1970."};

// Label values are UTF-8 with backslash, double quote and line feed escaped.
std::string LabelValue(std::string_view raw) {
  // Bytes that are no UTF-8 (a label from an old settings file) become U+FFFD.
  const std::string dumped = nlohmann::json(std::string(raw))
                                 .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  const std::string text = nlohmann::json::parse(dumped).get<std::string>();
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return out;
}

std::string Number(double v) {
  std::array<char, 32> buf{};
  auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return ec == std::errc() ? std::string(buf.data(), end) : "NaN";
}

void Header(std::string& out, const Family& f) {
  out += "# HELP " + std::string(f.name) + ' ' + std::string(f.help) + '\n';
  out += "# TYPE " + std::string(f.name) + " gauge\n";
}

std::string ChannelLabels(const RowsSnapshot& s, int ch) {
  const RowView& r = s.rows.row(ch);
  return "{channel=\"" + std::to_string(ch) + "\",caption=\"" + LabelValue(RowName(r)) +
         "\",label=\"" + LabelValue(r.label) + "\"}";
}

const SensorChannel& ChannelOf(const RowsSnapshot& s, int ch) {
  return s.channels[static_cast<size_t>(ch - 1)];
}

}  // namespace

std::string FormatMetrics(const RowsSnapshot& s, const MetricsSource& source) {
  std::vector<int> checked;
  for (int ch : s.rows.ChannelsInRowOrder()) {
    if (ChannelChecked(s.settings, ch)) checked.push_back(ch);
  }
  std::string out;
  for (int g = 0; g < kGroupCount; ++g) {
    const Family& f = kValueFamilies[static_cast<size_t>(g)];
    Header(out, f);
    for (int ch : checked) {
      if (GroupIndex(GroupOfChannel(ch).group) != g) continue;
      const Reading r = ParseReading(ChannelOf(s, ch).valueText, s.decimalPoint);
      if (r.value)
        out += std::string(f.name) + ChannelLabels(s, ch) + ' ' + Number(*r.value) + '\n';
    }
  }
  Header(out, kAlarm);
  for (int ch : checked) {
    out += std::string(kAlarm.name) + ChannelLabels(s, ch) +
           (ChannelOf(s, ch).inError ? " 1\n" : " 0\n");
  }
  Header(out, kReadable);
  for (int ch : checked) {
    const bool readable =
        ParseReading(ChannelOf(s, ch).valueText, s.decimalPoint).value.has_value();
    out += std::string(kReadable.name) + ChannelLabels(s, ch) + (readable ? " 1\n" : " 0\n");
  }
  Header(out, kInfo);
  out += std::string(kInfo.name) + "{chip=\"" + LabelValue(source.chip) + "\",pm_device=\"" +
         LabelValue(source.pmDevice) + "\"} 1\n";
  Header(out, kSampleTime);
  out += std::string(kSampleTime.name) + ' ' + Number(source.sampleTime) + '\n';
  return out;
}

}  // namespace kev::metrics
