// The hardware monitoring profile: a plain text, lines ending in LF, with
// the summary, the set-up values, register dumps, the monitor window's
// rows and the PCI configuration space.
#pragma once

#include <array>
#include <string>

#include "detect/records.h"
#include "hw/portio.h"
#include "report/summary.h"
#include "settings/monitor_settings.h"

namespace kev::report {

inline constexpr size_t kWindowRows = 15;

// What the monitor window shows, row by row in channel order (Fan 1 ..
// Volt 9): the row's label and the current text of its value panel.
struct MonitorWindowText {
  std::array<std::string, kWindowRows> labels;
  std::array<std::string, kWindowRows> texts;
};

// Builds the whole profile. The summary and the choice of dump come from s
// (the information window's probe); the "Setting Value" section from the
// running program's settings and detection state. Reads the hardware again.
std::string BuildProfileText(PortIo& io, const InfoSummary& s, const MonitorSettings& settings,
                             const DetectState& state, const MonitorWindowText& rows);

// The sections, each appended to out; BuildProfileText strings them together.
void AppendTitle(std::string& out);
void AppendSummarySection(std::string& out, const InfoSummary& s);
void AppendSettingValues(std::string& out, const MonitorSettings& settings,
                         const DetectState& state);
void AppendFurtherDevices(std::string& out, PortIo& io, const InfoSummary& s);
void AppendMonitorWindow(std::string& out, const MonitorWindowText& rows);
void AppendPciConfiguration(std::string& out, PortIo& io);

}  // namespace kev::report
