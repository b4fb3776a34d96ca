// The port helper's policy: everything the program does on every catalogue
// board passes unchanged, its writes are exactly the inventory's, and what
// it never does is refused without touching the machine.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "board_runs.h"
#include "hw/sim_test_support.h"
#include "hw/upcicfg.h"
#include "policed_io.h"
#include "ports/write_inventory.h"
#include "sim/hwmon_inputs.h"

namespace kev::ports {
namespace {

std::unique_ptr<sim::SimBoard> Board(const std::string& name) {
  sim::BoardResult r = sim::LoadCatalogueBoard(name);
  EXPECT_TRUE(r) << name;
  return r ? r.take() : nullptr;
}

// The profile too, which the information window and kevatra-cli build.
TEST(PortPolicy, EveryCatalogueBoardRunsAsDirectlyWithNothingRefused) {
  for (const std::string& name : sim::CatalogueBoardNames()) {
    for (uint32_t asmsMode : {0u, 2u}) {  // 2: the board switch is driven too
      SCOPED_TRACE(name + " board switch mode " + std::to_string(asmsMode));
      const auto direct = Board(name);
      const auto policed = Board(name);
      ASSERT_TRUE(direct && policed);
      test::PolicedIo io(policed->machine());
      EXPECT_EQ(kev::test::DetectAndTick(policed.get(), io, asmsMode, asmsMode == 0),
                kev::test::DetectAndTick(direct.get(), direct->machine(), asmsMode, asmsMode == 0));
      EXPECT_EQ(io.refusals, std::vector<std::string>{});
    }
  }
}

struct Seen {
  uint32_t sets = 0;
  uint32_t flips = 0;
};

std::string RuleText(const WriteKey& k, const Seen& s) {
  char text[160];
  std::snprintf(text, sizeof text, "{{OpCode(%u), %u, 0x%02X, %u}, 0x%02X, 0x%02X},",
                static_cast<unsigned>(k.code), k.unit, k.reg, k.bank, s.sets, s.flips);
  return text;
}

// What the program writes, seen through the policy: a write right after a
// read of the same register changes bits in place (flips), any other sets
// a value outright (sets).
class InventoryIo : public test::PolicedIo {
 public:
  InventoryIo(PortIo& machine, std::map<WriteKey, Seen>& seen) : PolicedIo(machine) {
    policy.observeWrites([this, &seen](const HwOp& w, std::optional<uint32_t> old) {
      Seen& s = seen[*KeyOf(w)];
      const std::optional<HwOp> read = OldValueOp(w);
      if (read && previous_ == *read && old && *old != 0xFFFFFFFFu) {
        s.flips |= NewValueOf(w) ^ *old;
        if (w.code != OpCode::PciWrite) inPlace.push_back({w, *old});
      } else {
        s.sets |= NewValueOf(w);
      }
    });
  }
  void runOps(std::span<const HwOp> ops, std::span<uint32_t> results) override {
    for (size_t i = 0; i < ops.size(); ++i) {
      PolicedIo::runOps(ops.subspan(i, 1), results.subspan(i, 1));
      previous_ = ops[i];
    }
  }
  std::vector<std::pair<HwOp, uint32_t>> inPlace;  // each with what it replaced

 private:
  HwOp previous_;
};

// Detection, set-up, a tick, and the settings dialog's Ok (set-up again
// from stored settings, every diode choice flipped), with every fan at rpm
// and an ICH's SMBus function hidden.
void RunProgram(sim::SimBoard& board, PortIo& io, double rpm, uint32_t asmsMode) {
  const uint32_t lpc = PciConfigAddress(0, 31, 0, 0xF0);
  if (IsIchLpcBridge(PCIcfg_rdd(board.machine(), 0, 31, 0, 0))) {
    const uint32_t disable = RunOnPorts(board.machine(), op::PciRead(PciLane::HighWord, lpc));
    RunOnPorts(board.machine(), op::PciWrite(PciLane::HighWord, lpc, disable | 0x08));
  }
  for (const std::string& id : board.chipIds()) {
    sim::HwmonInputs* in = board.chipInputs(id);
    for (int n = 0; n < 3 && in != nullptr; ++n) {
      sim::FanInput fan = in->fan(n);
      fan.rpm = sim::Signal::constant(rpm);
      in->setFan(n, fan);
    }
  }
  kev::test::DetectAndTick(&board, io, asmsMode, true, 1);
  // The settings that reach other paths: the chip over the SMBus, the
  // auxiliary sensors.
  kev::test::MonitorRig rig(io);
  rig.settings.MainChipSMBUse = true;
  rig.settings.Temp2SMBUse = rig.settings.Temp3SMBUse = true;
  for (int c = 1; c <= kChannelCount; ++c) ChannelChecked(rig.settings, c) = true;
  DetectPmDevice(io, rig.settings, 0, rig.detect);
  DetectChip(io, rig.settings, rig.detect);
  ConfigureChip(io, rig.settings, rig.detect);
  rig.settings.SettingsDefaulted = false;
  for (bool* d : {&rig.settings.Sensor1OnDieDiode, &rig.settings.Sensor2OnDieDiode,
                  &rig.settings.Sensor3OnDieDiode}) {
    *d = !*d;
  }
  ConfigureChip(io, rig.settings, rig.detect);
  SampleAllChannels(rig.ctx);
}

// The inventory is taken from the program: a write it starts making fails
// here until the table holds it, and a rule it no longer needs goes.
TEST(PortPolicy, TheWriteInventoryIsExactlyWhatTheProgramWrites) {
  std::map<WriteKey, Seen> seen;
  std::vector<std::string> refused;
  for (const std::string& name : sim::CatalogueBoardNames()) {
    // Fast to stalled, so the divisor search takes every divisor.
    for (double rpm : {12000.0, 4000.0, 1500.0, 600.0, 250.0, 0.0}) {
      const auto board = Board(name);
      ASSERT_TRUE(board);
      InventoryIo io(board->machine(), seen);
      RunProgram(*board, io, rpm, rpm > 1000 ? 1 : 2);
      for (const std::string& r : io.refusals) refused.push_back(name + ": " + r);
      // Once more with every register changed in place holding the
      // opposite bits, so each such change shows whatever the board's state.
      const auto flipped = Board(name);
      for (auto [w, old] : io.inPlace) {
        w.data = static_cast<uint16_t>(
            ~old & ((w.unit & kSmbusWord) != 0 && w.code == OpCode::Smbus ? 0xFFFF : 0xFF));
        RunOnPorts(flipped->machine(), w);
      }
      InventoryIo again(flipped->machine(), seen);
      RunProgram(*flipped, again, rpm, 0);
      for (const std::string& r : again.refusals) refused.push_back(name + ": " + r);
    }
  }
  EXPECT_EQ(refused, std::vector<std::string>{});
  std::map<WriteKey, Seen> table;
  for (const WriteRule& r : WriteInventory()) table[r.key] = {r.sets, r.flips};
  std::string derived;
  for (const auto& [key, s] : seen) derived += RuleText(key, s) + "\n";
  EXPECT_EQ(table.size(), seen.size()) << derived;
  for (const auto& [key, s] : seen) {
    const auto it = table.find(key);
    EXPECT_TRUE(it != table.end() && it->second.sets == s.sets && it->second.flips == s.flips)
        << "the program writes " << RuleText(key, s) << "\nall:\n"
        << derived;
  }
}

}  // namespace
}  // namespace kev::ports
