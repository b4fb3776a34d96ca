// Lines and words of a pasted text, for every reader of users' pastes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kev::replay {

// The text split at line feeds, carriage returns before them dropped; a
// last line feed ends the last line rather than starting an empty one.
std::vector<std::string_view> SplitLines(std::string_view text);
// Without blanks and tabs (and, for Trim, carriage returns) at the ends.
std::string_view Trim(std::string_view s);
std::string_view TrimRight(std::string_view s);
// Trimmed, with each run of blanks and tabs one space.
std::string Squeeze(std::string_view s);
// The words between blanks and tabs; they point into s.
std::vector<std::string_view> Words(std::string_view s);

}  // namespace kev::replay
