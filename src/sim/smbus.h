// The SMBus itself: slaves by 7-bit address, and the faults a bus can have.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace kev::sim {

// A device on the SMBus. Each chip answers only "read/write byte at command";
// word transfers default to two bytes from the same command register, and a
// chip with 16-bit registers overrides them. std::nullopt / false: no ACK.
class SmbusSlave {
 public:
  virtual ~SmbusSlave() = default;
  virtual std::optional<uint8_t> smbReadByte(uint8_t command) = 0;
  virtual bool smbWriteByte(uint8_t command, uint8_t value) = 0;
  // Word value with the first byte on the bus in bits 15-8.
  virtual std::optional<uint16_t> smbReadWord(uint8_t command);
  virtual bool smbWriteWord(uint8_t command, uint16_t value);
};

// Outcome of one transaction as the host controller sees it.
enum class SmbusResult { Ok, NoAck, Collision };

class SmbusBus {
 public:
  void attach(uint8_t address, SmbusSlave* slave) { slaves_[address & 0x7F] = slave; }
  void detach(uint8_t address) { slaves_.erase(address & 0x7F); }
  SmbusSlave* find(uint8_t address) const;

  // Faults: the next n transactions lose arbitration; a slave stops answering.
  void injectCollisions(int n) { collisionsLeft_ = n; }
  void setSilent(uint8_t address, bool silent);

  SmbusResult readByte(uint8_t address, uint8_t command, uint8_t& out);
  SmbusResult writeByte(uint8_t address, uint8_t command, uint8_t value);
  SmbusResult readWord(uint8_t address, uint8_t command, uint16_t& out);
  SmbusResult writeWord(uint8_t address, uint8_t command, uint16_t value);

  uint64_t transactions() const { return transactions_; }

 private:
  // One transaction: arbitration, then op on the addressed slave (false: no ACK).
  SmbusResult run(uint8_t address, const std::function<bool(SmbusSlave&)>& op);
  SmbusSlave* live(uint8_t address) const;

  std::map<uint8_t, SmbusSlave*> slaves_;
  std::map<uint8_t, bool> silent_;
  int collisionsLeft_ = 0;
  uint64_t transactions_ = 0;
};

}  // namespace kev::sim
