// The hardware monitoring profile: a plain text, lines ending in LF, with
// the summary, the set-up values, register dumps, the monitor window's
// rows and the PCI configuration space.
#pragma once

#include <array>
#include <cstdint>
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

// Everything before the PCI section: title, summary, set-up values, chip
// registers, further devices and the monitor window.
void AppendProfileHead(std::string& out, PortIo& io, const InfoSummary& s,
                       const MonitorSettings& settings, const DetectState& state,
                       const MonitorWindowText& rows);

// The PCI section in steps, so that a caller can let other work through
// between them: each Step probes the next bus/device/function slots in
// order and dumps those present. The first step opens the section, the one
// that reaches the last slot closes it.
class PciConfigurationScan {
 public:
  static constexpr uint32_t kSlots = 256 * 32 * 8;
  static constexpr uint32_t kSlotsPerBus = 32 * 8;

  // Probes up to `slots` slots; true once the section is complete.
  bool Step(std::string& out, PortIo& io, uint32_t slots);
  bool done() const { return done_; }

 private:
  uint32_t next_ = 0;  // bus * 256 + device * 8 + function
  bool opened_ = false;
  bool done_ = false;
};

// The sections, each appended to out; BuildProfileText strings them together.
void AppendTitle(std::string& out);
void AppendSummarySection(std::string& out, const InfoSummary& s);
void AppendSettingValues(std::string& out, const MonitorSettings& settings,
                         const DetectState& state);
void AppendFurtherDevices(std::string& out, PortIo& io, const InfoSummary& s);
void AppendMonitorWindow(std::string& out, const MonitorWindowText& rows);
void AppendPciConfiguration(std::string& out, PortIo& io);

}  // namespace kev::report
