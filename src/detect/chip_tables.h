// The per-kind configuration tables: how each chip kind is reached, how its
// fan divisors are searched and decoded, and what is written before and after.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "detect/chip_access.h"

namespace kev::config {

// A set of chip kinds, one bit per kind / 10h.
struct KindSet {
  uint32_t bits = 0;
  constexpr KindSet() = default;
  constexpr KindSet(std::initializer_list<int32_t> kinds) {
    for (int32_t k : kinds) bits |= 1u << (k >> 4);
  }
  constexpr bool has(int32_t kind) const {
    return kind >= 0 && (kind >> 4) < 32 && ((bits >> (kind >> 4)) & 1u) != 0;
  }
};

// ---- Paths and flags -------------------------------------------------------

enum class When : uint8_t { Never, IfFound, Always };  // IfFound: MainSmbFound / FoundOnPort

// What a path outcome does to a flag setting.
enum class Flag : uint8_t { Keep, Set, Clear, SetUnlessOnPort };

struct FlagSet {
  Flag smbUse;   // MainChipSMBUse
  Flag smbOnly;  // MainSmbOnly
};

struct PathRow {
  KindSet kinds;
  When smbus;
  When port;
  ChipPath portPath;
  FlagSet onSmbus, onPort, onNone;
  bool clearPortAddressUse;
};

// ---- Fan divisor search ----------------------------------------------------

enum class CountRead : uint8_t { Byte, WordHigh, WordLow };

struct FanSearch {
  uint8_t countReg;
  CountRead countRead;
  uint8_t divReg;
  uint8_t fieldShift;
  uint8_t fieldBits;
  int8_t extBit;  // bit of the row's extension register taking the code's next bit; -1 none
  uint8_t steps;
  uint8_t codeShift;  // position of the fan's code in an assembled divisor code
};

struct SearchRow {
  KindSet kinds;
  uint8_t fans;
  std::array<FanSearch, 3> fan;
  int16_t codeReg;  // register read whole as the divisor code; -1: assemble from the fans
  uint8_t extReg;
};

// ---- Divisor decoding ------------------------------------------------------

enum class Decode : uint8_t {
  Power,    // 2 ^ ((code >> shift) & mask)
  Two,      // fixed 2
  EightIf,  // bit shift of the code set: 8, clear: 2
};

struct FanDecode {
  Decode rule;
  uint8_t shift = 0;
  uint8_t mask = 0;
};

struct DecodeRow {
  KindSet kinds;
  std::array<FanDecode, 3> fan;
};

// ---- Register writes before and after the search ---------------------------

enum class Act : uint8_t {
  Set,               // reg := value
  SetOnSmbus,        // reg := value, on the SMBus path only
  Or,                // reg := reg OR value
  And,               // reg := reg AND value
  OrChannels,        // for channels 0..count-1: reg := reg OR value (bank = channel)
  SubClientsRead,    // read the sub-client register; its addresses become Temp 2 / 3
  SubClientsAnd,     // reg := (sub-client register) AND value
  CodeAnd,           // reg := divisor code AND value
  Diodes,            // diode step over count sensors
  ClearTemp2Config,  // Temp 2 sensor: reg := value
  FindTemp3,         // first other answering sensor becomes Temp 3; its reg := value
  SensorTypeIsKind,  // SmbTempSensorType := ChipKind
};

struct RegOp {
  Act act;
  uint8_t reg = 0;
  uint8_t value = 0;
  uint8_t bank = kWbBank0;
  RegSpace space = RegSpace::Main;
  uint8_t count = 0;
};

enum class SubClients : uint8_t { None, Both, Temp2Only };
enum class FirstRunUse : uint8_t { None, BothOnSmbus, Temp2, Both };

struct SetupRow {
  KindSet kinds;
  std::span<const RegOp> before;
  std::span<const RegOp> after;
  SubClients subClients = SubClients::None;
  FirstRunUse firstRunUse = FirstRunUse::None;
  bool subClientIndex = false;  // remember p1 as the chip's sub-client index
};

// First-run voltage limit presets (1-based voltage channel).
struct VoltPreset {
  KindSet kinds;
  int channel;
  int32_t upper;
  int32_t lower;
};

const PathRow* FindPathRow(int32_t kind);
const SearchRow* FindSearchRow(int32_t kind);
const DecodeRow& FindDecodeRow(int32_t kind);  // a default row for kinds not listed
const SetupRow* FindSetupRow(int32_t kind);
std::span<const VoltPreset> VoltPresets();

// Kinds whose diode settings are kept, and kinds that skip the auxiliary sensor search.
extern const KindSet kDiodeKinds;
extern const KindSet kNoAuxSensorKinds;

// Register of the Winbond sub-client addresses.
inline constexpr uint8_t kRegSubClients = 0x4A;
// Winbond diode-mode register: bits 1-3 select diode mode for sensors 1-3.
inline constexpr uint8_t kRegDiodes = 0x5D;

}  // namespace kev::config
