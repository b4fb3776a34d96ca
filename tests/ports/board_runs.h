// Start-up detection, chip set-up, a few sampling ticks and the hardware
// monitoring profile of a simulated board through any port backend, for
// comparing backends.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "detect/detect.h"
#include "monitor/monitor_rig.h"
#include "monitor/sampling.h"
#include "report/profile.h"
#include "report/summary.h"
#include "sim/board.h"

namespace kev::test {

// What the program saw: the chip found, each tick's panels, the profile
// when asked for (it reads all of PCI configuration space). The board's
// clock moves on between ticks; a board in another process (null) stays.
inline std::vector<std::string> DetectAndTick(sim::SimBoard* board, PortIo& io, uint32_t asmsMode,
                                              bool withProfile, int ticks = 3) {
  MonitorRig rig(io);
  for (int c = 1; c <= kChannelCount; ++c) ChannelChecked(rig.settings, c) = true;
  EnableIchSmbus(io);
  DetectPmDevice(io, rig.settings, asmsMode, rig.detect);
  DetectChip(io, rig.settings, rig.detect);
  ConfigureChip(io, rig.settings, rig.detect);
  const HwMonitorChip& chip = rig.detect.chip;
  std::vector<std::string> seen{std::to_string(chip.ChipKind) + " at " +
                                std::to_string(rig.settings.MainChipPortAddress) + " smbus " +
                                std::to_string(chip.MainSmbAddress)};
  for (int t = 0; t < ticks; ++t) {
    SampleAllChannels(rig.ctx);
    for (const auto& [channel, text] : rig.host.panels) seen.push_back(text);
    if (board != nullptr) board->advanceMs(1500);
  }
  if (withProfile) {
    const report::InfoSummary summary = report::GatherSummary(io);
    seen.push_back(report::BuildProfileText(io, summary, rig.settings, rig.detect, {}));
  }
  return seen;
}

}  // namespace kev::test
