// One sample's rows as other programs read them: a row's shown name, and
// the number and unit behind a value text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "monitor/row_model.h"

namespace kev {

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

// What is needed to print or export the rows of one sample.
struct RowsSnapshot {
  const RowModel& rows;
  const ChannelSet& channels;
  MonitorSettings& settings;  // read only
  char decimalPoint = '.';
};

}  // namespace kev
