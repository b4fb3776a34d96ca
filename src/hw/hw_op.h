// Whole hardware operations: what the access units do, as data. Every unit
// call becomes one HwOp that a PortIo runs; the plain backends run it port by
// port here, the port helper runs it in its own process under its policy, so
// an index/data sequence is never split between two requests.
#pragma once

#include <cstdint>

namespace kev {

class PortIo;
class SmbusAdapter;

enum class OpCode : uint8_t {
  PciRead = 1,   // unit: PciLane; value: the CF8h address; result: the lane's value
  PciWrite,      // unit: PciLane; value: the address; extra: the value
  ChipCheck,     // port: an LM78-style pair's base; result: the index port's byte
  ChipRead,      // unit: ChipUnit; port: base; reg, bank; result: the byte
  ChipWrite,     // as ChipRead; data: the byte
  SuperIoRead,   // unit: SuperIoKind; port: index port; bank: ldn (kNoLdn); reg
  SuperIoWrite,  // as SuperIoRead without ldn; data: the byte
  SuperIoBase,   // PC87366: port, bank: ldn; result: the device's 16-bit base
  Smbus,         // unit: kSmbusRead/kSmbusWord; port: host base; bank: slave;
                 // reg: command; data: written; extra: PM device ID; result: SMBus result
  SmbusBanked,   // Winbond: bank := data through 4Eh, byte read of reg at slave bank;
                 // unit: kSmbusRestore puts bank 0 back; else as Smbus
  BoardSwitch,   // unit: SwitchKind; value: target; extra: keep; data: mask;
                 // reg, bank: the switch bits' low and high byte; port: SMBus base (kind 5)
};

enum class PciLane : uint8_t { Dword, LowWord, HighWord, Byte0, Byte1, Byte2, Byte3 };
inline constexpr uint8_t kPciLanes = 7;

// The chip register paths of the access units.
enum class ChipUnit : uint8_t {
  Ns,   // LM78-style ISA pair
  Wb,   // the pair with Winbond bank selection
  Via,  // VIA monitor window in I/O space
  Fsm,  // PC87366 fan-speed device
  Vlm,  // PC87366 voltage device (bank: channel)
  Tms,  // PC87366 temperature device (bank: channel)
};
inline constexpr uint8_t kChipUnits = 6;

enum class SuperIoKind : uint8_t { Ite, Pc87366 };
inline constexpr uint8_t kNoLdn = 0xFF;

enum class SwitchKind : uint8_t { Asms1 = 1, Asms2, Asms3, Asms4, Asms5, Asms6 };

inline constexpr uint8_t kSmbusRead = 0x01;
inline constexpr uint8_t kSmbusWord = 0x02;
inline constexpr uint8_t kSmbusRestore = 0x04;

// Fixed-size, no padding: the port helper's wire record as well.
struct HwOp {
  OpCode code = OpCode::PciRead;
  uint8_t unit = 0;
  uint8_t reg = 0;
  uint8_t bank = 0;
  uint16_t port = 0;
  uint16_t data = 0;
  uint32_t value = 0;
  uint32_t extra = 0;

  friend bool operator==(const HwOp&, const HwOp&) = default;
};
static_assert(sizeof(HwOp) == 16, "HwOp has no padding");

// A board switch op's switch bits, within its mask.
uint32_t SwitchBits(const HwOp& op);

// Whether an op reads something back; the others only change hardware.
bool OpReads(const HwOp& op);
// The op's fields are in range (known code and unit); a malformed op is
// never run.
bool OpWellFormed(const HwOp& op);

// Runs op as the access units' port sequence on ports, which must be a port
// backend (its run() the default): the sim, the real ports, a recorder.
// SMBus ops go through adapter instead when one is given: the kernel's
// adapter driver, which then drives the host.
uint32_t RunOnPorts(PortIo& ports, const HwOp& op, SmbusAdapter* adapter = nullptr);

namespace op {
HwOp PciRead(PciLane lane, uint32_t address);
HwOp PciWrite(PciLane lane, uint32_t address, uint32_t value);
HwOp ChipCheck(uint32_t base);
HwOp ChipRead(ChipUnit unit, uint32_t base, uint32_t reg, uint32_t bank);
HwOp ChipWrite(ChipUnit unit, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value);
HwOp SuperIoRead(SuperIoKind kind, uint32_t port, uint32_t reg, uint8_t ldn = kNoLdn);
HwOp SuperIoWrite(SuperIoKind kind, uint32_t port, uint32_t reg, uint32_t value);
HwOp SuperIoBase(uint32_t port, uint32_t ldn);
HwOp Smbus(uint32_t pmId, uint32_t base, bool read, bool word, uint32_t slave, uint32_t command,
           uint32_t data);
HwOp SmbusBanked(uint32_t pmId, uint32_t base, uint32_t slave, uint32_t command, uint32_t bank,
                 bool restore);
HwOp BoardSwitch(SwitchKind kind, uint32_t target, uint32_t keep, uint32_t mask, uint32_t value,
                 uint32_t smbBase);
}  // namespace op

}  // namespace kev
