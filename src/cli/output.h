// What the tool prints: the rows as text or JSON, a watch line, the summary.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "monitor/channel_log.h"
#include "monitor/reading_text.h"
#include "monitor/row_model.h"
#include "report/summary.h"

namespace kev::cli {

std::string FormatReport(const RowsSnapshot& s);
// chip: the chip's shown name; board: the simulated board's name, if any.
std::string FormatReportJson(const RowsSnapshot& s, std::string_view chip,
                             const std::optional<std::string>& board);
// Time stamp, then name and value text of every checked row in row order.
std::string FormatWatchLine(const RowsSnapshot& s, const LocalTime& when);
std::string FormatSummary(const report::InfoSummary& summary);

}  // namespace kev::cli
