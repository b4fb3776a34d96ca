// Fuzzes the dump readers and the board made of what they read: every input
// ends in a board that loads or in one error with a message.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "replay/dump_board.h"
#include "replay/dump_file.h"
#include "sim/board.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  auto parsed = kev::replay::ParseDumpText(text, error);
  if (!parsed) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  // The south bridge a paste of SMBus grids needs.
  kev::replay::DumpFacts facts;
  facts.southBridge = "PIIX4E";
  std::vector<kev::replay::NamedFile> files{{"fuzz.txt", std::move(*parsed)}};
  std::vector<std::string> notes;
  const auto board = kev::replay::BoardFromDumps(files, facts, notes, error);
  if (!board) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  if (!kev::sim::LoadBoardJson(board->dump(), "fuzz.json")) __builtin_trap();
  return 0;
}
