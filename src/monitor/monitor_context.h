// Everything one sampling cycle works with, passed by reference so that
// several simulated machines can be monitored in one process.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "detect/records.h"
#include "hw/portio.h"
#include "hw/uinit.h"
#include "monitor/channel_log.h"
#include "monitor/channels.h"
#include "monitor/log_writer.h"
#include "monitor/monitor_host.h"
#include "monitor/value_text.h"
#include "settings/monitor_settings.h"

namespace kev {

class ChannelHistory;

struct MonitorContext {
  MonitorContext(PortIo& io_, MonitorSettings& settings_, const DetectState& detect_,
                 ChannelSet& channels_, MonitorHost& host_, OsVersion os_,
                 std::string startDirectory, LogSeams log_, NumberFormat numbers_)
      : io(io_),
        settings(settings_),
        detect(detect_),
        channels(channels_),
        host(host_),
        os(os_),
        StartDirectory(std::move(startDirectory)),
        log(std::move(log_)),
        numbers(std::move(numbers_)) {}

  PortIo& io;
  MonitorSettings& settings;
  const DetectState& detect;
  ChannelSet& channels;
  MonitorHost& host;
  OsVersion os;
  std::string StartDirectory;  // ends with a path delimiter
  LogSeams log;
  NumberFormat numbers;
  // Started with the first log line, from the seams above; writes what is
  // still queued when the context ends.
  std::unique_ptr<LogWriter> logWriter;
  // Takes every cycle's readings when set; owned by the program.
  ChannelHistory* history = nullptr;
};

}  // namespace kev
