#include "replay/south_match.h"

#include <memory>

#include "detect/detect.h"
#include "sim/bridge.h"

namespace kev::replay {
namespace {

constexpr uint8_t kDevices = 32;
constexpr uint8_t kFunctions = 8;
constexpr uint8_t kIdOffset = 0x00;
constexpr size_t kRevisionOffset = 0x08;

const PciFunctionDump* Find(const PciDump& dump, uint8_t device, uint8_t function) {
  for (const PciFunctionDump& f : dump.functions) {
    if (f.bus == 0 && f.device == device && f.function == function && !f.unreadable) return &f;
  }
  return nullptr;
}

struct Score {
  int matches = 0;
  bool sameRevision = false;
};

// How well a kind fits: every function it builds that the dump shows must
// carry the same identifier; none shown is no fit either.
std::optional<Score> Fit(const std::string& kind, const PciDump& dump) {
  sim::SimBoard board(kind);
  sim::SouthBridgeSetup setup;
  setup.kind = kind;
  sim::AddSouthBridge(board, setup);
  Score s;
  for (uint8_t d = 0; d < kDevices; ++d) {
    for (uint8_t fn = 0; fn < kFunctions; ++fn) {
      const sim::PciFunction* model = board.pci().find(0, d, fn);
      const PciFunctionDump* dumped = model ? Find(dump, d, fn) : nullptr;
      if (!dumped) continue;
      if (model->get32(kIdOffset) != dumped->dword(kIdOffset)) return std::nullopt;
      ++s.matches;
      s.sameRevision =
          s.sameRevision || model->get8(kRevisionOffset) == dumped->bytes[kRevisionOffset];
    }
  }
  if (s.matches == 0) return std::nullopt;
  return s;
}

// The SMBus base the program reads from the functions of a board.
std::optional<uint16_t> ScannedBase(sim::SimBoard& board) {
  const int32_t base = ScanPmDevice(board.machine()).SmbBase;
  if (base < 0) return std::nullopt;
  return static_cast<uint16_t>(base);
}

// The base the dump shows, as the board file's smbus_base counts it (the
// SiS 630 names its PM space, the SMBus host sits above it).
std::optional<uint16_t> SmbusBaseOf(const std::string& kind, const PciDump& dump) {
  sim::SimBoard dumped(kind);
  std::vector<std::unique_ptr<sim::PciFunction>> functions;
  for (const PciFunctionDump& f : dump.functions) {
    if (f.bus != 0 || f.unreadable) continue;
    functions.push_back(std::make_unique<sim::PciFunction>(0, 0, 0));
    for (size_t i = 0; i < f.bytes.size(); ++i)
      functions.back()->set8(static_cast<uint8_t>(i), f.bytes[i]);
    dumped.attachPci(f.device, f.function, *functions.back());
  }
  sim::SimBoard model(kind);
  sim::SouthBridgeSetup setup;
  setup.kind = kind;
  sim::AddSouthBridge(model, setup);
  const std::optional<uint16_t> seen = ScannedBase(dumped);
  const std::optional<uint16_t> modelSeen = ScannedBase(model);
  if (!seen || !modelSeen) return std::nullopt;
  return static_cast<uint16_t>(*seen - (*modelSeen - setup.smbusBase));
}

}  // namespace

std::optional<SouthBridgeFit> SouthBridgeOf(const PciDump& dump) {
  std::optional<std::string> best;
  Score bestScore;
  for (const std::string& kind : sim::SouthBridgeKinds()) {
    const std::optional<Score> s = Fit(kind, dump);
    if (!s) continue;
    const bool better =
        !best || s->matches > bestScore.matches ||
        (s->matches == bestScore.matches && s->sameRevision && !bestScore.sameRevision);
    if (better) {
      best = kind;
      bestScore = *s;
    }
  }
  if (!best) return std::nullopt;
  return SouthBridgeFit{*best, SmbusBaseOf(*best, dump)};
}

}  // namespace kev::replay
