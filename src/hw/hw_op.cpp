#include "hw/hw_op.h"

#include <algorithm>

#include "hw/port_sequences.h"
#include "hw/portio.h"
#include "hw/superio.h"
#include "hw/usmbus.h"
#include "hw/uwb_isa.h"

namespace kev {

namespace {

constexpr uint32_t kFailed = 0xFFFFFFFFu;
constexpr uint8_t kSmbusFlags = kSmbusRead | kSmbusWord;
constexpr auto kWbRegBankSelect = static_cast<uint8_t>(kWbIsaRegBankSelect);
constexpr auto kWbBankDefault = static_cast<uint8_t>(kWbIsaBankDefault);

uint16_t Port16(uint32_t port) { return static_cast<uint16_t>(port); }
uint8_t Byte(uint32_t v) { return static_cast<uint8_t>(v); }
// A slave beyond the byte stays beyond 7Fh, where it is refused.
uint8_t Slave(uint32_t slave) { return static_cast<uint8_t>(std::min<uint32_t>(slave, 0xFF)); }

SmbusTransfer TransferOf(const HwOp& o) {
  return {(o.unit & kSmbusRead) != 0, (o.unit & kSmbusWord) != 0, o.bank, o.reg, o.data};
}

// Through the kernel's adapter where it drives the bus, else the host's ports.
uint32_t Smbus(PortIo& io, SmbusAdapter* adapter, const HwOp& o, const SmbusTransfer& t) {
  return static_cast<uint32_t>(adapter != nullptr ? adapter->transfer(t)
                                                  : SmbusTransact(io, o.extra, o.port, t));
}

uint32_t ChipRead(PortIo& io, const HwOp& o) {
  switch (static_cast<ChipUnit>(o.unit)) {
    case ChipUnit::Ns:
      return seq::NsRead(io, o.port, o.reg);
    case ChipUnit::Wb:
      return seq::WbRead(io, o.port, o.reg, o.bank);
    case ChipUnit::Via:
      return seq::ViaRead(io, o.port, o.reg);
    case ChipUnit::Fsm:
      return seq::FsmRead(io, o.port, o.reg);
    case ChipUnit::Vlm:
    case ChipUnit::Tms:
      return seq::VlmRead(io, o.port, o.reg, o.bank);
  }
  return kFailed;
}

void ChipWrite(PortIo& io, const HwOp& o) {
  switch (static_cast<ChipUnit>(o.unit)) {
    case ChipUnit::Ns:
      return seq::NsWrite(io, o.port, o.reg, o.data);
    case ChipUnit::Wb:
      return seq::WbWrite(io, o.port, o.reg, o.bank, o.data);
    case ChipUnit::Via:
      return seq::ViaWrite(io, o.port, o.reg, o.data);
    case ChipUnit::Fsm:
      return seq::FsmWrite(io, o.port, o.reg, o.data);
    case ChipUnit::Vlm:
    case ChipUnit::Tms:
      return seq::VlmWrite(io, o.port, o.reg, o.bank, o.data);
  }
}

uint32_t SuperIoRead(PortIo& io, const HwOp& o) {
  if (static_cast<SuperIoKind>(o.unit) == SuperIoKind::Ite) return seq::IteRead(io, o.reg, o.bank);
  if (o.bank != kNoLdn) seq::ScrWrite(io, o.port, superio::kRegLdn, o.bank);
  return seq::ScrRead(io, o.port, o.reg);
}

void BoardSwitch(PortIo& io, const HwOp& o) {
  // The op carries the switch bits already masked: mask them again anyway.
  const uint32_t bits = SwitchBits(o);
  switch (static_cast<SwitchKind>(o.unit)) {
    case SwitchKind::Asms1:
      return seq::Asms1(io, o.value, o.extra, o.data, bits);
    case SwitchKind::Asms2:
      return seq::Asms2(io, o.value, o.extra, o.data, bits);
    case SwitchKind::Asms3:
    case SwitchKind::Asms4:
      return seq::Asms3(io, o.value, o.extra, o.data, bits);
    case SwitchKind::Asms5:
      return seq::Asms5(io, o.port, o.value, o.extra, o.data, bits);
    case SwitchKind::Asms6:
      return seq::Asms6(io, o.value, o.extra, o.data, bits);
  }
}

}  // namespace

uint32_t SwitchBits(const HwOp& o) { return (uint32_t{o.bank} << 8 | o.reg) & o.data; }

bool OpReads(const HwOp& o) {
  switch (o.code) {
    case OpCode::PciWrite:
    case OpCode::ChipWrite:
    case OpCode::SuperIoWrite:
    case OpCode::BoardSwitch:
      return false;
    default:
      return true;  // an SMBus write's result says whether it went through
  }
}

bool OpWellFormed(const HwOp& o) {
  switch (o.code) {
    case OpCode::PciRead:
    case OpCode::PciWrite:
      return o.unit < kPciLanes;
    case OpCode::ChipCheck:
      return true;
    case OpCode::ChipRead:
    case OpCode::ChipWrite:
      return o.unit < kChipUnits;
    case OpCode::SuperIoRead:
    case OpCode::SuperIoWrite:
      return o.unit <= static_cast<uint8_t>(SuperIoKind::Pc87366);
    case OpCode::SuperIoBase:
      return true;
    case OpCode::Smbus:
      return (o.unit & ~kSmbusFlags) == 0;
    case OpCode::SmbusBanked:
      return (o.unit & ~kSmbusRestore) == 0;
    case OpCode::BoardSwitch:
      return o.unit >= static_cast<uint8_t>(SwitchKind::Asms1) &&
             o.unit <= static_cast<uint8_t>(SwitchKind::Asms6);
  }
  return false;
}

uint32_t RunOnPorts(PortIo& io, const HwOp& o, SmbusAdapter* adapter) {
  if (!OpWellFormed(o)) return kFailed;
  switch (o.code) {
    case OpCode::PciRead:
      return seq::PciRead(io, o.value, o.unit);
    case OpCode::PciWrite:
      seq::PciWrite(io, o.value, o.unit, o.extra);
      return 0;
    case OpCode::ChipCheck:
      return seq::NsCheck(io, o.port);
    case OpCode::ChipRead:
      return ChipRead(io, o);
    case OpCode::ChipWrite:
      ChipWrite(io, o);
      return 0;
    case OpCode::SuperIoRead:
      return SuperIoRead(io, o);
    case OpCode::SuperIoWrite:
      if (static_cast<SuperIoKind>(o.unit) == SuperIoKind::Ite) {
        seq::IteWrite(io, o.reg, o.data);
      } else {
        seq::ScrWrite(io, o.port, o.reg, o.data);
      }
      return 0;
    case OpCode::SuperIoBase:
      return seq::PcBase(io, o.port, o.bank);
    case OpCode::Smbus:
      return Smbus(io, adapter, o, TransferOf(o));
    case OpCode::SmbusBanked: {
      Smbus(io, adapter, o, {false, false, o.bank, kWbRegBankSelect, o.data});
      const uint32_t v = Smbus(io, adapter, o, {true, false, o.bank, o.reg, 0});
      if ((o.unit & kSmbusRestore) != 0) {
        Smbus(io, adapter, o, {false, false, o.bank, kWbRegBankSelect, kWbBankDefault});
      }
      return v;
    }
    case OpCode::BoardSwitch:
      BoardSwitch(io, o);
      return 0;
  }
  return kFailed;
}

void PortIo::runOps(std::span<const HwOp> ops, std::span<uint32_t> results) {
  for (size_t i = 0; i < ops.size(); ++i) {
    const uint32_t r = RunOnPorts(*this, ops[i]);
    if (i < results.size()) results[i] = r;
  }
}

namespace op {

HwOp PciRead(PciLane lane, uint32_t address) {
  return {OpCode::PciRead, static_cast<uint8_t>(lane), 0, 0, 0, 0, address, 0};
}
HwOp PciWrite(PciLane lane, uint32_t address, uint32_t value) {
  return {OpCode::PciWrite, static_cast<uint8_t>(lane), 0, 0, 0, 0, address, value};
}
HwOp ChipCheck(uint32_t base) { return {OpCode::ChipCheck, 0, 0, 0, Port16(base), 0, 0, 0}; }
HwOp ChipRead(ChipUnit unit, uint32_t base, uint32_t reg, uint32_t bank) {
  return {
      OpCode::ChipRead, static_cast<uint8_t>(unit), Byte(reg), Byte(bank), Port16(base), 0, 0, 0};
}
HwOp ChipWrite(ChipUnit unit, uint32_t base, uint32_t reg, uint32_t bank, uint32_t value) {
  return {OpCode::ChipWrite,
          static_cast<uint8_t>(unit),
          Byte(reg),
          Byte(bank),
          Port16(base),
          Byte(value),
          0,
          0};
}
HwOp SuperIoRead(SuperIoKind kind, uint32_t port, uint32_t reg, uint8_t ldn) {
  return {OpCode::SuperIoRead, static_cast<uint8_t>(kind), Byte(reg), ldn, Port16(port), 0, 0, 0};
}
HwOp SuperIoWrite(SuperIoKind kind, uint32_t port, uint32_t reg, uint32_t value) {
  return {OpCode::SuperIoWrite,
          static_cast<uint8_t>(kind),
          Byte(reg),
          0,
          Port16(port),
          Byte(value),
          0,
          0};
}
HwOp SuperIoBase(uint32_t port, uint32_t ldn) {
  return {OpCode::SuperIoBase, 0, 0, Byte(ldn), Port16(port), 0, 0, 0};
}
HwOp Smbus(uint32_t pmId, uint32_t base, bool read, bool word, uint32_t slave, uint32_t command,
           uint32_t data) {
  const auto flags = static_cast<uint8_t>((read ? kSmbusRead : 0) | (word ? kSmbusWord : 0));
  return {OpCode::Smbus,
          flags,
          Byte(command),
          Slave(slave),
          Port16(base),
          static_cast<uint16_t>(data),
          0,
          pmId};
}
HwOp SmbusBanked(uint32_t pmId, uint32_t base, uint32_t slave, uint32_t command, uint32_t bank,
                 bool restore) {
  return {OpCode::SmbusBanked,
          static_cast<uint8_t>(restore ? kSmbusRestore : 0),
          Byte(command),
          Slave(slave),
          Port16(base),
          Byte(bank),
          0,
          pmId};
}
HwOp BoardSwitch(SwitchKind kind, uint32_t target, uint32_t keep, uint32_t mask, uint32_t value,
                 uint32_t smbBase) {
  const uint32_t bits = value & mask;
  return {OpCode::BoardSwitch, static_cast<uint8_t>(kind),  Byte(bits), Byte(bits >> 8),
          Port16(smbBase),     static_cast<uint16_t>(mask), target,     keep};
}

}  // namespace op

}  // namespace kev
