#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "cli_fixture.h"
#include "hw/lent_ports.h"
#include "sim/machine.h"

namespace kev::cli::testing {
namespace {

using CliErrors = CliTest;

// One line on stderr, nothing on stdout.
void ExpectOneErrorLine(const CliRun& r, int code, const std::string& fragment) {
  EXPECT_EQ(r.code, code);
  EXPECT_TRUE(r.out.empty()) << r.out;
  EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
  EXPECT_EQ(r.err.rfind("kevatra-cli: ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find(fragment), std::string::npos) << r.err;
}

TEST_F(CliErrors, BadCommandLinesAreUsageErrors) {
  ExpectOneErrorLine(run({"report", "--bogus"}), kExitUsage, "unknown option '--bogus'");
  ExpectOneErrorLine(run({}), kExitUsage, "no command given");
  ExpectOneErrorLine(run({"reprt"}), kExitUsage, "unknown command 'reprt'");
  ExpectOneErrorLine(run({"report", "info"}), kExitUsage, "only one command");
  ExpectOneErrorLine(run({"watch", "--json"}), kExitUsage, "--json does not apply to watch");
  ExpectOneErrorLine(run({"report", "--count", "3"}), kExitUsage, "--count does not apply");
  ExpectOneErrorLine(run({"watch", "--count", "0"}), kExitUsage, "--count needs a whole number");
  ExpectOneErrorLine(run({"watch", "--count", "2x"}), kExitUsage, "--count needs a whole number");
  ExpectOneErrorLine(run({"watch", "--interval", "-1"}), kExitUsage, "--interval needs");
  ExpectOneErrorLine(run({"watch", "--interval", "nan"}), kExitUsage, "--interval needs");
  ExpectOneErrorLine(run({"watch", "--interval"}), kExitUsage, "--interval needs a value");
  ExpectOneErrorLine(run({"report", "--board="}), kExitUsage, "--board needs a value");
  ExpectOneErrorLine(run({"report", "--save=yes"}), kExitUsage, "--save takes no value");
  ExpectOneErrorLine(run({"report", "-x"}), kExitUsage, "unknown option '-x'");
}

TEST_F(CliErrors, HelpAndVersion) {
  const CliRun help = run({"--help"});
  EXPECT_EQ(help.code, kExitOk);
  EXPECT_EQ(help.out.rfind("Usage: kevatra-cli", 0), 0u);
  const CliRun version = run({"report", "--version"});
  EXPECT_EQ(version.code, kExitOk);
  EXPECT_EQ(version.out, "kevatra-cli 2.10\n");
  EXPECT_TRUE(version.err.empty());
}

TEST_F(CliErrors, UnknownBoardNameListsTheCatalogue) {
  const CliRun r = runWithSettings({"report", "--board", "nope"});
  ExpectOneErrorLine(r, kExitFailure, "unknown board 'nope'");
  EXPECT_NE(r.err.find("demo"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(settingsPath()));
}

TEST_F(CliErrors, BadBoardFilesNameTheProblem) {
  ExpectOneErrorLine(runWithSettings({"report", "--board", path("missing.json")}), kExitFailure,
                     "missing.json");
  writeFile(path("broken.json"), "{ \"chips\": [ ");
  ExpectOneErrorLine(runWithSettings({"report", "--board", path("broken.json")}), kExitFailure,
                     "broken.json");
  writeFile(path("odd.json"), R"({"chips": [{"kind": "NoSuchChip"}]})");
  ExpectOneErrorLine(runWithSettings({"report", "--board", path("odd.json")}), kExitFailure,
                     "chips[0]");
  writeFile(path("huge.json"), R"({"chips": [], "x": 1e400})");
  ExpectOneErrorLine(runWithSettings({"report", "--board", path("huge.json")}), kExitFailure,
                     "bad board: " + path("huge.json") + ": x: 1e400 is beyond");
}

// A folder, a FIFO or a device named as the board ends the run with one line
// instead of a misleading parse error, a hang or reading without end.
TEST_F(CliErrors, BoardPathsThatAreNoPlainFilesAreRefused) {
  std::filesystem::create_directories(path("folder.json"));
  ExpectOneErrorLine(runWithSettings({"report", "--board", path("folder.json")}), kExitFailure,
                     "folder.json: is a directory");
  ASSERT_EQ(::mkfifo(path("pipe.json").c_str(), 0600), 0);
  ExpectOneErrorLine(runWithSettings({"report", "--board", path("pipe.json")}), kExitFailure,
                     "pipe.json: is not a regular file");
  ExpectOneErrorLine(runWithSettings({"report", "--board", "/dev/zero"}), kExitFailure,
                     "/dev/zero: is not a regular file");
  writeFile(path("huge.json"), std::string((size_t{1} << 20) + 1, ' '));
  ExpectOneErrorLine(runWithSettings({"report", "--board", path("huge.json")}), kExitFailure,
                     "huge.json: is larger than 1 MiB");
  EXPECT_FALSE(std::filesystem::exists(settingsPath()));
}

// A settings file that is there but cannot be read stops the run before a
// --save could replace it with defaults; a missing one is a first run.
TEST_F(CliErrors, SettingsFileThatCannotBeReadEndsTheRun) {
  std::filesystem::create_directories(settingsPath());
  ExpectOneErrorLine(runWithSettings({"report", "--board", "demo", "--save"}), kExitFailure,
                     "cannot read the settings file " + settingsPath() + ": is a directory");
  EXPECT_TRUE(std::filesystem::is_empty(settingsPath()));
  ASSERT_EQ(::mkfifo(path("pipe.reg").c_str(), 0600), 0);
  ExpectOneErrorLine(run({"info", "--board", "demo", "--settings", path("pipe.reg")}), kExitFailure,
                     "is not a regular file");
  writeFile(path("plain"), "x");
  ExpectOneErrorLine(run({"info", "--board", "demo", "--settings", path("plain/registry.reg")}),
                     kExitFailure, "Not a directory");
  const CliRun fresh = run({"info", "--board", "demo", "--settings", path("none.reg")});
  EXPECT_EQ(fresh.code, kExitOk) << fresh.err;
}

// Every write fails, as on standard output to a full disk.
class FullDisk : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST_F(CliErrors, OutputThatCannotBeWrittenIsAFailure) {
  const std::vector<std::vector<std::string>> commands{
      {"report", "--board", "demo"}, {"watch", "--board", "demo"}, {"version"}};
  for (std::vector<std::string> args : commands) {
    args.insert(args.end(), {"--settings", settingsPath()});
    SCOPED_TRACE(args[0]);
    FullDisk full;
    std::ostream out(&full);
    std::ostringstream err;
    EXPECT_EQ(RunCli(args, out, err, env), kExitFailure);  // watch stops, too
    EXPECT_EQ(err.str(), "kevatra-cli: cannot write the output\n");
  }
}

TEST_F(CliErrors, RefusedPortsGiveOneLineAndTouchNothing) {
  sim::SimMachine machine;
  machine.setAccessAllowed(false, "Port access refused: run as root or grant CAP_SYS_RAWIO.");
  env.openRealPorts = [&machine] { return std::make_unique<test::LentPorts>(machine); };
  const CliRun r = run({"report", "--save"});
  ExpectOneErrorLine(r, kExitFailure, "CAP_SYS_RAWIO");
  EXPECT_EQ(machine.accessCount(), 0u);
  EXPECT_FALSE(std::filesystem::exists(path("config")));
}

TEST_F(CliErrors, PortsWithoutAReasonStillSayWhatIsMissing) {
  env.openRealPorts = [] {
    auto m = std::make_unique<sim::SimMachine>();
    m->setAccessAllowed(false);
    return std::unique_ptr<PortIo>(std::move(m));
  };
  ExpectOneErrorLine(run({"info"}), kExitFailure, "root or with CAP_SYS_RAWIO");
}

TEST_F(CliErrors, RealPortsThatAllowAccessAreUsed) {
  env.openRealPorts = [] { return std::unique_ptr<PortIo>(std::make_unique<sim::SimMachine>()); };
  const CliRun r = runWithSettings({"report"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("Fan 1"), std::string::npos);
  EXPECT_NE(r.out.find("N/A"), std::string::npos);  // an empty machine has no readings
}

TEST_F(CliErrors, AFailedSaveIsReported) {
  // A folder where no file can be created, not even by root.
  const CliRun r = run({"report", "--board", "demo", "--settings", "/proc/self/kev.reg", "--save"});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("cannot save the settings"), std::string::npos) << r.err;
}

// A settings file that is another user's link in a folder others can write
// is not saved through: it could name any file root may write. A link of
// the user's own still is.
TEST_F(CliErrors, SaveRefusesALinkPlantedByAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a link another owner needs root";
  const std::string shared = path("shared"), secret = path("secret");
  std::filesystem::create_directories(shared);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  writeFile(secret, "root only\n");
  ASSERT_EQ(chmod(secret.c_str(), 0600), 0);
  const std::string link = shared + "/registry.reg";
  std::filesystem::create_symlink(secret, link);
  const uid_t nobody = 65534;
  ASSERT_EQ(lchown(link.c_str(), nobody, nobody), 0);
  const CliRun r = run({"report", "--board", "demo", "--settings", link, "--save"});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("symbolic link of another user (65534) in a folder others can write"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(readFile(secret), "root only\n");
  EXPECT_FALSE(std::filesystem::exists(link + ".damaged"));

  ASSERT_EQ(lchown(link.c_str(), 0, 0), 0);
  EXPECT_EQ(run({"report", "--board", "demo", "--settings", link, "--save"}).code, kExitOk);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(readFile(secret).rfind("Windows Registry Editor", 0), 0u);
}

}  // namespace
}  // namespace kev::cli::testing
