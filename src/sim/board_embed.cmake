# Writes OUT: a C++ file holding every DIR/*.json as a raw string literal,
# so that the board catalogue works from any working directory.
file(GLOB boards "${DIR}/*.json")
list(SORT boards)
set(body "")
foreach(path IN LISTS boards)
  get_filename_component(name "${path}" NAME_WE)
  file(READ "${path}" text)
  string(APPEND body "    {\"${name}\", R\"kevboard(${text})kevboard\"},\n")
endforeach()
file(WRITE "${OUT}" "// Generated from boards/*.json; do not edit.
#include \"sim/board_spec.h\"

namespace kev::sim {

namespace {
const EmbeddedBoardFile kFiles[] = {
${body}    {nullptr, nullptr},
};
}  // namespace

std::span<const EmbeddedBoardFile> EmbeddedBoardFiles() {
  return {kFiles, sizeof kFiles / sizeof kFiles[0] - 1};
}

}  // namespace kev::sim
")
