#include "hw/usmbus.h"

#include <algorithm>
#include <array>

#include "hw/upcicfg.h"

namespace kev {

namespace {

// A register write the host takes as its reset.
struct RegWrite {
  uint8_t reg;
  uint8_t value;
};

// One host-controller family: register numbers (offsets from the SMBus base,
// or SiS 5595 indices behind its index/data pair) and status masks.
struct HostFamily {
  bool indexed;
  uint8_t status, busyReg, protocol, start, address, command, data0, data1;
  uint8_t busyMask;               // in busyReg; the host is waited for while it is set
  uint8_t clearMask;              // status bits that must be clear before a start
  uint8_t idleMask;               // hosts that report idle instead (0: none)
  std::array<RegWrite, 2> reset;  // a value of 0 marks an unused entry
  uint8_t byteCode, wordCode;
  uint8_t startValue;  // written into start; 0: the protocol code starts
  uint8_t restartMask, finishedMask, successMask;
  bool restartOnWrites;
};

constexpr uint8_t kAliClearAll = 0xFF;

// clang-format off
constexpr HostFamily kPiix4{
    .indexed = false,
    .status = 0x00, .busyReg = 0x00, .protocol = 0x02, .start = 0x02,
    .address = 0x04, .command = 0x03, .data0 = 0x05, .data1 = 0x06,
    .busyMask = 0x01, .clearMask = 0x09, .idleMask = 0x00,
    .reset = {{{0x02, 0x02}, {0x00, 0x00}}},
    .byteCode = 0x48, .wordCode = 0x4C, .startValue = 0x00,
    .restartMask = 0x08, .finishedMask = 0x06, .successMask = 0x02,
    .restartOnWrites = false};

constexpr HostFamily kAli{
    .indexed = false,
    .status = 0x00, .busyReg = 0x00, .protocol = 0x01, .start = 0x02,
    .address = 0x03, .command = 0x07, .data0 = 0x04, .data1 = 0x05,
    .busyMask = 0x00, .clearMask = 0x00, .idleMask = 0x04,
    .reset = {{{0x01, 0x0C}, {0x00, kAliClearAll}}},
    .byteCode = 0x20, .wordCode = 0x30, .startValue = 0xFF,
    .restartMask = 0x80, .finishedMask = 0x50, .successMask = 0x10,
    .restartOnWrites = true};

constexpr HostFamily kSis630{
    .indexed = false,
    .status = 0x80, .busyReg = 0x82, .protocol = 0x83, .start = 0x83,
    .address = 0x84, .command = 0x85, .data0 = 0x88, .data1 = 0x89,
    .busyMask = 0x01, .clearMask = 0x04, .idleMask = 0x00,
    .reset = {{{0x83, 0x20}, {0x00, 0x00}}},
    .byteCode = 0x12, .wordCode = 0x13, .startValue = 0x00,
    .restartMask = 0x04, .finishedMask = 0x0A, .successMask = 0x08,
    .restartOnWrites = false};

constexpr HostFamily kSis5595{
    .indexed = true,
    .status = 0x00, .busyReg = 0x00, .protocol = 0x02, .start = 0x02,
    .address = 0x04, .command = 0x05, .data0 = 0x11, .data1 = 0x12,
    .busyMask = 0x02, .clearMask = 0x22, .idleMask = 0x00,
    .reset = {{{0x02, 0x20}, {0x00, 0x00}}},
    .byteCode = 0x14, .wordCode = 0x16, .startValue = 0x00,
    .restartMask = 0x20, .finishedMask = 0x50, .successMask = 0x40,
    .restartOnWrites = false};

constexpr HostFamily kAmd{
    .indexed = false,
    .status = 0xE0, .busyReg = 0xE0, .protocol = 0xE2, .start = 0xE2,
    .address = 0xE4, .command = 0xE8, .data0 = 0xE6, .data1 = 0xE7,
    .busyMask = 0x08, .clearMask = 0x0A, .idleMask = 0x00,
    .reset = {{{0xE2, 0x20}, {0x00, 0x00}}},
    .byteCode = 0x0A, .wordCode = 0x0B, .startValue = 0x00,
    .restartMask = 0x02, .finishedMask = 0x14, .successMask = 0x10,
    .restartOnWrites = false};
// clang-format on

struct FamilyById {
  uint32_t pmId;
  const HostFamily* family;
};

constexpr std::array<FamilyById, 6> kFamilyIds{{
    {0x710110B9, &kAli},      // ALi M7101
    {0x06301039, &kSis630},   // SiS 630
    {0x00081039, &kSis5595},  // SiS 5595
    {0x740B1022, &kAmd},      // AMD-756
    {0x74131022, &kAmd},      // AMD-766
    {0x74431022, &kAmd},      // AMD-768
}};

// SiS 5595: the host's registers sit behind this index/data pair.
constexpr uint32_t kSis5595IndexPort = 0x38;
constexpr uint32_t kSis5595DataPort = 0x39;

// Status reads one wait may take.
constexpr int kPollBudget = 8192;
// Attempts abandoned on a collision or abort are restarted at most this many
// times; a bus that keeps colliding must not stall the caller.
constexpr int kMaxRestarts = 3;
// A status read where no host decodes the ports.
constexpr uint8_t kNoHost = 0xFF;

constexpr int32_t kFailed = -1;

const HostFamily& FamilyOf(uint32_t pmId) {
  for (const FamilyById& f : kFamilyIds)
    if (f.pmId == pmId) return *f.family;
  return kPiix4;
}

// Highest port offset the family touches above its base.
uint32_t LastOffset(const HostFamily& f) {
  if (f.indexed) return kSis5595DataPort;
  return std::max(
      {f.status, f.busyReg, f.protocol, f.start, f.address, f.command, f.data0, f.data1});
}

// A base the BIOS never programmed (below the device ports), or one whose
// block would run past the port space and wrap onto system ports, is no host.
bool BaseUsable(const HostFamily& f, uint32_t base) {
  return base >= kFirstDevicePort && base <= kLastPort - LastOffset(f);
}

// Register access to one host; every port access is followed by two delays.
class Host {
 public:
  Host(PortIo& io, const HostFamily& f, uint32_t base) : io_(io), f_(f), base_(base) {}

  uint8_t read(uint8_t reg) {
    if (f_.indexed) {
      out(kSis5595IndexPort, reg);
      return in(kSis5595DataPort);
    }
    return in(reg);
  }

  void write(uint8_t reg, uint8_t value) {
    if (f_.indexed) {
      out(kSis5595IndexPort, reg);
      out(kSis5595DataPort, value);
    } else {
      out(reg, value);
    }
  }

  // The wait loop selects the status once and then reads only its port.
  void selectStatus() {
    if (f_.indexed) out(kSis5595IndexPort, f_.status);
  }
  uint8_t pollStatus() { return in(f_.indexed ? kSis5595DataPort : f_.status); }

  const HostFamily& family() const { return f_; }

 private:
  uint16_t port(uint32_t offset) const { return static_cast<uint16_t>(base_ + offset); }
  uint8_t in(uint32_t offset) {
    const uint8_t v = io_.inb(port(offset));
    delays();
    return v;
  }
  void out(uint32_t offset, uint8_t value) {
    io_.outb(port(offset), value);
    delays();
  }
  void delays() {
    IoDelay(io_);
    IoDelay(io_);
  }

  PortIo& io_;
  const HostFamily& f_;
  uint32_t base_;
};

void ResetHost(Host& h) {
  for (const RegWrite& w : h.family().reset)
    if (w.value != 0) h.write(w.reg, w.value);
}

enum class Idle { Ready, Waiting, Stuck, Absent };

// One look at the host: ready for a start, worth waiting for, latched an
// error, or not there at all.
Idle CheckIdle(Host& h) {
  const HostFamily& f = h.family();
  if (f.idleMask != 0) {
    h.write(f.status, kAliClearAll);
    const uint8_t status = h.read(f.status);
    if (status == kNoHost) return Idle::Absent;
    return (status & f.idleMask) != 0 ? Idle::Ready : Idle::Waiting;
  }
  const uint8_t status = h.read(f.status);
  if (status == kNoHost) return Idle::Absent;
  // Writing the status back clears its latched bits.
  h.write(f.status, status);
  uint8_t busyBits = status;
  if (f.busyReg != f.status) {
    busyBits = h.read(f.busyReg);
    h.write(f.busyReg, busyBits);
  }
  if ((busyBits & f.busyMask) != 0) return Idle::Waiting;
  return (status & f.clearMask) == 0 ? Idle::Ready : Idle::Stuck;
}

// Waits for the host to go idle; a host still busy after the budget, or one
// that latched an error, is reset and used anyway. False when no host
// answers at the base.
bool MakeIdle(Host& h) {
  for (int polls = 1;; ++polls) {
    const Idle idle = CheckIdle(h);
    if (idle == Idle::Ready) return true;
    if (idle == Idle::Absent) return false;
    if (idle == Idle::Stuck || polls >= kPollBudget) break;
  }
  ResetHost(h);
  return true;
}

void Issue(Host& h, const SmbusTransfer& t) {
  const HostFamily& f = h.family();
  const uint8_t code = t.word ? f.wordCode : f.byteCode;
  h.write(f.address, static_cast<uint8_t>(t.slave * 2 + (t.read ? 1 : 0)));
  if (f.startValue != 0) h.write(f.protocol, code);
  h.write(f.command, t.command);
  if (!t.read) {
    h.write(f.data0, static_cast<uint8_t>(t.word ? t.data >> 8 : t.data));
    if (t.word) h.write(f.data1, static_cast<uint8_t>(t.data));
  }
  h.write(f.start, f.startValue != 0 ? f.startValue : code);
}

enum class Outcome { Success, Failure, Restart };

Outcome WaitForEnd(Host& h, bool read) {
  const HostFamily& f = h.family();
  const bool restartable = read || f.restartOnWrites;
  h.selectStatus();
  uint8_t status = 0;
  for (int polls = 0; polls < kPollBudget; ++polls) {
    status = h.pollStatus();
    if (status == kNoHost) return Outcome::Failure;  // the host went away
    if (restartable && (status & f.restartMask)) return Outcome::Restart;
    if (status & f.finishedMask) break;
  }
  return (status & f.successMask) ? Outcome::Success : Outcome::Failure;
}

constexpr uint32_t kIdOffset = 0x00;
constexpr uint32_t kRevisionOffset = 0x08;
constexpr uint32_t kIoSpaceBit = 0x01;

}  // namespace

int32_t SmbusTransact(PortIo& io, uint32_t pmId, uint32_t base, const SmbusTransfer& t) {
  const HostFamily& f = FamilyOf(pmId);
  // A slave above 7Fh would wrap onto another address when shifted.
  if (!BaseUsable(f, base) || t.slave > kLastSlave) return kFailed;
  Host h(io, f, base);
  for (int restarts = 0; restarts <= kMaxRestarts; ++restarts) {
    if (!MakeIdle(h)) return kFailed;
    Issue(h, t);
    const Outcome outcome = WaitForEnd(h, t.read);
    if (outcome == Outcome::Restart) continue;
    if (outcome == Outcome::Failure) return kFailed;
    if (!t.read) return 0;
    const int32_t first = h.read(f.data0);
    return t.word ? first * 256 + h.read(f.data1) : first;
  }
  return kFailed;
}

uint32_t SmbusHostSpan(uint32_t pmId) { return LastOffset(FamilyOf(pmId)) + 1; }

namespace {

// No slave sits beyond 7Fh (an address never found, -1, among them): such
// a transfer fails without reaching the bus.
int32_t Transfer(PortIo& io, const HwOp& o) {
  return o.bank > kLastSlave ? -1 : static_cast<int32_t>(io.run(o));
}

}  // namespace

int32_t SMBrdb(PortIo& io, uint32_t pmId, uint32_t base, uint32_t slave, uint32_t command) {
  return Transfer(io, op::Smbus(pmId, base, true, false, slave, command, 0));
}

int32_t SMBrdw(PortIo& io, uint32_t pmId, uint32_t base, uint32_t slave, uint32_t command) {
  return Transfer(io, op::Smbus(pmId, base, true, true, slave, command, 0));
}

int32_t SMBwtb(PortIo& io, uint32_t pmId, uint32_t base, uint32_t slave, uint32_t command,
               uint32_t data) {
  return Transfer(io, op::Smbus(pmId, base, false, false, slave, command, data));
}

int32_t SMBwtw(PortIo& io, uint32_t pmId, uint32_t base, uint32_t slave, uint32_t command,
               uint32_t data) {
  return Transfer(io, op::Smbus(pmId, base, false, true, slave, command, data));
}

int32_t SMBrdb_banked(PortIo& io, uint32_t pmId, uint32_t base, uint32_t slave, uint32_t command,
                      uint32_t bank, bool restore) {
  return Transfer(io, op::SmbusBanked(pmId, base, slave, command, bank, restore));
}

uint32_t SMBrd_did(PortIo& io, uint32_t device, uint32_t function) {
  return PCIcfg_rdd(io, 0, device, function, kIdOffset);
}

uint32_t SMBrd_rid(PortIo& io, uint32_t device, uint32_t function) {
  return PCIcfg_rdb0(io, 0, device, function, kRevisionOffset);
}

uint32_t SMBrdwo_bad(PortIo& io, uint32_t device, uint32_t function, uint32_t offset) {
  return PCIcfg_rdwo(io, 0, device, function, offset) & ~kIoSpaceBit;
}

uint32_t SMBrdwe_bad(PortIo& io, uint32_t device, uint32_t function, uint32_t offset) {
  return PCIcfg_rdwe(io, 0, device, function, offset) & ~kIoSpaceBit;
}

}  // namespace kev
