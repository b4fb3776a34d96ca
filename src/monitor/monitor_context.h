// Everything one sampling cycle works with, passed by reference so that
// several simulated machines can be monitored in one process.
#pragma once

#include <string>

#include "detect/records.h"
#include "hw/portio.h"
#include "hw/uinit.h"
#include "monitor/channel_log.h"
#include "monitor/channels.h"
#include "monitor/monitor_host.h"
#include "monitor/value_text.h"
#include "settings/monitor_settings.h"

namespace kev {

struct MonitorContext {
  PortIo& io;
  MonitorSettings& settings;
  const DetectState& detect;
  ChannelSet& channels;
  MonitorHost& host;
  OsVersion os;
  std::string StartDirectory;  // ends with a path delimiter
  LogSeams log;
  NumberFormat numbers;
};

}  // namespace kev
