// The port helper's policy: everything the program does on every catalogue
// board passes unchanged; what it never does is refused without touching
// the machine.
#include <gtest/gtest.h>

#include <functional>

#include "board_runs.h"
#include "hw/sim_test_support.h"
#include "hw/upcicfg.h"
#include "hw/usmbus.h"
#include "ports/policy.h"

namespace kev::ports {
namespace {

std::unique_ptr<sim::SimBoard> Board(const std::string& name) {
  sim::BoardResult r = sim::LoadCatalogueBoard(name);
  EXPECT_TRUE(r) << name;
  return r ? r.take() : nullptr;
}

// The profile too, which the information window and kevatra-cli build.
TEST(PortPolicy, EveryCatalogueBoardRunsAsDirectlyWithNothingRefused) {
  for (const std::string& name : sim::CatalogueBoardNames()) {
    for (uint32_t asmsMode : {0u, 2u}) {  // 2: the board switch is driven too
      SCOPED_TRACE(name + " board switch mode " + std::to_string(asmsMode));
      const auto direct = Board(name);
      const auto policed = Board(name);
      ASSERT_TRUE(direct && policed);
      PolicedPorts ports(policed->machine());
      EXPECT_EQ(test::DetectAndTick(policed.get(), ports, asmsMode, asmsMode == 0),
                test::DetectAndTick(direct.get(), direct->machine(), asmsMode, asmsMode == 0));
      EXPECT_EQ(ports.takeRefusals(), std::vector<std::string>{});
    }
  }
}

// On the demo board: PIIX4E with its SMBus host at 5000h, a W83782D at 290h.
constexpr uint32_t kPiix4 = 0x71138086;
constexpr uint16_t kSmbBase = 0x5000;

struct RefusedCase {
  const char* name;
  std::function<void(PortIo&)> setUp;  // allowed accesses before the refused one
  std::function<void(PortIo&)> refused;
  const char* line;  // the start of the log line
};

const std::vector<RefusedCase>& RefusedCases() {
  static const std::vector<RefusedCase> cases{
      {"interrupt controller", {}, [](PortIo& io) { io.outb(0x20, 0x11); }, "outb 20h: "},
      {"keyboard controller reset", {}, [](PortIo& io) { io.outb(0x64, 0xFE); }, "outb 64h: "},
      {"DMA page read", {}, [](PortIo& io) { (void)io.inb(0x81); }, "inb 81h: "},
      {"delay port read", {}, [](PortIo& io) { (void)io.inb(kIoDelayPort); }, "inb EBh: "},
      {"PCI reset register", {}, [](PortIo& io) { io.outb(0xCF9, 0x06); }, "outb CF9h: "},
      {"PCI address as a word", {}, [](PortIo& io) { io.outw(0xCF8, 0); }, "outw CF8h: "},
      {"disk controller drive select", {}, [](PortIo& io) { io.outb(0x1F6, 0xA0); }, "outb 1F6h"},
      {"disk controller cylinder",
       {},
       [](PortIo& io) { io.outb(0x1F5, 0); },
       "outb 1F5h: not a port the program uses"},
      {"disk controller status", {}, [](PortIo& io) { (void)io.inb(0x1F7); }, "inb 1F7h: "},
      {"PCI write moving the SMBus host",
       [](PortIo& io) { io.outl(kPciConfigAddress, PciConfigAddress(0, 7, 3, 0x90)); },
       [](PortIo& io) { io.outl(kPciConfigData, 0x1F01); }, "outl CFCh (PCI 0:7.3 register 90h)"},
      {"PCI byte write",
       [](PortIo& io) { io.outl(kPciConfigAddress, PciConfigAddress(0, 0, 0, 0x50)); },
       [](PortIo& io) { io.outb(kPciConfigData, 0); }, "outb CFCh"},
      {"Super-I/O base register write", [](PortIo& io) { io.outb(0x2E, 0x60); },
       [](PortIo& io) { io.outb(0x2F, 0x01); }, "outb 2Fh: Super-I/O register 60h"},
      {"SMBus start outside a transaction",
       {},
       [](PortIo& io) { io.outb(kSmbBase + 2, 0x48); },
       "outb 5002h: "},
      {"SMBus write to an SPD EEPROM",
       {},
       [](PortIo& io) { SMBwtb(io, kPiix4, kSmbBase, 0x51, 0x00, 0x12); },
       "SMBus write to 51h at 5000h: a memory module"},
      {"SMBus host elsewhere",
       {},
       [](PortIo& io) { (void)SMBrdb(io, kPiix4, 0x1F0, 0x2D, 0); },
       "SMBus read of 2Dh at 1F0h: not the SMBus host"},
  };
  return cases;
}

TEST(PortPolicy, RefusesWhatTheProgramNeverDoesAndLeavesTheMachineAlone) {
  for (const RefusedCase& c : RefusedCases()) {
    SCOPED_TRACE(c.name);
    const auto board = Board("demo");
    sim::SimMachine& m = board->machine();
    test::RegisterSlave spd;
    spd.regs[0] = 0x80;
    board->smbus().attach(0x51, &spd);
    const uint32_t smbBaseReg = PCIcfg_rdd(m, 0, 7, 3, 0x90);
    PolicedPorts ports(m);
    if (c.setUp) c.setUp(ports);
    const uint64_t transactions = board->smbus().transactions();
    m.startTrace(true);
    c.refused(ports);
    // Only the policy's own configuration reads write, and they put CF8h back.
    for (const sim::TraceEntry& e : m.trace()) {
      if (e.dir == sim::TraceEntry::Dir::Out && e.port != kPciConfigAddress && e.port != 0xEB) {
        ADD_FAILURE() << sim::ToString(e);
      }
    }
    m.stopTrace();
    EXPECT_EQ(board->smbus().transactions(), transactions);
    EXPECT_EQ(spd.regs[0], 0x80);
    EXPECT_EQ(PCIcfg_rdd(m, 0, 7, 3, 0x90), smbBaseReg);
    const std::vector<std::string> lines = ports.takeRefusals();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with(c.line)) << lines[0];
  }
}

}  // namespace
}  // namespace kev::ports
