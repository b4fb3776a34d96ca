// A chip's byte registers: power-on values, which bits a host may write, and
// which indexes the part decodes at all.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>

namespace kev::sim {

class RegFile {
 public:
  // Declares register index with its power-on value and host-writable bits.
  void define(uint8_t index, uint8_t powerOn, uint8_t writable) {
    por_[index] = powerOn;
    val_[index] = powerOn;
    writable_[index] = writable;
    present_.set(index);
  }
  void defineRange(uint8_t first, uint8_t last, uint8_t powerOn, uint8_t writable) {
    for (unsigned i = first; i <= last; ++i) define(static_cast<uint8_t>(i), powerOn, writable);
  }
  // The part leaves this index undecoded after all.
  void remove(uint8_t index) { present_.reset(index); }
  bool present(uint8_t index) const { return present_.test(index); }

  uint8_t get(uint8_t index) const { return val_[index]; }
  // Chip-internal update (measurements, status): ignores the writable mask.
  void set(uint8_t index, uint8_t value) { val_[index] = value; }
  // A host write: only the writable bits take the new value.
  void write(uint8_t index, uint8_t value) {
    const uint8_t mask = writable_[index];
    val_[index] = static_cast<uint8_t>((val_[index] & ~mask) | (value & mask));
  }
  // Back to the power-on values (the chip's initialization bit or reset).
  void reset() { val_ = por_; }
  void resetRange(uint8_t first, uint8_t last) {
    for (unsigned i = first; i <= last; ++i) val_[i] = por_[i];
  }

 private:
  std::array<uint8_t, 256> val_{};
  std::array<uint8_t, 256> por_{};
  std::array<uint8_t, 256> writable_{};
  std::bitset<256> present_;
};

}  // namespace kev::sim
