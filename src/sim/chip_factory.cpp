// The chip catalogue: names, interfaces and pins of each part, the common
// transport front of every model, and the factory.
#include <array>
#include <stdexcept>
#include <string>

#include "sim/chip_common.h"
#include "sim/chip_gl518.h"
#include "sim/chip_lm78.h"
#include "sim/chip_lm80.h"
#include "sim/chip_sensors.h"
#include "sim/chip_winbond.h"
#include "sim/chips.h"

namespace kev::sim {

namespace {
constexpr uint16_t kIndexPortOffset = 5;
constexpr uint16_t kDataPortOffset = 6;
constexpr uint8_t kIndexMask = 0x7F;  // bit 7 of the index port is the busy flag
constexpr int kLastPort = 0xFFFF;
constexpr uint8_t kAddressMask = 0x7F;

struct PartInfo {
  ChipModelKind kind;
  std::string_view name;
  bool isa;
  bool smbus;
  ChipPins pins;
};

constexpr std::array<PartInfo, 18> kParts{{
    {ChipModelKind::Lm78, "LM78", true, true, {3, 1, 7}},
    {ChipModelKind::Lm78J, "LM78-J", true, true, {3, 1, 7}},
    {ChipModelKind::Lm79, "LM79", true, true, {3, 1, 7}},
    {ChipModelKind::Lm80, "LM80", false, true, {2, 1, 7}},
    {ChipModelKind::Lm81, "LM81", false, true, {2, 1, 6}},
    {ChipModelKind::Lm87, "LM87", false, true, {2, 3, 6}},
    {ChipModelKind::W83781D, "W83781D", true, true, {3, 3, 7}},
    {ChipModelKind::W83627HF, "W83627HF", true, true, {3, 3, 9}},
    {ChipModelKind::W83782D, "W83782D", true, true, {3, 3, 9}},
    {ChipModelKind::W83783S, "W83783S", false, true, {3, 2, 7}},
    {ChipModelKind::W83697HF, "W83697HF", true, false, {3, 2, 9}},
    {ChipModelKind::WinbondOther, "Winbond", true, true, {3, 3, 7}},
    {ChipModelKind::As99127FWb, "AS99127F-WB", false, true, {3, 3, 7}},
    {ChipModelKind::As99127FAs, "AS99127F-AS", false, true, {3, 3, 7}},
    {ChipModelKind::Gl518SM, "GL518SM", false, true, {2, 1, 4}},
    {ChipModelKind::Gl520SM, "GL520SM", false, true, {2, 2, 5}},
    {ChipModelKind::Lm75, "LM75", false, true, {0, 1, 0}},
    {ChipModelKind::Max1617, "MAX1617", false, true, {0, 2, 0}},
}};

const PartInfo& Info(ChipModelKind kind) {
  for (const PartInfo& p : kParts)
    if (p.kind == kind) return p;
  throw std::invalid_argument("unknown chip model");
}

// Lets a machine own a chip it does not map itself.
class ChipKeeper : public IoDevice {
 public:
  explicit ChipKeeper(std::unique_ptr<MonitorChip> chip) : chip_(std::move(chip)) {}
  MonitorChip& chip() { return *chip_; }
  uint8_t ioRead8(uint16_t /*port*/) override { return kUndecoded; }
  void ioWrite8(uint16_t /*port*/, uint8_t /*value*/) override {}

 private:
  std::unique_ptr<MonitorChip> chip_;
};
}  // namespace

std::string_view ChipModelName(ChipModelKind kind) { return Info(kind).name; }

std::optional<ChipModelKind> ChipModelKindFromName(std::string_view name) {
  for (const PartInfo& p : kParts)
    if (p.name == name) return p.kind;
  return std::nullopt;
}

std::vector<ChipModelKind> AllChipModelKinds() {
  std::vector<ChipModelKind> out;
  for (const PartInfo& p : kParts) out.push_back(p.kind);
  return out;
}

bool IsIsaCapable(ChipModelKind kind) { return Info(kind).isa; }
bool IsSmbusCapable(ChipModelKind kind) { return Info(kind).smbus; }
ChipPins PinsOf(ChipModelKind kind) { return Info(kind).pins; }

MonitorChip::MonitorChip(ChipModelKind kind, const SimClock& clock)
    : HwmonInputs(clock), kind_(kind) {}

void MonitorChip::placeOnIsa(SimMachine& machine, uint16_t base) {
  if (!IsIsaCapable(kind_))
    throw std::invalid_argument(std::string(ChipModelName(kind_)) + " has no ISA interface");
  if (base + kDataPortOffset > kLastPort)
    throw std::invalid_argument("ISA base leaves no room for the index/data pair");
  machine.map(static_cast<uint16_t>(base + kIndexPortOffset), 2, this);
  isaBase_ = base;
}

void MonitorChip::placeOnSmbus(SmbusBus& bus, uint8_t address) {
  if (!IsSmbusCapable(kind_))
    throw std::invalid_argument(std::string(ChipModelName(kind_)) + " has no SMBus interface");
  bus_ = &bus;
  smbAddress_ = address & kAddressMask;
  bus.attach(*smbAddress_, this);
  onSmbusPlaced();
}

void MonitorChip::moveSmbusAddress(uint8_t address) {
  if (!bus_ || !smbAddress_ || *smbAddress_ == address) return;
  if (bus_->find(*smbAddress_) == this) bus_->detach(*smbAddress_);
  smbAddress_ = address & kAddressMask;
  bus_->attach(*smbAddress_, this);
}

uint8_t MonitorChip::ioRead8(uint16_t port) {
  if (vanished() || !isaBase_) return kUndecoded;
  if (port == *isaBase_ + kIndexPortOffset) return isaIndex_;
  return hostRead(isaIndex_);
}

void MonitorChip::ioWrite8(uint16_t port, uint8_t value) {
  if (vanished() || !isaBase_) return;
  if (port == *isaBase_ + kIndexPortOffset) {
    isaIndex_ = value & kIndexMask;
    return;
  }
  hostWrite(isaIndex_, value);
}

std::optional<uint8_t> MonitorChip::smbReadByte(uint8_t command) {
  if (vanished() || image_.failed(imageBank(selectedBank(), command), command)) return std::nullopt;
  return hostRead(command);
}

std::optional<uint16_t> MonitorChip::smbReadWord(uint8_t command) {
  if (vanished()) return std::nullopt;
  if (auto held = image_.word(command)) return *held;
  return readWord(command);
}

bool MonitorChip::smbWriteByte(uint8_t command, uint8_t value) {
  if (vanished()) return false;
  hostWrite(command, value);
  return true;
}

std::unique_ptr<MonitorChip> MakeMonitorChip(ChipModelKind kind, const SimClock& clock) {
  switch (kind) {
    case ChipModelKind::Lm78:
    case ChipModelKind::Lm78J:
    case ChipModelKind::Lm79:
      return std::make_unique<Lm78Model>(kind, clock);
    case ChipModelKind::Lm80:
      return std::make_unique<Lm80Model>(clock);
    case ChipModelKind::Lm81:
    case ChipModelKind::Lm87:
      return std::make_unique<Lm87Model>(kind, clock);
    case ChipModelKind::Gl518SM:
    case ChipModelKind::Gl520SM:
      return std::make_unique<Gl518Model>(kind, clock);
    case ChipModelKind::Lm75:
      return std::make_unique<Lm75Model>(clock);
    case ChipModelKind::Max1617:
      return std::make_unique<Max1617Model>(clock);
    default:
      return std::make_unique<WinbondModel>(kind, clock);
  }
}

MonitorChip& AddMonitorChip(SimMachine& machine, ChipModelKind kind, SmbusBus* bus, int isaBase,
                            int smbAddress) {
  const std::string name(ChipModelName(kind));
  if (smbAddress > kAddressMask) throw std::invalid_argument(name + ": SMBus address above 7Fh");
  if (smbAddress >= 0 && !bus) throw std::invalid_argument(name + ": an SMBus address needs a bus");
  if (isaBase >= 0 && !IsIsaCapable(kind))
    throw std::invalid_argument(name + " has no ISA interface");
  if (isaBase + kDataPortOffset > kLastPort)
    throw std::invalid_argument(name + ": ISA base leaves no room for the index/data pair");
  if (smbAddress >= 0 && !IsSmbusCapable(kind))
    throw std::invalid_argument(name + " has no SMBus interface");
  auto chip = MakeMonitorChip(kind, machine.clock());
  if (isaBase >= 0) chip->placeOnIsa(machine, static_cast<uint16_t>(isaBase));
  if (smbAddress >= 0) chip->placeOnSmbus(*bus, static_cast<uint8_t>(smbAddress));
  return machine.own<ChipKeeper>(std::move(chip)).chip();
}

}  // namespace kev::sim
