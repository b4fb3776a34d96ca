// A damaged paste of a hardware monitoring profile is one line naming where
// it went wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "replay/board_text.h"
#include "replay/profile_board.h"
#include "report/profile.h"

namespace kev::replay {
namespace {

// The profile of a catalogue board as the program writes it.
std::string ProfileOf(const std::string& board) {
  sim::BoardResult r = sim::LoadCatalogueBoard(board);
  EXPECT_TRUE(r) << r.error().text();
  if (!r) return {};
  PortIo& io = r->machine();
  return report::BuildProfileText(io, report::GatherSummary(io), MonitorSettings{}, DetectState{},
                                  report::MonitorWindowText{});
}

size_t LineOf(const std::string& text, size_t pos) {
  return 1 +
         static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<long>(pos), '\n'));
}

TEST(ProfileReplay, DamagedPastesNameTheLineAndWhatWasExpected) {
  const std::string good = ProfileOf("demo");
  const size_t lastPci = good.rfind("  00F8 ");
  const size_t temp1 = good.find("  Temp.1 [");
  const size_t window = good.find("--[ Monitor Window ]");
  const size_t wrapAt = good.find(" : ", temp1);
  struct Case {
    const char* what;
    std::string text;
    std::string message;
  };
  const std::vector<Case> cases{
      {"cut short", good.substr(0, lastPci),
       "line " + std::to_string(LineOf(good, lastPci)) +
           ": expected the configuration bytes at offset 00F8, got the end of the text"},
      {"wrapped", good.substr(0, wrapAt) + "\n" + good.substr(wrapAt),
       "line " + std::to_string(LineOf(good, temp1)) +
           ": expected the \"Temp.1 [...] : ...\" row, got \"Temp.1 []\""},
      {"mixed", good.substr(0, window) + "     0  1  2  3\n00: 7f 7f 7f 7f\n" + good.substr(window),
       "line " + std::to_string(LineOf(good, window)) +
           ": expected the \"Monitor Window\" section, got \"0  1  2  3\""},
      {"dump before it", "00: 7f 7f 7f 7f\n" + good,
       "line 1: expected the \"--[ Hardware Monitoring Profile ]\" banner, got \"00: 7f 7f 7f "
       "7f\""},
      {"two pasted", good + good,
       "line " + std::to_string(LineOf(good, good.size()) + 1) +
           ": expected the end of the profile, got \"--[ Kevatra  Ver.2.1.0.0 ]--\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const sim::BoardResult r = LoadBoardText(c.text, "damaged.txt");
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().text(), "damaged.txt: " + c.message);
  }

  // A mail program's CRLF line ends do no harm.
  std::string crlf;
  std::istringstream lines(good);
  for (std::string l; std::getline(lines, l);) crlf += l + "\r\n";
  std::string error;
  const auto fromCrlf = BoardFromProfile(crlf, error);
  ASSERT_TRUE(fromCrlf) << error;
  EXPECT_EQ(*fromCrlf, BoardFromProfile(good, error));
}

}  // namespace
}  // namespace kev::replay
