#include "sim/smbus.h"

namespace kev::sim {

namespace {
constexpr uint8_t kAddressMask = 0x7F;

// Keeps a slave's answer; false when it did not acknowledge.
template <class T>
bool Store(T& out, const std::optional<T>& answer) {
  if (answer) out = *answer;
  return answer.has_value();
}
}  // namespace

// A chip without 16-bit registers answers a word read with the addressed
// register twice: the command pointer does not advance.
std::optional<uint16_t> SmbusSlave::smbReadWord(uint8_t command) {
  const auto first = smbReadByte(command);
  if (!first) return std::nullopt;
  const auto second = smbReadByte(command);
  if (!second) return std::nullopt;
  return static_cast<uint16_t>((*first << 8) | *second);
}

bool SmbusSlave::smbWriteWord(uint8_t command, uint16_t value) {
  return smbWriteByte(command, static_cast<uint8_t>(value >> 8)) &&
         smbWriteByte(command, static_cast<uint8_t>(value));
}

SmbusSlave* SmbusBus::find(uint8_t address) const {
  const auto it = slaves_.find(address & kAddressMask);
  return it == slaves_.end() ? nullptr : it->second;
}

void SmbusBus::setSilent(uint8_t address, bool silent) { silent_[address & kAddressMask] = silent; }

SmbusSlave* SmbusBus::live(uint8_t address) const {
  const auto it = silent_.find(address & kAddressMask);
  if (it != silent_.end() && it->second) return nullptr;
  return find(address);
}

SmbusResult SmbusBus::run(uint8_t address, const std::function<bool(SmbusSlave&)>& op) {
  ++transactions_;
  if (collisionsLeft_ > 0) {
    --collisionsLeft_;
    return SmbusResult::Collision;
  }
  SmbusSlave* s = live(address);
  return s && op(*s) ? SmbusResult::Ok : SmbusResult::NoAck;
}

SmbusResult SmbusBus::readByte(uint8_t address, uint8_t command, uint8_t& out) {
  return run(address, [&](SmbusSlave& s) { return Store(out, s.smbReadByte(command)); });
}

SmbusResult SmbusBus::writeByte(uint8_t address, uint8_t command, uint8_t value) {
  return run(address, [&](SmbusSlave& s) { return s.smbWriteByte(command, value); });
}

SmbusResult SmbusBus::readWord(uint8_t address, uint8_t command, uint16_t& out) {
  return run(address, [&](SmbusSlave& s) { return Store(out, s.smbReadWord(command)); });
}

SmbusResult SmbusBus::writeWord(uint8_t address, uint8_t command, uint16_t value) {
  return run(address, [&](SmbusSlave& s) { return s.smbWriteWord(command, value); });
}

}  // namespace kev::sim
