#include <array>

#include "sim/bridge.h"

namespace kev::sim {

namespace {

// 440BX/GX NBXCFG: bit 15 reads 0 on boards wired for two core voltages.
constexpr uint8_t kRegNbxCfg = 0x50;
constexpr uint32_t kNbxCfgPowerOn = 0x0000A00C;
constexpr uint32_t kNbxCfgSingleCore = 0x00008000;
// The 440BX/GX identifier of the AGP-disabled configuration differs in
// device-ID bit 1; its AGP bridge sits at device 1.
constexpr uint16_t kNoAgpBit = 0x0002;
constexpr uint16_t kAgpBridgeBit = 0x0001;

struct HostModel {
  const char* kind;
  uint16_t vendor;
  uint16_t device;
  uint8_t revision;
  bool nbxCfg;  // has the 440BX/GX configuration register and AGP variants
};

constexpr std::array<HostModel, 15> kHostBridges{{
    {"440BX", 0x8086, 0x7190, 0x03, true},
    {"440GX", 0x8086, 0x71A0, 0x00, true},
    {"440LX", 0x8086, 0x7180, 0x03, false},
    {"i810", 0x8086, 0x7120, 0x03, false},
    {"i815", 0x8086, 0x1130, 0x04, false},
    {"i830M", 0x8086, 0x3575, 0x04, false},
    {"i850", 0x8086, 0x2530, 0x02, false},
    {"KT133", 0x1106, 0x0305, 0x03, false},
    {"KT266", 0x1106, 0x3099, 0x00, false},
    {"ApolloPro133A", 0x1106, 0x0691, 0xC4, false},
    {"AMD-751", 0x1022, 0x7006, 0x25, false},
    {"AMD-761", 0x1022, 0x700E, 0x13, false},
    {"M1541", 0x10B9, 0x1541, 0x04, false},
    {"SiS5600", 0x1039, 0x5600, 0x11, false},
    {"SiS530", 0x1039, 0x0530, 0x02, false},
}};

const HostModel* FindHost(std::string_view kind) {
  for (const auto& m : kHostBridges)
    if (kind == m.kind) return &m;
  return nullptr;
}

}  // namespace

bool IsHostBridgeKind(std::string_view kind) { return FindHost(kind) != nullptr; }

std::vector<std::string> HostBridgeKinds() {
  std::vector<std::string> out;
  for (const auto& m : kHostBridges) out.emplace_back(m.kind);
  return out;
}

PciFunction& AddHostBridge(SimBoard& board, const HostBridgeSetup& setup) {
  const HostModel* model = FindHost(setup.kind);
  if (!model) model = &kHostBridges[0];
  uint16_t device = model->device;
  if (model->nbxCfg && !setup.agp) device = static_cast<uint16_t>(device | kNoAgpBit);
  auto& host = board.make<PciFunction>(model->vendor, device, model->revision);
  board.attachPci(0, 0, host);
  if (model->nbxCfg) {
    const uint32_t cfg =
        setup.dualCoreVoltage ? kNbxCfgPowerOn & ~kNbxCfgSingleCore : kNbxCfgPowerOn;
    host.set32(kRegNbxCfg, cfg);
    host.setWritableRange(kRegNbxCfg, kRegNbxCfg + 3);
    if (setup.agp) {
      auto& agp = board.make<PciFunction>(
          model->vendor, static_cast<uint16_t>(device | kAgpBridgeBit), model->revision);
      board.attachPci(1, 0, agp);
    }
  }
  return host;
}

}  // namespace kev::sim
