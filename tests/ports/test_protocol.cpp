// The helper's server in-process: a greeting, a batch of whole operations
// with one reply, every hole a hostile client tried refused with the
// machine unchanged, anything malformed ending the connection before any
// op runs, and two helpers on one machine taking turns.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <thread>

#include "board_runs.h"
#include "hw/sim_test_support.h"
#include "hw/upcicfg.h"
#include "policed_io.h"

namespace kev::ports {
namespace {

constexpr uint32_t kPiix4 = 0x71138086;  // the demo board's PM device
constexpr uint32_t kSmbBase = 0x5000;
constexpr uint32_t kWinbond = 0x290;  // its W83782D on the ISA bus
constexpr uint8_t kRegVendor = 0x4F;
constexpr uint32_t kAllOnes = 0xFFFFFFFFu;

struct Served {
  std::unique_ptr<sim::SimBoard> board = sim::LoadCatalogueBoard("demo").take();
  OpPolicy policy{board->machine(), EstablishMachine(board->machine())};
  std::vector<std::string> log;
  PortServer server{policy, nullptr, PortAccessRefusal::None, 0,
                    [this](const std::string& line) { log.push_back(line); }};

  Hello greet() {
    const std::vector<std::byte> r = server.handle(test::Bytes(std::vector<Hello>{Hello{}}));
    Hello h{};
    EXPECT_EQ(r.size(), sizeof h);
    if (r.size() == sizeof h) std::memcpy(&h, r.data(), sizeof h);
    return h;
  }
  // The status and one value per op.
  std::pair<Status, std::vector<uint32_t>> send(const std::vector<HwOp>& ops) {
    const std::vector<std::byte> r = server.handle(test::Bytes(ops));
    ReplyHeader h{};
    std::vector<uint32_t> values(ops.size());
    EXPECT_EQ(r.size(), sizeof h + ops.size() * sizeof(uint32_t));
    if (r.size() != sizeof h + ops.size() * sizeof(uint32_t)) return {Status::Busy, {}};
    std::memcpy(&h, r.data(), sizeof h);
    EXPECT_EQ(h.count, ops.size());
    std::memcpy(values.data(), r.data() + sizeof h, values.size() * sizeof(uint32_t));
    return {h.status, values};
  }
  uint32_t wb(uint8_t reg) {
    return RunOnPorts(board->machine(), op::ChipRead(ChipUnit::Wb, kWinbond, reg, 0));
  }
};

TEST(PortProtocol, ABatchGetsOneReplyWithEveryValue) {
  Served s;
  const Hello h = s.greet();
  EXPECT_EQ(h.magic, kMagic);
  EXPECT_EQ(h.version, kVersion);
  EXPECT_EQ(h.refusal, 0);
  // Bank 0 high byte: the vendor register reads 5Ch; the LM75 at 4Fh answers.
  const auto [status, values] = s.send({op::ChipRead(ChipUnit::Wb, kWinbond, kRegVendor, 0x80),
                                        op::Smbus(kPiix4, kSmbBase, true, false, 0x4F, 0x01, 0),
                                        op::ChipRead(ChipUnit::Ns, 0x1F0, 0x07, 0),
                                        op::ChipRead(ChipUnit::Wb, kWinbond, kRegVendor, 0x80)});
  EXPECT_EQ(status, Status::Refused);  // the third: the rest still runs
  EXPECT_EQ(values, (std::vector<uint32_t>{0x5C, values[1], kAllOnes, 0x5C}));
  EXPECT_NE(values[1], kAllOnes);
  EXPECT_EQ(s.log,
            std::vector<std::string>{"kevatra-ports: refused: chip read of register 07h "
                                     "at 1F0h: not a monitoring chip's block on this machine"});
}

// What a hostile group member tried; each is refused, logged once and
// leaves the machine as it was.
TEST(PortProtocol, EveryHoleAHostileClientTriedIsRefused) {
  const std::vector<std::pair<const char*, HwOp>> holes{
      {"SPD EEPROM through D1h", op::Smbus(kPiix4, kSmbBase, false, false, 0xD1, 0x00, 0x12)},
      {"SPD EEPROM at 51h", op::Smbus(kPiix4, kSmbBase, false, false, 0x51, 0x00, 0x12)},
      {"general call through 80h", op::Smbus(kPiix4, kSmbBase, false, false, 0x80, 0x00, 0x12)},
      {"clock generator byte", op::Smbus(kPiix4, kSmbBase, false, false, 0x69, 0x00, 0x12)},
      {"clock generator word", op::Smbus(kPiix4, kSmbBase, false, true, 0x69, 0x00, 0x1234)},
      {"PWM 5Ah", op::ChipWrite(ChipUnit::Wb, kWinbond, 0x5A, 0, 0x00)},
      {"PWM 5Bh", op::ChipWrite(ChipUnit::Wb, kWinbond, 0x5B, 0, 0x00)},
      {"init bit", op::ChipWrite(ChipUnit::Wb, kWinbond, 0x40, 0, 0x80)},
      {"serial-bus address", op::ChipWrite(ChipUnit::Wb, kWinbond, 0x48, 0, 0x51)},
      {"PWM over the SMBus", op::Smbus(kPiix4, kSmbBase, false, false, 0x2D, 0x5A, 0x00)},
      {"Super-I/O GPIO F1h", op::SuperIoWrite(SuperIoKind::Pc87366, 0x2E, 0xF1, 0xFF)},
      {"Super-I/O base 60h", op::SuperIoWrite(SuperIoKind::Pc87366, 0x2E, 0x60, 0x01)},
      {"ICH SMBus hide bit", op::PciWrite(PciLane::HighWord, PciConfigAddress(0, 31, 0, 0xF0), 8)},
      {"PIIX4 SMBus base", op::PciWrite(PciLane::Dword, PciConfigAddress(0, 7, 3, 0x90), 0x1F1)},
      {"IDE command port", op::ChipWrite(ChipUnit::Via, 0x1F0, 0x07, 0, 0xEC)},
      {"board switch byte", op::BoardSwitch(SwitchKind::Asms3, 0xE437, 0, 0xFF, 0xFF, 0)},
  };
  for (const auto& [name, hole] : holes) {
    SCOPED_TRACE(name);
    Served s;
    kev::test::RegisterSlave spd, clock;
    spd.regs[0] = 0x80;
    clock.regs[0] = 0x55;
    s.board->smbus().attach(0x51, &spd);
    s.board->smbus().attach(0x69, &clock);
    std::vector<uint32_t> chip;
    for (uint8_t reg = 0x40; reg < 0x60; ++reg) chip.push_back(s.wb(reg));
    const uint32_t smbBase = PCIcfg_rdd(s.board->machine(), 0, 7, 3, 0x90);
    s.greet();
    EXPECT_EQ(s.send({hole}).first, Status::Refused);
    EXPECT_EQ(s.log.size(), 1u);
    EXPECT_EQ(spd.regs[0], 0x80);
    EXPECT_EQ(clock.regs[0], 0x55);
    for (uint8_t reg = 0x40; reg < 0x60; ++reg) EXPECT_EQ(s.wb(reg), chip[reg - 0x40u]) << +reg;
    EXPECT_EQ(PCIcfg_rdd(s.board->machine(), 0, 7, 3, 0x90), smbBase);
  }
}

TEST(PortProtocol, AnythingMalformedEndsTheConnectionBeforeAnyOpRuns) {
  const HwOp read = op::ChipRead(ChipUnit::Wb, kWinbond, kRegVendor, 0x80);
  HwOp unknown = read;
  unknown.code = static_cast<OpCode>(0x7F);
  HwOp badUnit = read;
  badUnit.unit = kChipUnits;
  std::vector<std::byte> truncated = test::Bytes(std::vector<HwOp>{read});
  truncated.pop_back();
  const std::vector<std::pair<const char*, std::vector<std::byte>>> afterHello{
      {"empty", {}},
      {"truncated record", truncated},
      {"too many ops", test::Bytes(std::vector<HwOp>(kMaxOps + 1, read))},
      {"unknown op", test::Bytes(std::vector<HwOp>{read, unknown})},
      {"unknown chip unit", test::Bytes(std::vector<HwOp>{read, badUnit})},
      {"a second hello", test::Bytes(std::vector<Hello>{Hello{}})},
  };
  for (const auto& [name, message] : afterHello) {
    SCOPED_TRACE(name);
    Served s;
    s.greet();
    s.board->machine().startTrace(true);
    EXPECT_TRUE(s.server.handle(message).empty());
    EXPECT_TRUE(s.server.done());
    EXPECT_TRUE(s.board->machine().trace().empty());
    EXPECT_TRUE(s.server.handle(test::Bytes(std::vector<HwOp>{read})).empty());
  }
  Hello wrongMagic;
  wrongMagic.magic ^= 1;
  Hello wrongVersion;
  wrongVersion.version = kVersion + 1;
  for (const auto& message :
       {test::Bytes(std::vector<Hello>{wrongMagic}), test::Bytes(std::vector<Hello>{wrongVersion}),
        test::Bytes(std::vector<HwOp>{read})}) {
    Served s;
    EXPECT_TRUE(s.server.handle(message).empty());
    EXPECT_TRUE(s.server.done());
  }
  Served s;
  PortServer refused(s.policy, nullptr, PortAccessRefusal::LockedDown, EPERM, {});
  const std::vector<std::byte> r = refused.handle(test::Bytes(std::vector<Hello>{Hello{}}));
  Hello h{};
  ASSERT_EQ(r.size(), sizeof h);
  std::memcpy(&h, r.data(), sizeof h);
  EXPECT_EQ(h.refusal, static_cast<uint8_t>(PortAccessRefusal::LockedDown));
  EXPECT_EQ(h.accessErrno, EPERM);
  EXPECT_TRUE(refused.done());
}

// Two programs' helpers over one machine, each message under the machine
// lock: thousands of interleaved ticks, every reading as one program alone
// sees it.
TEST(PortProtocol, TwoHelpersOnOneMachineTakeTurnsAndReadRight) {
  const auto board = sim::LoadCatalogueBoard("demo").take();
  const std::vector<std::string> alone =
      kev::test::DetectAndTick(nullptr, board->machine(), 0, false, 20);
  const std::string lockPath =
      (std::filesystem::temp_directory_path() / ("kev_lock_" + std::to_string(getpid()))).string();
  struct Helper {
    OpPolicy policy;
    MachineLock lock;
    PortServer server;
    Helper(PortIo& m, const std::string& path)
        : policy(m, EstablishMachine(m)),
          lock(path),
          server(policy, &lock, PortAccessRefusal::None, 0, [](const std::string&) {}) {}
  };
  Helper a(board->machine(), lockPath), b(board->machine(), lockPath);
  std::vector<std::string> wrong;
  std::mutex wrongMutex;
  auto program = [&](PortServer& server) {
    test::ServerClient io(server);
    for (int run = 0; run < 100; ++run) {
      const std::vector<std::string> seen = kev::test::DetectAndTick(nullptr, io, 0, false, 20);
      if (seen != alone) {
        const std::lock_guard lock(wrongMutex);
        wrong.insert(wrong.end(), seen.begin(), seen.end());
      }
    }
  };
  std::thread first(program, std::ref(a.server));
  program(b.server);
  first.join();
  std::filesystem::remove(lockPath);
  EXPECT_EQ(wrong, std::vector<std::string>{});
}

}  // namespace
}  // namespace kev::ports
