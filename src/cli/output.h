// What the tool prints: the rows as text or JSON, a watch line, the summary.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "monitor/channel_log.h"
#include "monitor/row_model.h"
#include "report/summary.h"

namespace kev::cli {

// A row's name as the window shows it: the trimmed check-box caption, or the
// row's own caption when the caption is blank.
std::string RowName(const RowView& row);

// The number and unit of a value text ("4411RPM", "45.5C / 113.9F" gives
// Celsius, "+3.31V"); no value for "N/A", "Ignore" and empty texts.
struct Reading {
  std::optional<double> value;
  std::string unit;
};
Reading ParseReading(std::string_view valueText, char decimalPoint);

// What a command needs to print the rows of one sample.
struct RowsSnapshot {
  const RowModel& rows;
  const ChannelSet& channels;
  MonitorSettings& settings;  // read only
  char decimalPoint = '.';
};

std::string FormatReport(const RowsSnapshot& s);
// chip: the chip's shown name; board: the simulated board's name, if any.
std::string FormatReportJson(const RowsSnapshot& s, std::string_view chip,
                             const std::optional<std::string>& board);
// Time stamp, then name and value text of every checked row in row order.
std::string FormatWatchLine(const RowsSnapshot& s, const LocalTime& when);
std::string FormatSummary(const report::InfoSummary& summary);

}  // namespace kev::cli
