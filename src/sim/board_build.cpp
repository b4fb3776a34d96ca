#include <cstdio>
#include <map>
#include <stdexcept>

#include "sim/board_image.h"
#include "sim/board_spec.h"
#include "sim/chips.h"
#include "sim/integrated.h"
#include "sim/superio.h"

namespace kev::sim {

namespace {

// Ports the models of this file use when the board file names none.
constexpr uint16_t kDefaultIsaBase = 0x290;
constexpr uint16_t kDefaultViaMonitorBase = 0xEC00;
constexpr uint16_t kDefaultSioPort = 0x2E;
constexpr uint8_t kIte8705Id = 0x05;
constexpr uint8_t kIte8712Id = 0x12;
constexpr uint8_t kWinbondSwitchLdn = 0x08;
constexpr uint8_t kSis5595MonitorReg = 0x68;
constexpr uint16_t kIsaBaseMask = 0xFFF8;
constexpr unsigned kLastIntegratedReg = 0x7F;  // ITE, VIA and SiS 5595: 128 registers
constexpr unsigned kLastReg = 0xFF;
constexpr uint8_t kWinbondVendorReg = 0x4F;  // the 16-bit register of the banked parts

using Failed = BuildFailure;

bool IsVia(std::string_view k) { return k == "VT82C686A" || k == "VT82C686B" || k == "VT8231"; }
bool IsIte(std::string_view k) { return k == "IT8705F" || k == "IT8712F"; }

// Who claimed which port or address, so that two devices never share one.
class Claims {
 public:
  void port(uint16_t p, const std::string& field, const std::string& who) {
    claim(ports_, p, field, who, "port");
  }
  void address(uint8_t a, const std::string& field, const std::string& who) {
    claim(addrs_, a, field, who, "SMBus address");
  }

 private:
  void claim(std::map<unsigned, std::string>& m, unsigned key, const std::string& field,
             const std::string& who, const char* what) {
    auto [it, fresh] = m.emplace(key, who);
    if (!fresh) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%s %Xh is already used by ", what, key);
      throw Failed{field, buf + it->second};
    }
  }
  std::map<unsigned, std::string> ports_, addrs_;
};

std::string RegName(unsigned index) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02Xh", index);
  return buf;
}

// Writes each register value the board file gives and reads it back: a
// register the part lacks, or one it measures from its inputs, does not keep
// the value, and the file is told so rather than silently ignored.
template <class Poke, class Peek>
void ApplyRegisters(const ChipSpec& c, unsigned last, Poke poke, Peek peek) {
  for (const RegSetting& r : c.registers) {
    if (r.index > last)
      throw Failed{r.field, c.kind + " has no register " + RegName(r.index) +
                                " (its registers end at " + RegName(last) + ")"};
    poke(r.index, r.value);
    if (peek(r.index) != r.value)
      throw Failed{r.field, c.kind + " register " + RegName(r.index) +
                                " does not keep a value of its own (the part lacks it, or "
                                "measures it from its inputs)"};
  }
}

template <class Model>
void ApplyIntegratedRegisters(const ChipSpec& c, Model& m) {
  ApplyRegisters(
      c, kLastIntegratedReg, [&m](uint8_t i, uint8_t v) { m.setReg(i, v); },
      [&m](uint8_t i) { return m.reg(i); });
  ApplyImage(c, {[&m](int, uint8_t i) { return m.reg(i); },
                 [&m](int, uint8_t i, uint8_t v) { m.setReg(i, v); },
                 m.image(),
                 {},
                 kLastIntegratedReg});
}

// Fields only one family understands.
void RefuseForeignImages(const ChipSpec& c) {
  const Pc87366Image& p = c.pcImage;
  const bool pc = c.kind == "PC87366";
  if (!pc && (!p.ldn.empty() || !p.fsm.empty() || !p.vlm.empty() || !p.tms.empty()))
    throw Failed{c.path, "ldn, fsm, vlm and tms are for the PC87366 only"};
  if (!c.smbusWords.empty() && (!c.smbus || IsIte(c.kind)))
    throw Failed{c.path + ".smbus_words", "needs a chip on the SMBus (not an ITE part)"};
}

void ApplyInputs(HwmonInputs& in, const ChipSpec& c) {
  for (size_t i = 0; i < c.fans.size(); ++i)
    if (c.fans[i]) in.setFan(static_cast<int>(i), *c.fans[i]);
  for (size_t i = 0; i < c.temps.size(); ++i) in.setTemp(static_cast<int>(i), c.temps[i]);
  for (size_t i = 0; i < c.volts.size(); ++i) in.setVolt(static_cast<int>(i), c.volts[i]);
  in.setVanished(c.vanished);
}

class Builder {
 public:
  Builder(const BoardSpec& spec, SimBoard& board) : spec_(spec), board_(board) {}

  void run() {
    if (spec_.host) {
      if (spec_.south && spec_.south->kind == "SiS630")
        throw Failed{"host_bridge", "the SiS630 is its own host bridge; leave host_bridge out"};
      AddHostBridge(board_, *spec_.host);
    }
    if (spec_.south) south_ = AddSouthBridge(board_, southSetup());
    ApplyPciImages(spec_, board_);
    if (spec_.superio) addWinbondSuperIo(*spec_.superio);
    for (const ChipSpec& c : spec_.chips) addChip(c);
    applyFaults();
  }

 private:
  // The integrated monitor's base goes into the bridge's configuration.
  SouthBridgeSetup southSetup() const {
    SouthBridgeSetup s = *spec_.south;
    for (const ChipSpec& c : spec_.chips) {
      if (c.kind == "SiS5595" || IsVia(c.kind)) {
        const uint16_t fallback = IsVia(c.kind) ? kDefaultViaMonitorBase : kDefaultIsaBase;
        s.monitorBase = c.isa.value_or(s.monitorBase ? s.monitorBase : fallback);
      }
    }
    return s;
  }

  void addWinbondSuperIo(const SuperIoSpec& s) {
    claims_.port(s.port, "superio.port", "superio");
    auto& sio = board_.machine().own<WinbondSuperIo>(board_.machine(), s.port, s.chipId);
    for (const RegSetting& r : s.ldn8) sio.setLdnReg(kWinbondSwitchLdn, r.index, r.value);
  }

  void needSouth(const ChipSpec& c, bool ok, const char* what) {
    if (!ok) throw Failed{c.path + ".kind", c.kind + " needs the " + what + " south bridge"};
  }

  HwmonInputs& addIntegrated(const ChipSpec& c) {
    const std::string kind = spec_.south ? spec_.south->kind : "";
    if (c.kind == "SiS5595") {
      needSouth(c, kind == "SiS5595", "SiS5595");
      const uint16_t base =
          static_cast<uint16_t>(south_.monitor->get16(kSis5595MonitorReg) & kIsaBaseMask);
      claims_.port(base, c.path + ".isa", c.path);
      auto& m = board_.make<Sis5595Monitor>(board_.machine(), base);
      ApplyIntegratedRegisters(c, m);
      return m;
    }
    needSouth(c, kind == "VT82C686A" || kind == "VT82C686B" || kind == "VT8231",
              "VT82C686A, VT82C686B or VT8231");
    auto& m = board_.make<ViaMonitor>(board_.machine(), *south_.monitor);
    ApplyIntegratedRegisters(c, m);
    return m;
  }

  HwmonInputs& addPc87366(const ChipSpec& c) {
    const uint16_t port = c.configPort.value_or(kDefaultSioPort);
    claims_.port(port, c.path + ".config_port", c.path);
    Pc87366::Bases b;
    b.fsm = c.fsmBase.value_or(b.fsm);
    b.vlm = c.vlmBase.value_or(b.vlm);
    b.tms = c.tmsBase.value_or(b.tms);
    if (!c.registers.empty()) throw Failed{c.path + ".registers", "not supported for PC87366"};
    auto& chip = board_.make<Pc87366>(board_.machine(), port, b);
    ApplyPc87366Image(c, chip);
    return chip;
  }

  HwmonInputs& addIte(const ChipSpec& c) {
    const uint16_t base = c.isa.value_or(kDefaultIsaBase);
    claims_.port(kDefaultSioPort, c.path + ".kind", c.path);
    claims_.port(base, c.path + ".isa", c.path);
    auto& ec = board_.make<IteEc>(board_.machine().clock());
    ApplyIntegratedRegisters(c, ec);
    auto& sio = board_.make<IteSuperIo>(board_.machine(),
                                        c.kind == "IT8705F" ? kIte8705Id : kIte8712Id, ec, base);
    if (!c.ecActive) sio.setLdnResources(IteSuperIo::kLdnEc, base, false);
    if (c.smbus) {
      claims_.address(*c.smbus, c.path + ".smbus", c.path);
      board_.smbus().attach(*c.smbus, &ec);
    }
    return ec;
  }

  HwmonInputs& addMonitorChip(const ChipSpec& c) {
    const ChipModelKind kind = *ChipModelKindFromName(c.kind);
    if (!c.isa && !c.smbus)
      throw Failed{c.path, "the chip sits on no bus: give \"isa\" or \"smbus\""};
    if (c.isa && !IsIsaCapable(kind))
      throw Failed{c.path + ".isa", c.kind + " has no ISA interface"};
    if (c.smbus && !IsSmbusCapable(kind))
      throw Failed{c.path + ".smbus", c.kind + " has no SMBus interface"};
    auto& chip = board_.adopt(MakeMonitorChip(kind, board_.machine().clock()));
    ApplyRegisters(
        c, kLastReg, [&chip](uint8_t i, uint8_t v) { chip.setReg(0, i, v); },
        [&chip](uint8_t i) { return chip.reg(0, i); });
    const std::vector<uint8_t> words = WordRegisters(c.kind);
    ApplyImage(c, {[&chip](int b, uint8_t i) { return chip.reg(b, i); },
                   [&chip](int b, uint8_t i, uint8_t v) { chip.setReg(b, i, v); }, chip.image(),
                   words, kLastReg, !words.empty() && words.front() == kWinbondVendorReg});
    try {
      if (c.isa) {
        claims_.port(*c.isa, c.path + ".isa", c.path);
        chip.placeOnIsa(board_.machine(), *c.isa);
      }
      if (c.smbus) {
        claims_.address(*c.smbus, c.path + ".smbus", c.path);
        chip.placeOnSmbus(board_.smbus(), *c.smbus);
      }
    } catch (const std::invalid_argument& e) {
      throw Failed{c.path, e.what()};
    }
    return chip.inputs();
  }

  void addChip(const ChipSpec& c) {
    RefuseForeignImages(c);
    HwmonInputs* in = nullptr;
    if (c.kind == "SiS5595" || IsVia(c.kind))
      in = &addIntegrated(c);
    else if (c.kind == "PC87366")
      in = &addPc87366(c);
    else if (IsIte(c.kind))
      in = &addIte(c);
    else
      in = &addMonitorChip(c);
    ApplyInputs(*in, c);
    board_.addChip(c.id, c.kind, *in);
  }

  void applyFaults() {
    const FaultSpec& f = spec_.faults;
    if (f.smbusStuckBusy) {
      if (!board_.smbusHost())
        throw Failed{"faults.smbus_stuck_busy", "the board has no SMBus host (no south_bridge)"};
      board_.setSmbusStuckBusy(true, true);
    }
    if (f.smbusCollisions > 0) board_.injectSmbusCollisions(f.smbusCollisions);
    for (uint8_t a : f.silent) board_.setSmbusSilent(a, true);
  }

  const BoardSpec& spec_;
  SimBoard& board_;
  SouthBridge south_;
  Claims claims_;
};

struct KindPins {
  const char* kind;
  PinCounts pins;
};
constexpr KindPins kOwnKinds[] = {
    {"SiS5595", {2, 1, 4}}, {"VT82C686A", {2, 2, 5}}, {"VT82C686B", {2, 2, 5}},
    {"VT8231", {2, 2, 5}},  {"PC87366", {3, 3, 14}},  {"IT8705F", {3, 3, 9}},
    {"IT8712F", {3, 3, 9}},
};

}  // namespace

std::optional<PinCounts> ChipKindPins(std::string_view kind) {
  for (const auto& k : kOwnKinds)
    if (kind == k.kind) return k.pins;
  if (auto m = ChipModelKindFromName(kind)) {
    const ChipPins p = PinsOf(*m);
    return PinCounts{p.fans, p.temps, p.volts};
  }
  return std::nullopt;
}

std::vector<std::string> ChipKindNames() {
  std::vector<std::string> out;
  for (ChipModelKind k : AllChipModelKinds()) out.emplace_back(ChipModelName(k));
  for (const auto& k : kOwnKinds) out.emplace_back(k.kind);
  return out;
}

std::unique_ptr<SimBoard> BuildBoard(const BoardSpec& spec, const std::string& file,
                                     BoardError& error) {
  auto board = std::make_unique<SimBoard>(spec.name, spec.description);
  try {
    Builder(spec, *board).run();
    return board;
  } catch (const Failed& f) {
    error = {file, f.field, f.message};
  } catch (const std::exception& e) {
    error = {file, "", e.what()};
  }
  return nullptr;
}

}  // namespace kev::sim
