// A board a user gives the programs: board JSON, or a hardware monitoring
// profile pasted as it was posted, which replays the machine it came from.
#pragma once

#include <string>
#include <string_view>

#include "sim/board.h"

namespace kev::replay {

// name labels errors (the file name). A damaged profile is one error
// "line N: expected ..."; anything else is read as board JSON.
sim::BoardResult LoadBoardText(std::string_view text, const std::string& name);

}  // namespace kev::replay
