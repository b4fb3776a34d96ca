// The one way both programs open a board: catalogue names, board files and
// what is not a board file.
#include "session/board_opener.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace kev::session {
namespace {

class BoardOpener : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir_); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path(const char* name) const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() / ("kev_board_opener_" + std::to_string(::getpid()));
};

uint8_t IsaRead(PortIo& io, uint16_t base, uint8_t reg) {
  io.outb(static_cast<uint16_t>(base + 5), reg);
  return io.inb(static_cast<uint16_t>(base + 6));
}

TEST_F(BoardOpener, LoadsAFileAndNamesTheBoardAfterIt) {
  std::ofstream(path("my-board.json")) << *sim::CatalogueBoardJson("p2b-piix4-w83781d");
  std::string error;
  std::unique_ptr<sim::SimBoard> b = OpenBoard(path("my-board.json"), error);
  ASSERT_NE(b, nullptr) << error;
  EXPECT_EQ(b->name(), "my-board");
  EXPECT_EQ(IsaRead(b->machine(), 0x290, 0x58), 0x10);  // W83781D chip ID
}

TEST_F(BoardOpener, WhatIsNoBoardFileIsNamedNotRead) {
  std::ofstream(path("big.json")) << std::string(kMaxBoardFileBytes + 1, ' ');
  ASSERT_EQ(mkfifo(path("fifo.json").c_str(), 0600), 0);  // would block a plain read
  const std::pair<std::string, std::string> cases[] = {
      {"/nonexistent/board.json", "bad board: /nonexistent/board.json: No such file"},
      {path("big.json"), "bad board: " + path("big.json") + ": is larger than 1 MiB"},
      {path("fifo.json"), "bad board: " + path("fifo.json") + ": is not a regular file"},
      {"no-such-board", "unknown board 'no-such-board' (catalogue: "},
  };
  for (const auto& [name, said] : cases) {
    std::string error;
    EXPECT_EQ(OpenBoard(name, error), nullptr) << name;
    EXPECT_EQ(error.rfind(said, 0), 0u) << error;
  }
}

}  // namespace
}  // namespace kev::session
