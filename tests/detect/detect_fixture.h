// Shared helpers of the detection tests: boards from the catalogue or from
// board-file text, and the whole detection run the start-up sequence makes.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "detect/detect.h"
#include "sim/board.h"
#include "sim/chips.h"

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

}  // namespace kev::test
