// A board description as read from its file, before anything is built.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/board.h"
#include "sim/bridge.h"
#include "sim/hwmon_inputs.h"

namespace kev::sim {

// One register value a board file sets, with its field for errors.
struct RegSetting {
  uint8_t index = 0;
  uint8_t value = 0;
  std::string field;  // "chips[0].registers.0x16"
};

// One register of a replayed image: a byte or a 16-bit word (first byte
// on the bus high), either byte of which may be a failed read.
struct ImageValue {
  int bank = 0;
  uint8_t index = 0;
  int digits = 0;  // 2 or 4 as written; 0 for a JSON integer
  uint16_t value = 0;
  uint8_t failed = 0;  // bit 0: low byte, bit 1: high byte
  std::string field;
};

// PC87366 register images by area.
struct Pc87366Image {
  std::vector<std::pair<uint8_t, std::vector<ImageValue>>> ldn;  // logical device, registers
  std::vector<ImageValue> fsm;
  std::vector<ImageValue> vlm, tms;  // bank = channel bank
};

struct PciImage {
  uint8_t bus = 0, device = 0, function = 0;
  std::vector<uint8_t> bytes;  // from offset 00h
  std::string field;
};

struct ChipSpec {
  std::string id;
  std::string kind;
  std::string path;                    // "chips[2]", for errors found while building
  std::optional<uint16_t> isa;         // ISA base / ITE EC base
  std::optional<uint8_t> smbus;        // 7-bit address
  std::optional<uint16_t> configPort;  // PC87366: 2Eh or 4Eh
  std::optional<uint16_t> fsmBase, vlmBase, tmsBase;
  bool ecActive = true;  // ITE: logical device 4 activated by the BIOS
  std::vector<std::optional<FanInput>> fans;
  std::vector<Signal> temps;
  std::vector<VoltInput> volts;
  std::vector<RegSetting> registers;  // power-on values the BIOS left
  std::vector<ImageValue> image;      // replayed dump; Winbond banks in bank
  std::vector<ImageValue> smbusWords;
  Pc87366Image pcImage;
  bool vanished = false;
};

struct SuperIoSpec {
  uint16_t port = 0x2E;
  uint8_t chipId = 0x52;
  std::vector<RegSetting> ldn8;  // logical device 8 registers
};

struct FaultSpec {
  bool smbusStuckBusy = false;
  int smbusCollisions = 0;
  std::vector<uint8_t> silent;
};

struct BoardSpec {
  std::string name;
  std::string description;
  std::optional<HostBridgeSetup> host;
  std::optional<SouthBridgeSetup> south;
  std::optional<SuperIoSpec> superio;
  std::vector<ChipSpec> chips;
  FaultSpec faults;
  std::vector<PciImage> pci;
  bool pciComplete = false;
};

// Reads the JSON text; errors name the field. Never throws.
std::optional<BoardSpec> ParseBoardSpec(std::string_view text, const std::string& file,
                                        BoardError& error);
// Builds the board; errors found only now (a placement the part cannot
// have, two devices on one port) name the chip's field. Never throws.
std::unique_ptr<SimBoard> BuildBoard(const BoardSpec& spec, const std::string& file,
                                     BoardError& error);

// Input pin counts of a chip kind; nullopt for an unknown kind.
struct PinCounts {
  int fans, temps, volts;
};
std::optional<PinCounts> ChipKindPins(std::string_view kind);
std::vector<std::string> ChipKindNames();

// The catalogue compiled into the library from boards/*.json.
struct EmbeddedBoardFile {
  const char* name;  // file name without ".json"
  const char* text;
};
std::span<const EmbeddedBoardFile> EmbeddedBoardFiles();

}  // namespace kev::sim
