// The SMBus through the kernel's adapter driver: every catalogue board reads,
// profiles and reports the same as through the host's ports, without one
// access to the host's ports; an address a kernel driver holds is not used;
// an adapter error is a failed read.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>

#include "board_runs.h"
#include "hw/lent_ports.h"
#include "hw/usmbus.h"
#include "ports/kernel_smbus.h"
#include "sim/smbus.h"

namespace kev::ports {
namespace {

// /dev/i2c-N over the simulated bus: words as the kernel has them.
class SimI2cNode : public I2cNode {
 public:
  SimI2cNode(sim::SmbusBus& bus, std::set<uint8_t> held, int failWith = 0)
      : bus_(bus), held_(std::move(held)), failWith_(failWith) {}
  int selectSlave(uint8_t address) override {
    if (held_.count(address) != 0) return EBUSY;
    slave_ = address;
    return 0;
  }
  int transfer(bool read, uint8_t command, Size size, uint16_t& word) override {
    if (failWith_ != 0) return failWith_;
    sim::SmbusResult r{};
    if (size == Size::ByteData) {
      uint8_t byte = static_cast<uint8_t>(word);
      r = read ? bus_.readByte(slave_, command, byte) : bus_.writeByte(slave_, command, byte);
      word = byte;
    } else {
      uint16_t first = static_cast<uint16_t>(word >> 8 | (word & 0xFF) << 8);
      r = read ? bus_.readWord(slave_, command, first) : bus_.writeWord(slave_, command, first);
      word = static_cast<uint16_t>(first >> 8 | (first & 0xFF) << 8);
    }
    return r == sim::SmbusResult::Ok ? 0 : ENXIO;
  }

 private:
  sim::SmbusBus& bus_;
  std::set<uint8_t> held_;
  int failWith_;
  uint8_t slave_ = 0;
};

// The program's ports with the SMBus through the adapter, as the helper has them.
class ThroughKernel : public kev::test::LentPorts {
 public:
  ThroughKernel(sim::SimBoard& board, std::set<uint8_t> held, int failWith = 0)
      : LentPorts(board.machine()),
        machine_(board.machine()),
        adapter_(std::make_unique<SimI2cNode>(board.smbus(), std::move(held), failWith)) {}
  void runOps(std::span<const HwOp> ops, std::span<uint32_t> results) override {
    for (size_t i = 0; i < ops.size(); ++i) results[i] = RunOnPorts(machine_, ops[i], &adapter_);
  }
  const KernelSmbus& adapter() const { return adapter_; }

 private:
  PortIo& machine_;
  KernelSmbus adapter_;
};

TEST(KernelSmbus, EveryCatalogueBoardReadsAsThroughTheHostsPorts) {
  for (const std::string& name : sim::CatalogueBoardNames()) {
    SCOPED_TRACE(name);
    const auto direct = sim::LoadCatalogueBoard(name).take();
    const auto kernel = sim::LoadCatalogueBoard(name).take();
    EnableIchSmbus(kernel->machine());
    const PmDevice pm = ScanPmDevice(kernel->machine());
    ThroughKernel io(*kernel, {});
    kernel->machine().startTrace(true);
    EXPECT_EQ(kev::test::DetectAndTick(kernel.get(), io, 0, true),
              kev::test::DetectAndTick(direct.get(), direct->machine(), 0, true));
    if (pm.SmbBase == -1) continue;
    const auto base = static_cast<uint32_t>(pm.SmbBase);
    for (const sim::TraceEntry& e : kernel->machine().trace()) {
      EXPECT_FALSE(e.port >= base &&
                   e.port < base + SmbusHostSpan(static_cast<uint32_t>(pm.VendorDevice)))
          << sim::ToString(e);
    }
  }
}

TEST(KernelSmbus, AHeldAddressIsNotUsedAndAnAdapterErrorIsAFailedRead) {
  // The demo board's W83782D also answers at 2Dh on the SMBus; held by a
  // kernel driver there, the program finds it on the ISA bus alone, as if
  // it did not answer on the SMBus.
  const auto held = sim::LoadCatalogueBoard("demo").take();
  const auto absent = sim::LoadCatalogueBoard("demo").take();
  absent->smbus().detach(0x2D);
  ThroughKernel io(*held, {0x2D});
  EXPECT_EQ(kev::test::DetectAndTick(held.get(), io, 0, false),
            kev::test::DetectAndTick(absent.get(), absent->machine(), 0, false));
  EXPECT_EQ(io.adapter().held(), std::set<uint8_t>{0x2D});

  const auto failing = sim::LoadCatalogueBoard("demo").take();
  ThroughKernel broken(*failing, {}, EIO);
  EXPECT_EQ(SMBrdb(broken, 0x71138086, 0x5000, 0x4F, 0x00), -1);
  EXPECT_EQ(SMBwtb(broken, 0x71138086, 0x5000, 0x2D, 0x40, 0x01), -1);
}

}  // namespace
}  // namespace kev::ports
