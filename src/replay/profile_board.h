// A hardware monitoring profile as the program writes it, turned into a
// board description that replays the machine it came from.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace kev::replay {

// True when the text is a profile: its summary banner appears among the
// first lines (after the program's own banner lines), LF or CRLF endings.
bool LooksLikeProfile(std::string_view text);

// The board JSON (see docs/boards.md, "Register images"). On a paste that is
// cut short, wrapped or mixed, nullopt and error set to one line
// "line N: expected ...". Never throws.
std::optional<nlohmann::json> BoardFromProfile(std::string_view text, std::string& error);

}  // namespace kev::replay
