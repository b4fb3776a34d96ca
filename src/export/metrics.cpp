#include "export/metrics.h"

#include <array>
#include <charconv>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>

#include "export/sensor_names.h"

namespace kev::metrics {
namespace {

struct Context {
  const RowsSnapshot& rows;
  const MetricsSource& source;
};

using Sample = std::optional<double> (*)(const Context&, const SensorChannel&);

std::optional<double> Value(const Context&, const SensorChannel& ch) { return ch.value; }
std::optional<double> Alarm(const Context&, const SensorChannel& ch) {
  return ch.inError ? 1.0 : 0.0;
}
std::optional<double> FanMin(const Context& c, const SensorChannel& ch) {
  return FanMinRpm(c.source.detect, c.rows.settings, ch.n);
}
std::optional<double> TempMax(const Context& c, const SensorChannel& ch) {
  return TempMaxCelsius(c.rows.settings, ch.n);
}
std::optional<double> InMin(const Context& c, const SensorChannel& ch) {
  return VoltWindowVolts(c.source.detect, c.rows.settings, ch.n).min;
}
std::optional<double> InMax(const Context& c, const SensorChannel& ch) {
  return VoltWindowVolts(c.source.detect, c.rows.settings, ch.n).max;
}

struct Family {
  std::string_view name;
  std::string_view help;
  ChannelGroup group;
  Sample sample;
};
// The per-sensor families, named after node_exporter's node_hwmon_* ones.
constexpr std::array<Family, 10> kSensorFamilies{{
    {"kevatra_fan_rpm", "Fan speed in revolutions per minute; 0 for a stopped fan.",
     ChannelGroup::Fan, Value},
    {"kevatra_fan_alarm", "1 while the fan is at or below its minimum speed.", ChannelGroup::Fan,
     Alarm},
    {"kevatra_fan_min_rpm", "The fan's minimum speed in revolutions per minute.", ChannelGroup::Fan,
     FanMin},
    {"kevatra_temp_celsius", "Temperature in degrees Celsius.", ChannelGroup::Temp, Value},
    {"kevatra_temp_alarm", "1 while the temperature is at or above its limit.", ChannelGroup::Temp,
     Alarm},
    {"kevatra_temp_max_celsius", "The temperature's limit in degrees Celsius.", ChannelGroup::Temp,
     TempMax},
    {"kevatra_in_volts", "Voltage in volts.", ChannelGroup::Volt, Value},
    {"kevatra_in_alarm", "1 while the voltage is outside its window.", ChannelGroup::Volt, Alarm},
    {"kevatra_in_min_volts", "The lower end of the voltage's window in volts.", ChannelGroup::Volt,
     InMin},
    {"kevatra_in_max_volts", "The upper end of the voltage's window in volts.", ChannelGroup::Volt,
     InMax},
}};
constexpr std::string_view kLabel = "kevatra_sensor_label";
constexpr std::string_view kChipInfo = "kevatra_chip_info";
constexpr std::string_view kBuildInfo = "kevatra_build_info";
constexpr std::string_view kSampleTime = "kevatra_last_sample_timestamp_seconds";

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

void Header(std::string& out, std::string_view name, std::string_view help) {
  out.append("# HELP ").append(name).append(" ").append(help).append("\n");
  out.append("# TYPE ").append(name).append(" gauge\n");
}

// A checked channel with a reading and its labels.
struct Sensor {
  const SensorChannel* channel;
  std::string chip;
  std::string labels;  // {chip="...",sensor="..."}
  std::string caption;
};

std::vector<Sensor> Sensors(const RowsSnapshot& s, const MetricsSource& source) {
  const std::string chipLabel = ChipLabel(source.namedChipKind);
  std::vector<Sensor> out;
  for (const SensorChannel& ch : s.channels) {
    if (!ChannelChecked(s.settings, ch.number) || !ch.value) continue;
    std::string chip = SourceLabel(ch, source.detect, s.settings, chipLabel);
    std::string labels = "chip=\"" + LabelValue(chip) + "\",sensor=\"" + SensorName(ch) + "\"";
    out.push_back({&ch, std::move(chip), std::move(labels), RowName(s.rows.row(ch.number))});
  }
  return out;
}

void ChipLines(std::string& out, const std::vector<Sensor>& sensors, const MetricsSource& source) {
  std::map<std::string, std::string> chips{
      {ChipLabel(source.namedChipKind), std::string(source.chipName)}};
  for (const Sensor& s : sensors) chips.emplace(s.chip, "SMBus temperature sensor");
  Header(out, kChipInfo, "Always 1: the chips that give readings, and the PM device.");
  for (const auto& [label, name] : chips) {
    out.append(kChipInfo).append("{chip=\"" + LabelValue(label) + "\",chip_name=\"" +
                                 LabelValue(name) + "\",pm_device=\"" +
                                 LabelValue(source.pmDevice) + "\"} 1\n");
  }
}

}  // namespace

std::string FormatMetrics(const RowsSnapshot& s, const MetricsSource& source) {
  const std::vector<Sensor> sensors = Sensors(s, source);
  const Context context{s, source};
  std::string out;
  for (const Family& f : kSensorFamilies) {
    Header(out, f.name, f.help);
    for (const Sensor& sensor : sensors) {
      if (sensor.channel->group != f.group) continue;
      const std::optional<double> v = f.sample(context, *sensor.channel);
      if (v) out.append(f.name).append("{" + sensor.labels + "} " + Number(*v) + "\n");
    }
  }
  Header(out, kLabel, "Always 1: the caption the user gave the sensor.");
  for (const Sensor& sensor : sensors) {
    out.append(kLabel).append("{" + sensor.labels + ",label=\"" + LabelValue(sensor.caption) +
                              "\"} 1\n");
  }
  ChipLines(out, sensors, source);
  Header(out, kBuildInfo, "Always 1: the version of kevatra-cli.");
  out.append(kBuildInfo).append("{version=\"" + LabelValue(source.version) + "\"} 1\n");
  Header(out, kSampleTime, "When the readings were last sampled, in seconds since 1970.");
  out.append(kSampleTime).append(" " + Number(source.sampleTime) + "\n");
  return out;
}

}  // namespace kev::metrics
