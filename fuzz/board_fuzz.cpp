// Fuzzes the board file loader, profiles given in place of JSON included.
// Besides never crashing, every input ends in a board or in one error with a
// message; a board that loads is read register by register on its buses at a
// few moments of its signals, so the chip models see whatever values the file
// gives.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "replay/board_text.h"
#include "replay/profile_board.h"
#include "sim/board.h"
#include "sim/board_spec.h"

namespace {

constexpr uint16_t kIsaIndexOffset = 5;
constexpr uint16_t kIsaDataOffset = 6;
constexpr uint64_t kMomentsMs[] = {0, 1500, 3600000};

void ReadEveryRegister(kev::sim::SimBoard& board, const kev::sim::ChipSpec& chip) {
  for (unsigned reg = 0; reg <= 0xFF; ++reg) {
    const auto index = static_cast<uint8_t>(reg);
    if (chip.isa) {
      board.machine().outb(static_cast<uint16_t>(*chip.isa + kIsaIndexOffset), index);
      (void)board.machine().inb(static_cast<uint16_t>(*chip.isa + kIsaDataOffset));
    }
    uint8_t value = 0;
    if (chip.smbus) (void)board.smbus().readByte(*chip.smbus, index, value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kev::sim::BoardResult loaded = kev::replay::LoadBoardText(text, "fuzz.json");
  if (!loaded) {
    if (loaded.error().message.empty()) __builtin_trap();
    return 0;
  }
  // A profile that loads converts to a board document on its own.
  std::string document(text);
  if (kev::replay::LooksLikeProfile(text)) {
    std::string problem;
    const auto board = kev::replay::BoardFromProfile(text, problem);
    if (!board) __builtin_trap();
    document = board->dump();
  }
  kev::sim::BoardError unused;
  const auto spec = kev::sim::ParseBoardSpec(document, "fuzz.json", unused);
  if (!spec) __builtin_trap();
  uint64_t now = 0;
  for (uint64_t at : kMomentsMs) {
    loaded->advanceMs(at - now);
    now = at;
    for (const kev::sim::ChipSpec& chip : spec->chips) ReadEveryRegister(loaded.board(), chip);
  }
  return 0;
}
