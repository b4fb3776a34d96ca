// One sampling cycle: the fan, temperature and voltage groups in turn.
#pragma once

#include <chrono>
#include <optional>

#include "monitor/monitor_context.h"

namespace kev {

void SampleAllChannels(MonitorContext& ctx);
void SampleFanGroup(MonitorContext& ctx);
void SampleTempGroup(MonitorContext& ctx);
void SampleVoltGroup(MonitorContext& ctx);

// Waits until every log line handed over is written (or the deadline has
// passed), and switches off the logging of channels whose write failed (the
// cycle does so at a later tick).
void FlushLogs(MonitorContext& ctx,
               std::optional<std::chrono::milliseconds> deadline = std::nullopt);

// Where channel logs go: LogFileDirectory, or the start directory when empty.
std::string LogFilePath(const MonitorContext& ctx, const SensorChannel& channel);

}  // namespace kev
