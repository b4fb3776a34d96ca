#include "export/history_page.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "monitor/caption_tables.h"
#include "monitor/history_plot.h"

namespace kev::metrics {
namespace {

constexpr int64_t kMsPerMinute = 60 * 1000;
constexpr size_t kPageColumns = 300;
// The graph's drawing area inside its view box.
constexpr double kWidth = 640, kHeight = 120;
constexpr double kLeft = 56, kRight = 632, kTop = 8, kBottom = 100;
constexpr double kColumnWidth = (kRight - kLeft) / kPageColumns;

// The groups in window order.
constexpr std::array<ChannelGroup, 3> kGroups{ChannelGroup::Fan, ChannelGroup::Temp,
                                              ChannelGroup::Volt};

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1em;color:#222;background:#fff}"
    "h1{font-size:1.3em;margin:0}p.when{color:#666;margin:.2em 0 1em}"
    "section{margin-bottom:1.5em}h2{font-size:1.1em;border-bottom:1px solid #bbb}"
    "table{border-collapse:collapse;margin-bottom:.6em}"
    "td{padding:.1em .8em .1em 0}td.v{font-family:monospace;text-align:right}"
    "tr.err td.v{color:#b00;font-weight:bold}figure{margin:0 0 .8em}"
    "figcaption{font-size:.9em;margin-bottom:.1em}svg{display:block;max-width:100%}"
    ".grid{stroke:#ddd}.axis{font-size:10px;fill:#555}.alarm{fill:#f6c2c2}"
    ".limit{stroke:#c00;stroke-dasharray:6 3;stroke-width:1.2}"
    ".line{stroke:#1f5fbf;fill:#1f5fbf;stroke-width:1.2;stroke-linejoin:round}"
    ".none{font-size:12px;fill:#888}";

std::string Num(double v) {
  std::array<char, 32> buf{};
  std::snprintf(buf.data(), buf.size(), "%.1f", v);
  return buf.data();
}

// Readable value of an axis label.
std::string Label(double v, ChannelGroup g) {
  std::array<char, 32> buf{};
  std::snprintf(buf.data(), buf.size(), g == ChannelGroup::Volt ? "%.2f" : "%.0f", v);
  return buf.data();
}

std::string TimeOfDay(int64_t ms) {
  const auto t = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  localtime_r(&t, &tm);
  std::array<char, 32> buf{};
  std::strftime(buf.data(), buf.size(), "%Y-%m-%d %H:%M:%S", &tm);
  return buf.data();
}

double X(size_t column) { return kLeft + kColumnWidth * static_cast<double>(column); }
double Y(const ValueRange& r, double v) { return kBottom - (kBottom - kTop) * r.Fraction(v); }

void AlarmShading(std::string& out, const std::vector<HistoryColumn>& cols, int64_t columnMs,
                  int64_t periodMs) {
  for (const ColumnRun& run : JoinedRuns(cols, columnMs, periodMs, true)) {
    out += "<rect class=\"alarm\" x=\"" + Num(X(run.first)) + "\" y=\"" + Num(kTop) +
           "\" width=\"" + Num(X(run.last + 1) - X(run.first)) + "\" height=\"" +
           Num(kBottom - kTop) + "\"/>";
  }
}

void LimitLines(std::string& out, const ChannelLimits& limits, const ValueRange& r) {
  for (const std::optional<double>& v : {limits.low, limits.high}) {
    if (!v) continue;
    out += "<line class=\"limit\" x1=\"" + Num(kLeft) + "\" x2=\"" + Num(kRight) + "\" y1=\"" +
           Num(Y(r, *v)) + "\" y2=\"" + Num(Y(r, *v)) + "\"/>";
  }
}

// Each joined run as a band from the columns' maxima back along their
// minima, so that a peak of one sample keeps its height.
void Lines(std::string& out, const std::vector<HistoryColumn>& cols, int64_t columnMs,
           int64_t periodMs, const ValueRange& r) {
  for (const ColumnRun& run : JoinedRuns(cols, columnMs, periodMs, false)) {
    std::string points;
    const double half = kColumnWidth / 2;
    for (size_t i = run.first; i <= run.last; ++i) {
      if (!cols[i].empty) points += Num(X(i) + half) + "," + Num(Y(r, cols[i].max)) + " ";
    }
    for (size_t i = run.last + 1; i-- > run.first;) {
      if (!cols[i].empty) points += Num(X(i) + half) + "," + Num(Y(r, cols[i].min)) + " ";
    }
    out += "<polygon class=\"line\" points=\"" + points + "\"/>";
  }
}

void Axes(std::string& out, const ValueRange& r, ChannelGroup g) {
  for (double v : {r.lo, r.hi}) {
    out += "<line class=\"grid\" x1=\"" + Num(kLeft) + "\" x2=\"" + Num(kRight) + "\" y1=\"" +
           Num(Y(r, v)) + "\" y2=\"" + Num(Y(r, v)) + "\"/>";
    out += "<text class=\"axis\" x=\"" + Num(kLeft - 4) + "\" y=\"" + Num(Y(r, v) + 3) +
           "\" text-anchor=\"end\">" + Label(v, g) + "</text>";
  }
  const std::array<const char*, 5> ticks{"-60 min", "-45", "-30", "-15", "now"};
  for (size_t i = 0; i < ticks.size(); ++i) {
    const double x = kLeft + (kRight - kLeft) * static_cast<double>(i) / 4;
    out += "<text class=\"axis\" x=\"" + Num(x) + "\" y=\"" + Num(kHeight - 6) +
           "\" text-anchor=\"" +
           (i == 0   ? "start"
            : i == 4 ? "end"
                     : "middle") +
           "\">" + ticks[i] + "</text>";
  }
}

// "10 minutes", "hour", "24 hours", "5 minutes".
std::string SpanName(int64_t spanMs) {
  const int64_t minutes = spanMs / kMsPerMinute;
  if (minutes == 60) return "hour";
  if (minutes % 60 == 0) return std::to_string(minutes / 60) + " hours";
  return std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
}

// The three spans as plain links; the one shown is no link.
void SpanLinks(std::string& out, int64_t spanMs) {
  out += "<p class=\"spans\">";
  for (int64_t span : kHistorySpansMs) {
    const std::string name = SpanName(span);
    if (span == spanMs) {
      out += "<strong>" + name + "</strong> ";
    } else {
      out += "<a href=\"/?minutes=" + std::to_string(span / kMsPerMinute) + "\">" + name + "</a> ";
    }
  }
  out += "</p>";
}

void Graph(std::string& out, const HistoryView& view, const ChannelView& row, int64_t spanMs) {
  const int64_t to = view.sampledMs, from = to - spanMs;
  const std::vector<HistoryColumn> cols =
      view.history->Columns(row.channel, from, to, kPageColumns);
  const int64_t columnMs = spanMs / static_cast<int64_t>(kPageColumns);
  const int64_t periodMs = view.history->periodMs();
  const ValueRange r = PlotRange(cols, row.limits);
  const std::string caption = HtmlEscape(row.caption);
  out += "<figure id=\"graph-" + std::to_string(row.channel) + "\"><figcaption>" + caption + " (" +
         std::string(UnitOf(row.group)) + ")</figcaption>";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(kWidth) + "\" height=\"" +
         Num(kHeight) + "\" viewBox=\"0 0 " + Num(kWidth) + " " + Num(kHeight) +
         "\" role=\"img\" aria-label=\"" + caption + ", last " + SpanName(spanMs) + "\">";
  AlarmShading(out, cols, columnMs, periodMs);
  Axes(out, r, row.group);
  LimitLines(out, row.limits, r);
  Lines(out, cols, columnMs, periodMs, r);
  out += "</svg></figure>";
}

void Group(std::string& out, const HistoryView& view, const RowGroupInfo& g, int64_t spanMs) {
  out += "<section><h2>" + std::string(g.title) + "</h2><table>";
  for (const ChannelView& row : view.rows) {
    if (row.group != g.group || !row.shown) continue;
    out += std::string("<tr") + (row.alarm ? " class=\"err\"" : "") + "><td>" +
           HtmlEscape(row.caption) + "</td><td class=\"v\">" + HtmlEscape(row.valueText) +
           "</td></tr>";
  }
  out += "</table>";
  for (const ChannelView& row : view.rows) {
    if (row.group == g.group && row.checked && view.history != nullptr) {
      Graph(out, view, row, spanMs);
    }
  }
  out += "</section>";
}

}  // namespace

std::string HtmlEscape(std::string_view raw) {
  const std::string dumped = nlohmann::json(std::string(raw))
                                 .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  const std::string text = nlohmann::json::parse(dumped).get<std::string>();
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        if (static_cast<unsigned char>(c) >= ' ') out += c;
    }
  }
  return out;
}

std::optional<int64_t> ParsePageSpan(const char* minutes, std::string& error) {
  if (minutes == nullptr) return 0;
  std::string ignored;
  const std::optional<HistoryQuery> q = ParseHistoryQuery("1", minutes, ignored);
  if (!q) {
    error = "minutes must be a whole number from 1 to 1440\n";
    return std::nullopt;
  }
  return int64_t{q->minutes} * kMsPerMinute;
}

std::string FormatHistoryPage(const HistoryView& view, int64_t spanMs) {
  if (spanMs <= 0) {
    spanMs = view.history != nullptr ? view.history->ShortestSpanHolding(view.sampledMs)
                                     : kHistorySpansMs[1];
  }
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width\">"
      "<meta http-equiv=\"refresh\" content=\"" +
      std::to_string(view.refreshSeconds) + "\"><title>Kevatra</title><style>" + kStyle +
      "</style></head><body><h1>Kevatra</h1><p class=\"when\">Sampled " +
      TimeOfDay(view.sampledMs) + "; the graphs show the last " + SpanName(spanMs) + ".</p>";
  SpanLinks(out, spanMs);
  for (const ChannelGroup g : kGroups) Group(out, view, GroupInfo(g), spanMs);
  out += "</body></html>\n";
  return out;
}

}  // namespace kev::metrics
