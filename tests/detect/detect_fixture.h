// Shared helpers of the detection tests: boards from the catalogue or from
// board-file text, and the whole detection run the start-up sequence makes.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "detect/detect.h"
#include "sim/board.h"
#include "sim/chips.h"
#include "sim/machine.h"

namespace kev::test {

inline std::unique_ptr<sim::SimBoard> BoardFromJson(std::string_view json) {
  sim::BoardResult r = sim::LoadBoardJson(json, "test board");
  EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error().text());
  return r.ok() ? r.take() : nullptr;
}

inline std::unique_ptr<sim::SimBoard> CatalogueBoard(const std::string& name) {
  sim::BoardResult r = sim::LoadCatalogueBoard(name);
  EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error().text());
  return r.ok() ? r.take() : nullptr;
}

// Settings as a first start leaves them (no registry keys yet).
inline MonitorSettings FirstRunSettings() {
  MonitorSettings s;
  s.SettingsDefaulted = true;
  return s;
}

// ICH enable, PM device, chip detection and configuration, in start-up order.
inline void RunDetection(PortIo& io, MonitorSettings& s, DetectState& st, uint32_t asmsMode = 0) {
  EnableIchSmbus(io);
  DetectPmDevice(io, s, asmsMode, st);
  DetectChip(io, s, st);
  ConfigureChip(io, s, st);
}

// Register peek on a stand-alone chip model of a board.
inline sim::MonitorChip* Chip(sim::SimBoard& b, const std::string& id) {
  return dynamic_cast<sim::MonitorChip*>(b.chipInputs(id));
}

// The traced accesses to the index/data pair at base, one per data-port
// access: "R28" reads register 28h, "W40=01" writes it, "C" reads the index
// port itself. writesOnly keeps the writes.
inline std::vector<std::string> PairAccesses(const sim::SimMachine& m, uint16_t base,
                                             bool writesOnly = false) {
  const auto indexPort = static_cast<uint16_t>(base + 5);
  const auto dataPort = static_cast<uint16_t>(base + 6);
  std::vector<std::string> out;
  unsigned index = 0;
  char text[16];
  for (const sim::TraceEntry& e : m.trace()) {
    const bool write = e.dir == sim::TraceEntry::Dir::Out;
    if (e.port == indexPort && write) {
      index = e.value;
      continue;
    }
    if (e.port == indexPort) {
      if (!writesOnly) out.emplace_back("C");
      continue;
    }
    if (e.port != dataPort || (writesOnly && !write)) continue;
    if (write) {
      std::snprintf(text, sizeof text, "W%02X=%02X", index, e.value);
    } else {
      std::snprintf(text, sizeof text, "R%02X", index);
    }
    out.emplace_back(text);
  }
  return out;
}

}  // namespace kev::test
