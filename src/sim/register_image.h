// Register values a board replays from a user's dump: each held register
// reads the dumped byte whatever the chip measures, or fails as the dump's
// read did.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

namespace kev::sim {

class RegisterImage {
 public:
  // value nullopt: the read failed when the dump was taken.
  void hold(int bank, uint8_t index, std::optional<uint8_t> value) {
    bytes_[key(bank, index)] = value;
  }
  void holdWord(uint8_t command, std::optional<uint16_t> value) { words_[command] = value; }

  bool held(int bank, uint8_t index) const { return bytes_.count(key(bank, index)) != 0; }
  bool failed(int bank, uint8_t index) const {
    auto it = bytes_.find(key(bank, index));
    return it != bytes_.end() && !it->second;
  }
  // The held byte (FFh for a failed read: an undriven bus), or live.
  uint8_t read(int bank, uint8_t index, uint8_t live) const {
    auto it = bytes_.find(key(bank, index));
    return it == bytes_.end() ? live : it->second.value_or(kFloating);
  }
  // A word read's answer: none when not held, an empty answer when it fails.
  std::optional<std::optional<uint16_t>> word(uint8_t command) const {
    auto it = words_.find(command);
    if (it == words_.end()) return std::nullopt;
    return it->second;
  }

 private:
  static constexpr uint8_t kFloating = 0xFF;
  static unsigned key(int bank, uint8_t index) { return static_cast<unsigned>(bank) << 8 | index; }
  std::map<unsigned, std::optional<uint8_t>> bytes_;
  std::map<uint8_t, std::optional<uint16_t>> words_;
};

}  // namespace kev::sim
