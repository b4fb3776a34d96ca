// Board JSON laid out for people: the board's own fields first, register
// images eight to a line, so that a replayed board can be read and edited.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace kev::replay {

std::string ReadableJson(const nlohmann::json& board);

}  // namespace kev::replay
