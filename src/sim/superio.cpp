#include "sim/superio.h"

namespace kev::sim {

namespace {

constexpr uint8_t kAllOnes = 0xFF;
constexpr uint8_t kActiveBit = 0x01;
constexpr uint8_t kWinbondKey = 0x87;
constexpr uint8_t kWinbondExit = 0xAA;

}  // namespace

SuperIo::SuperIo(SimMachine& m, uint16_t port, std::vector<uint8_t> key)
    : machine_(m), port_(port), key_(std::move(key)), open_(key_.empty()) {
  m.map(port, 2, this);
}

SuperIo::~SuperIo() = default;

uint8_t SuperIo::ldnReg(uint8_t ldn, uint8_t reg) const {
  if (reg < globals_.size()) return globals_[reg];
  auto it = ldns_.find(ldn);
  return it == ldns_.end() ? 0 : it->second[reg];
}

void SuperIo::setLdnReg(uint8_t ldn, uint8_t reg, uint8_t v) {
  if (reg < globals_.size()) {
    globals_[reg] = v;
    return;
  }
  ldns_[ldn][reg] = v;
}

uint16_t SuperIo::ldnBase(uint8_t ldn) const {
  return static_cast<uint16_t>(ldnReg(ldn, sio::kRegBaseHigh) << 8 | ldnReg(ldn, sio::kRegBaseLow));
}

bool SuperIo::ldnActive(uint8_t ldn) const {
  return (ldnReg(ldn, sio::kRegActivate) & kActiveBit) != 0;
}

void SuperIo::setLdnResources(uint8_t ldn, uint16_t base, bool active) {
  setLdnReg(ldn, sio::kRegBaseHigh, static_cast<uint8_t>(base >> 8));
  setLdnReg(ldn, sio::kRegBaseLow, static_cast<uint8_t>(base));
  setLdnReg(ldn, sio::kRegActivate, active ? kActiveBit : 0);
  onResources(ldn);
}

uint8_t SuperIo::ioRead8(uint16_t port) {
  if (!open_) return kAllOnes;
  if (port == port_) return index_;
  return ldnReg(globals_[sio::kRegLdn], index_);
}

void SuperIo::ioWrite8(uint16_t port, uint8_t value) {
  if (!open_) {
    if (port != port_) return;
    keyPos_ = value == key_[keyPos_] ? keyPos_ + 1 : (value == key_[0] ? 1 : 0);
    if (keyPos_ == key_.size()) {
      open_ = true;
      keyPos_ = 0;
    }
    return;
  }
  if (port == port_) {
    if (exitKey(value)) {
      open_ = false;
      return;
    }
    index_ = value;
    return;
  }
  if (readOnly(index_)) return;
  const uint8_t ldn = globals_[sio::kRegLdn];
  setLdnReg(ldn, index_, value);
  onWrite(ldn, index_, value);
}

void SuperIo::onWrite(uint8_t ldn, uint8_t reg, uint8_t) {
  if (reg == sio::kRegActivate || reg == sio::kRegBaseHigh || reg == sio::kRegBaseLow)
    onResources(ldn);
}

WinbondSuperIo::WinbondSuperIo(SimMachine& m, uint16_t port, uint8_t chipId)
    : SuperIo(m, port, {kWinbondKey, kWinbondKey}) {
  setGlobal(sio::kRegChipId, chipId);
}

bool WinbondSuperIo::exitKey(uint8_t v) { return v == kWinbondExit; }

LdnWindow::LdnWindow(SimMachine& m, uint16_t size, Reader r, Writer w)
    : machine_(m), size_(size), read_(std::move(r)), write_(std::move(w)) {}

LdnWindow::~LdnWindow() { machine_.unmap(this); }

void LdnWindow::place(uint16_t base, bool on) {
  machine_.unmap(this);
  first_ = static_cast<uint16_t>(base & ~(size_ - 1u));
  if (on && first_ != 0) machine_.map(first_, size_, this);
}

}  // namespace kev::sim
