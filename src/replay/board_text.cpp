#include "replay/board_text.h"

#include "replay/profile_board.h"

namespace kev::replay {

sim::BoardResult LoadBoardText(std::string_view text, const std::string& name) {
  if (!LooksLikeProfile(text)) return sim::LoadBoardJson(text, name);
  std::string problem;
  const auto board = BoardFromProfile(text, problem);
  if (!board) return sim::BoardError{name, "", problem};
  return sim::LoadBoardJson(board->dump(2), name);
}

}  // namespace kev::replay
