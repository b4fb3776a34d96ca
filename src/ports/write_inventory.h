// The writes the program makes, as the port helper allows them: a table of
// (operation, path, register, slave or bank) and the bits each may change.
// A test runs every catalogue board through the program and holds this
// table to exactly what it writes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "hw/hw_op.h"

namespace kev::ports {

// A byte, word or register number as the refusal lines show it: "4Eh".
std::string Hex(uint32_t v);

// Who an SMBus write goes to, in a key's bank field.
enum class SmbusSlaveClass : uint8_t { Monitor = 0, AuxSensor = 1, Other = 0xFF };
SmbusSlaveClass ClassOfSlave(uint32_t slave);

struct WriteKey {
  OpCode code;
  uint8_t unit;  // chip unit, PCI lane, SMBus flags, switch kind
  uint8_t reg;   // register, SMBus command, PCI register (dword offset)
  uint8_t bank;  // chip bank or channel, SMBus slave class

  friend bool operator==(const WriteKey&, const WriteKey&) = default;
  friend auto operator<=>(const WriteKey&, const WriteKey&) = default;
};

// A write passes when the new value has no bit outside sets (the values
// the program writes outright), or when it differs from what the register
// holds only in flips (the bits it changes in place); with clearOnly only
// the second, and the flips may only go from 1 to 0.
struct WriteRule {
  WriteKey key;
  uint16_t sets;
  uint16_t flips;
  bool clearOnly = false;
};

// The key of a write op; nullopt for an op that writes nothing, and for the
// board switch, which the machine's own switch rule governs.
std::optional<WriteKey> KeyOf(const HwOp& write);

// The read that fetches what a write would replace, where a rule needs it.
std::optional<HwOp> OldValueOp(const HwOp& write);
// The written value as the rule sees it.
uint32_t NewValueOf(const HwOp& write);

std::span<const WriteRule> WriteInventory();

// Why the write is not one the program makes; empty when it is. old: what
// OldValueOp read (nullopt when that read failed).
std::string WriteVerdict(const HwOp& write, std::optional<uint32_t> old);

}  // namespace kev::ports
