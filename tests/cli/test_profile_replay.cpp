// A hardware monitoring profile given to --board replays the machine it was
// taken on.
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

}  // namespace
}  // namespace kev::cli::testing
