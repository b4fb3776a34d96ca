// The real machine from the command line: kernel drivers that own the
// hardware refuse the start until --force, and check says what stands in
// the way, writing no port.
#include <map>

#include "cli/cli_fixture.h"
#include "detect/ownership_fixture.h"
#include "hw/lent_ports.h"
#include "sim/board.h"
#include "sim/machine.h"

namespace kev::cli::testing {
namespace {

class FakeBuses : public BusNames {
 public:
  BusNameAnswer HasOwner(BusKind bus, const std::string& name) override {
    asked.push_back(name);
    return answers[bus];
  }
  std::map<BusKind, BusNameAnswer> answers;
  std::vector<std::string> asked;
};

class CliHardware : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    tree_.AddPiix4();
    tree_.BindPci("07.3", "piix4_smbus", "i2c_piix4");
    env.roots = tree_.roots();
    env.buses = &buses_;
    env.openRealPorts = [this] { return std::make_unique<test::LentPorts>(machine_); };
  }

  test::OwnershipTree tree_;
  FakeBuses buses_;
  sim::SimMachine machine_;
};

TEST_F(CliHardware, ADriverOnTheSmbusHostRefusesTheStartUntilForced) {
  const CliRun refused = runWithSettings({"report"});
  EXPECT_EQ(refused.code, kExitFailure);
  EXPECT_EQ(refused.err,
            "kevatra-cli: Kernel drivers already drive the hardware Kevatra would use, and two "
            "programs on one SMBus host or chip garble each other's readings:\n"
            "  piix4_smbus owns PCI 0000:00:07.3 (intel 82371AB (PIIX4)) (the SMBus host and PM "
            "device): free it with \"modprobe -r i2c-piix4\"\n"
            "Free it (as root), or pass --force to go on anyway.\n");
  EXPECT_EQ(machine_.accessCount(), 0u);
  EXPECT_FALSE(std::filesystem::exists(settingsPath()));

  const CliRun forced = runWithSettings({"report", "--force"});
  EXPECT_EQ(forced.code, kExitOk) << forced.err;
  EXPECT_NE(forced.err.find("--force: going on although piix4_smbus owns"), std::string::npos);
  EXPECT_NE(forced.out.find("Fan 1"), std::string::npos);
  EXPECT_GT(machine_.accessCount(), 0u);
}

TEST_F(CliHardware, CheckSaysWhatStandsInTheWayAndTouchesNoPort) {
  machine_.setAccessAllowed(false, "Port access refused: run as root or grant CAP_SYS_RAWIO.");
  std::filesystem::create_directories(tree_.sys() / "kernel/security");
  std::ofstream(tree_.sys() / "kernel/security/lockdown") << "none [integrity] confidentiality\n";
  buses_.answers[BusKind::System] = {true, true};
  const CliRun r = runWithSettings({"check"});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_EQ(Lines(r.out),
            (std::vector<std::string>{
                "Port access:    Port access refused: run as root or grant CAP_SYS_RAWIO.",
                "Kernel lockdown: on (none [integrity] confidentiality): port I/O is refused; "
                "turn Secure Boot off in the firmware set-up, or boot without lockdown (see "
                "real-hardware.md)",
                "Kernel driver:  piix4_smbus owns PCI 0000:00:07.3 (intel 82371AB (PIIX4)) (the "
                "SMBus host and PM device): free it with \"modprobe -r i2c-piix4\"",
                "PM device:      intel 82371AB (PIIX4) at PCI 00:07.3, SMBus host at 5000h",
                "SMBus:          port I/O",
                "Monitoring chip: not probed: asking the chip writes its index port or the SMBus "
                "host, which check never does; \"kevatra-cli info\" identifies it",
                "Tray icon:      no session bus: run check from your desktop session as your own "
                "user",
                "Login manager:  logind answers: shutdown and suspend actions and resume work"}));
  EXPECT_EQ(machine_.accessCount(), 0u);
  EXPECT_EQ(buses_.asked,
            (std::vector<std::string>{"org.kde.StatusNotifierWatcher", "org.freedesktop.login1"}));
}

TEST_F(CliHardware, CheckOnASimulatedBoardNeedsNothingOfTheMachine) {
  buses_.answers[BusKind::Session] = {true, false};
  const CliRun r = run({"check", "--board", testBoard()});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 8u) << r.out;
  EXPECT_EQ(lines[0], "Port access:    not needed (simulated board)");
  EXPECT_EQ(lines[3], "PM device:      intel 82371EB (PIIX4E) at PCI 00:07.3, SMBus host at 5000h");
  EXPECT_EQ(lines[4], "SMBus:          port I/O");
  EXPECT_EQ(lines[6].rfind("Tray icon:      no StatusNotifier host on the session bus", 0), 0u);
  EXPECT_EQ(lines[7], "Login manager:  no system bus: shutdown and suspend actions are refused");
  EXPECT_EQ(machine_.accessCount(), 0u);
}

}  // namespace
}  // namespace kev::cli::testing
