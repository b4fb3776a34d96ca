// A hardware monitoring profile given to --board replays the machine it was
// taken on; a damaged paste is one line naming where it went wrong.
#include <algorithm>

#include "cli_fixture.h"
#include "sim/board.h"

namespace kev::cli::testing {
namespace {

class ProfileReplay : public CliTest {
 protected:
  std::string profileOf(const std::string& board) {
    const CliRun r = run({"profile", "--board", board});
    EXPECT_EQ(r.code, 0) << r.err;
    return r.out;
  }
  std::string saved(const std::string& name, const std::string& text) {
    const std::string file = path(name);
    writeFile(file, text);
    return file;
  }
};

TEST_F(ProfileReplay, EveryCatalogueBoardGivesItsProfileAndReadingsBack) {
  for (const std::string& name : sim::CatalogueBoardNames()) {
    SCOPED_TRACE(name);
    const std::string original = profileOf(name);
    const std::string file = saved(name + ".txt", original);
    EXPECT_EQ(profileOf(file), original);
    EXPECT_EQ(run({"report", "--board", file}).out, run({"report", "--board", name}).out);
  }
}

TEST_F(ProfileReplay, FailedReadReplaysAsFailedRead) {
  std::string text = profileOf("440gx-dual-lm87");
  const size_t at = text.find("  REG 28h : ");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, text.find('\n', at) - at, "  REG 28h : FFFFFFFFh");
  const std::string replayed = profileOf(saved("failed.txt", text));
  EXPECT_NE(replayed.find("  REG 28h : FFFFFFFFh\n"), std::string::npos);
}

size_t LineOf(const std::string& text, size_t pos) {
  return 1 +
         static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<long>(pos), '\n'));
}

TEST_F(ProfileReplay, DamagedPastesNameTheLineAndWhatWasExpected) {
  const std::string good = profileOf("demo");
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
    const std::string file = saved("damaged.txt", c.text);
    const CliRun r = run({"report", "--board", file});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kevatra-cli: bad board: " + file + ": " + c.message + "\n");
  }

  // A mail program's CRLF line ends do no harm.
  std::string crlf;
  for (const std::string& l : Lines(good)) crlf += l + "\r\n";
  EXPECT_EQ(run({"report", "--board", saved("crlf.txt", crlf)}).out,
            run({"report", "--board", "demo"}).out);
}

}  // namespace
}  // namespace kev::cli::testing
