// One sampling cycle: the fan, temperature and voltage groups in turn.
#pragma once

#include "monitor/monitor_context.h"

namespace kev {

void SampleAllChannels(MonitorContext& ctx);
void SampleFanGroup(MonitorContext& ctx);
void SampleTempGroup(MonitorContext& ctx);
void SampleVoltGroup(MonitorContext& ctx);

// Where channel logs go: LogFileDirectory, or the start directory when empty.
std::string LogFilePath(const MonitorContext& ctx, const SensorChannel& channel);

}  // namespace kev
