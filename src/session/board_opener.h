// The machine a run is about when it is not the real one: a catalogue
// board, a board file, or a hardware monitoring profile someone posted.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sim/board.h"

namespace kev::session {

// Board files are a few KiB, a profile about 60 KiB; anything far bigger is neither.
inline constexpr size_t kMaxBoardFileBytes = size_t{1} << 20;

// Why path cannot be read as a plain file, or empty when it can. A folder,
// a FIFO or a device would otherwise fail late, block, or read forever.
std::string PlainFileProblem(const std::string& path);

// The text of a board file: a plain file of at most 1 MiB. Null with error
// set to one line for the user.
std::optional<std::string> ReadBoardFile(const std::string& path, std::string& error);

// A catalogue board by name, or a board file or pasted profile by path;
// null with error set to one line for the user.
std::unique_ptr<sim::SimBoard> OpenBoard(const std::string& name, std::string& error);

}  // namespace kev::session
