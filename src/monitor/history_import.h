// Fills the history from the channel logs at start-up, so that a restart
// does not blank the picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "monitor/channel_history.h"
#include "monitor/monitor_context.h"

namespace kev {

// A log file is read from its end, at most this much: a day at one line a
// second fits, a larger file is read from its last complete line within.
inline constexpr size_t kMaxLogImportBytes = 8 * 1024 * 1024;
// Longer lines are no log lines.
inline constexpr size_t kMaxLogLineBytes = 512;

struct LogReading {
  int64_t timeMs = 0;  // the local time stamp, milliseconds since 1970
  std::optional<double> value;
  bool alarm = false;  // the value text ends in " [Err]"
};

// One line as the channel log writes it, without its line end; none when
// it is no such line. "N/A" gives a reading without a value.
std::optional<LogReading> ParseLogLine(std::string_view line, char decimalPoint);

struct LogImport {
  size_t readings = 0;  // lines taken
  size_t skipped = 0;   // lines that are no log lines
};

// Hands over every reading of the file at path (a plain file, never
// followed through a link) taken between fromMs and toMs.
LogImport ImportLogFile(const std::string& path, char decimalPoint, int64_t fromMs, int64_t toMs,
                        const std::function<void(const LogReading&)>& take);

// Every channel whose logging is on, from its log file into its ring.
LogImport ImportChannelLogs(MonitorContext& ctx, ChannelHistory& history);

}  // namespace kev
