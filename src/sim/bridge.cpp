#include "sim/bridge.h"

#include <array>

namespace kev::sim {

namespace {

constexpr uint16_t kIntel = 0x8086;
constexpr uint16_t kAmd = 0x1022;
constexpr uint16_t kVia = 0x1106;
constexpr uint16_t kSis = 0x1039;
constexpr uint16_t kAli = 0x10B9;

// Configuration registers common to every function.
constexpr uint8_t kRegCommand = 0x04;
constexpr uint8_t kRegHeaderType = 0x0E;
constexpr uint8_t kMultiFunction = 0x80;
constexpr uint8_t kCommandIoEnable = 0x01;

// Registers the south bridges' SMBus and PM set-up lives in.
constexpr uint8_t kPiix4PmBase = 0x40;      // PMBA: PM I/O block
constexpr uint8_t kPiix4SmbHostCfg = 0xD2;  // bit 0: SMBus host enabled
constexpr uint8_t kViaPmBase = 0x48;
constexpr uint8_t kViaMonitorBase = 0x70;
constexpr uint8_t kViaMonitorEnable = 0x74;
constexpr uint8_t kIchFunctionDisable = 0xF2;  // bit 3: SMBus function hidden
constexpr uint8_t kIchSmbusHidden = 0x08;
constexpr uint8_t kIchHostCfg = 0x40;  // HOSTC: bit 0 host enabled
constexpr uint8_t kSis5595MonitorBase = 0x68;
constexpr uint8_t kSis630PmEnable = 0x40;  // bit 7: PM I/O space decoded
constexpr uint8_t kSis630PmEnableBit = 0x80;
constexpr uint8_t kSis630PmBase = 0x74;
constexpr uint16_t kSis630SwitchOffset = 0x3A;  // 16-bit GPIO word in PM space
constexpr uint16_t kSis630HostOffset = 0x80;
constexpr uint16_t kSis630HostSize = 0x10;
constexpr uint8_t kAliSmbBase = 0xE0;  // high word
constexpr uint8_t kAliSwitchReg = 0xB8;

// The PM I/O offsets of the GPIO output bytes board switches drive.
constexpr uint16_t kPiix4GpoOffset = 0x37;
constexpr uint16_t kViaGpoOffset = 0x4D;

enum class Family : uint8_t { Piix4, Ich, Amd, Via596, Via686, Via823x, Sis5595, Sis630, Ali };

// One PCI function of a south bridge besides its PM/SMBus function.
struct Companion {
  uint8_t function;
  uint16_t device;
};

// How a kind is told from the kind listed before it with the same PM
// function, as the parts themselves are.
enum class Told : uint8_t {
  ByPmFunction,  // no kind before it has its PM function
  ByRevision,    // the bits of its usual revision are set
  ByFunction0,   // its function 0 carries its own identifier
};

struct SouthModel {
  const char* kind;
  Family family;
  uint16_t vendor;
  uint16_t pmDevice;  // PCI device ID of the function holding the SMBus base
  uint8_t revision;
  uint8_t slot;        // PCI device number
  uint8_t pmFunction;  // function number of the PM/SMBus function
  uint8_t baseReg;     // where the SMBus base is read from
  SmbusHostFamily host;
  uint16_t gpoOffset;               // board-switch GPIO byte in PM I/O; 0: none
  std::array<Companion, 3> others;  // device 0 = unused
  Told told = Told::ByPmFunction;
};

constexpr auto kPiix4Host = SmbusHostFamily::Piix4;

// The simulated parts. Detection keeps its own table of the same chips
// (detect/pm_device.cpp) on purpose: the models must not share the program's
// table, so that tests of detection against them check the one by the other.
// Revisions: PIIX4E has bit 1 set, VT82C686B bit 6.
// clang-format off
constexpr std::array<SouthModel, 20> kSouthBridges{{
    {"PIIX4", Family::Piix4, kIntel, 0x7113, 0x01, 7, 3, 0x90, kPiix4Host, kPiix4GpoOffset,
     {{{0, 0x7110}, {1, 0x7111}, {2, 0x7112}}}},
    {"PIIX4E", Family::Piix4, kIntel, 0x7113, 0x02, 7, 3, 0x90, kPiix4Host, kPiix4GpoOffset,
     {{{0, 0x7110}, {1, 0x7111}, {2, 0x7112}}}, Told::ByRevision},
    {"ICH", Family::Ich, kIntel, 0x2413, 0x02, 31, 3, 0x20, kPiix4Host, 0,
     {{{0, 0x2410}, {1, 0x2411}, {2, 0x2412}}}},
    {"ICH0", Family::Ich, kIntel, 0x2423, 0x02, 31, 3, 0x20, kPiix4Host, 0,
     {{{0, 0x2420}, {1, 0x2421}, {2, 0x2422}}}},
    {"ICH2", Family::Ich, kIntel, 0x2443, 0x05, 31, 3, 0x20, kPiix4Host, 0,
     {{{0, 0x2440}, {1, 0x244B}, {2, 0x2442}}}},
    {"ICH2-M", Family::Ich, kIntel, 0x2443, 0x03, 31, 3, 0x20, kPiix4Host, 0,
     {{{0, 0x244C}, {1, 0x244A}, {2, 0x2442}}}, Told::ByFunction0},
    {"ICH3-M", Family::Ich, kIntel, 0x2483, 0x02, 31, 3, 0x20, kPiix4Host, 0,
     {{{0, 0x248C}, {1, 0x248A}, {2, 0x2482}}}},
    {"AMD-756", Family::Amd, kAmd, 0x740B, 0x03, 7, 3, 0x58, SmbusHostFamily::Amd, 0,
     {{{0, 0x7408}, {1, 0x7409}, {0, 0}}}},
    {"AMD-766", Family::Amd, kAmd, 0x7413, 0x02, 7, 3, 0x58, SmbusHostFamily::Amd, 0,
     {{{0, 0x7410}, {1, 0x7411}, {0, 0}}}},
    {"AMD-768", Family::Amd, kAmd, 0x7443, 0x05, 7, 3, 0x58, SmbusHostFamily::Amd, 0,
     {{{0, 0x7440}, {1, 0x7441}, {0, 0}}}},
    {"VT82C596B", Family::Via596, kVia, 0x3050, 0x30, 7, 3, 0x90, kPiix4Host, kViaGpoOffset,
     {{{0, 0x0596}, {1, 0x0571}, {2, 0x3038}}}},
    {"VT82C596B-3051", Family::Via596, kVia, 0x3051, 0x30, 7, 3, 0x90, kPiix4Host, kViaGpoOffset,
     {{{0, 0x0596}, {1, 0x0571}, {2, 0x3038}}}},
    {"VT82C686A", Family::Via686, kVia, 0x3057, 0x20, 7, 4, 0x90, kPiix4Host, kViaGpoOffset,
     {{{0, 0x0686}, {1, 0x0571}, {2, 0x3038}}}},
    {"VT82C686B", Family::Via686, kVia, 0x3057, 0x40, 7, 4, 0x90, kPiix4Host, kViaGpoOffset,
     {{{0, 0x0686}, {1, 0x0571}, {2, 0x3038}}}, Told::ByRevision},
    // The VT8231's ISA function (8231h) is left out: its identifier equals
    // the VT8233 PM entry, so the board would show as a VT8233 instead.
    {"VT8231", Family::Via686, kVia, 0x8235, 0x10, 17, 4, 0x90, kPiix4Host, 0,
     {{{1, 0x0571}, {2, 0x3038}, {0, 0}}}},
    {"VT8233", Family::Via823x, kVia, 0x8231, 0x00, 17, 0, 0xB0, kPiix4Host, 0,
     {{{1, 0x0571}, {2, 0x3038}, {0, 0}}}},
    {"VT8233C", Family::Via823x, kVia, 0x3074, 0x00, 17, 0, 0xD0, kPiix4Host, 0,
     {{{1, 0x0571}, {2, 0x3038}, {0, 0}}}},
    {"SiS5595", Family::Sis5595, kSis, 0x0008, 0x81, 1, 0, 0x90, SmbusHostFamily::Sis5595, 0,
     {{{1, 0x0009}, {0, 0}, {0, 0}}}},
    {"SiS630", Family::Sis630, kSis, 0x0630, 0x31, 0, 0, kSis630PmBase, SmbusHostFamily::Sis630, 0,
     {{{0, 0}, {0, 0}, {0, 0}}}},
    {"M1535D+", Family::Ali, kAli, 0x7101, 0x00, 17, 0, kAliSmbBase, SmbusHostFamily::Ali, 0,
     {{{0, 0}, {0, 0}, {0, 0}}}},
}};
// clang-format on

const SouthModel* FindSouth(std::string_view kind) {
  for (const auto& m : kSouthBridges)
    if (kind == m.kind) return &m;
  return nullptr;
}

uint32_t PciId(uint16_t vendor, uint16_t device) { return vendor | uint32_t{device} << 16; }

// Whether what the machine shows tells this kind from the one before it.
bool TellsApart(const SouthModel& m, uint8_t revision, const PciIdAt& idAt) {
  switch (m.told) {
    case Told::ByRevision:
      return (revision & m.revision) == m.revision;
    case Told::ByFunction0:
      for (const Companion& c : m.others)
        if (c.device != 0 && c.function == 0) return idAt(m.slot, 0) == PciId(m.vendor, c.device);
      return false;
    case Told::ByPmFunction:
      break;
  }
  return false;
}

PciFunction& MakeFunction(SimBoard& board, uint8_t slot, uint8_t fn, uint16_t vendor,
                          uint16_t device, uint8_t revision) {
  auto& f = board.make<PciFunction>(vendor, device, revision);
  f.set8(kRegCommand, kCommandIoEnable);
  f.setWritable(kRegCommand, 0xFF);
  board.attachPci(slot, fn, f);
  return f;
}

// An I/O base register: the base with the I/O-space indicator bit 0.
void SetIoBase(PciFunction& f, uint8_t reg, uint16_t base) {
  f.set16(reg, static_cast<uint16_t>(base | 1));
}

void AddGpoLatch(SimBoard& board, uint16_t port) {
  board.machine().map(port, 1, &board.machine().own<ByteLatch>());
}

// ICH: the LPC bridge's function-disable bit hides the SMBus function.
void SetUpIch(PciFunction& lpc, PciFunction& smbus, bool hidden) {
  lpc.set8(kIchFunctionDisable, hidden ? kIchSmbusHidden : 0);
  lpc.setWritable(kIchFunctionDisable, 0xFF);
  lpc.setWritable(kIchFunctionDisable + 1, 0xFF);
  smbus.setHidden(hidden);
  lpc.onWrite([&smbus](uint8_t offset, uint8_t, uint8_t now) {
    if (offset == kIchFunctionDisable) smbus.setHidden((now & kIchSmbusHidden) != 0);
  });
  smbus.set8(kIchHostCfg, 1);
}

// SiS 630: the PM I/O block (SMBus host, switch word) decodes only while
// device 1 register 40h bit 7 is set.
void SetUpSis630(SimBoard& board, const SouthBridgeSetup& s, SouthBridge& sb) {
  auto& lpc = MakeFunction(board, 1, 0, kSis, 0x0008, 0xB1);
  MakeFunction(board, 1, 1, kSis, 0x5513, 0xD0);
  lpc.set8(kRegHeaderType, kMultiFunction);
  lpc.set8(kSis630PmEnable, s.pmEnabled ? kSis630PmEnableBit : 0);
  lpc.setWritable(kSis630PmEnable, kSis630PmEnableBit);
  SetIoBase(lpc, kSis630PmBase, s.smbusBase);
  sb.monitor = &lpc;
  SimMachine& m = board.machine();
  SmbusHost* host = sb.host;
  const uint16_t sw = static_cast<uint16_t>(s.smbusBase + kSis630SwitchOffset);
  auto& word = m.own<WordLatch>(sw, 0);
  auto decode = [&m, host, &word, sw](bool on) {
    m.unmap(host);
    m.unmap(&word);
    if (!on) return;
    m.map(static_cast<uint16_t>(host->base() + kSis630HostOffset), kSis630HostSize, host);
    m.map(sw, 2, &word);
  };
  decode(s.pmEnabled);
  lpc.onWrite([decode](uint8_t offset, uint8_t, uint8_t now) {
    if (offset == kSis630PmEnable) decode((now & kSis630PmEnableBit) != 0);
  });
}

void SetUpFamily(SimBoard& board, const SouthModel& model, const SouthBridgeSetup& s,
                 SouthBridge& sb) {
  PciFunction& pm = *sb.pm;
  switch (model.family) {
    case Family::Piix4:
      SetIoBase(pm, kPiix4PmBase, s.pmIoBase);
      pm.set8(kPiix4SmbHostCfg, 1);
      break;
    case Family::Ich:
      SetUpIch(*board.pci().find(0, model.slot, 0), pm, s.smbusHidden);
      break;
    case Family::Via686:
      SetIoBase(pm, kViaMonitorBase, s.monitorBase);
      pm.set8(kViaMonitorEnable, s.monitorEnabled ? 1 : 0);
      pm.setWritable(kViaMonitorBase, 0x80);
      pm.setWritable(kViaMonitorBase + 1, 0xFF);
      pm.setWritable(kViaMonitorEnable, 0x01);
      sb.monitor = &pm;
      [[fallthrough]];
    case Family::Via596:
      SetIoBase(pm, kViaPmBase, s.pmIoBase);
      break;
    case Family::Sis5595:
      SetIoBase(pm, kSis5595MonitorBase, s.monitorBase);
      sb.monitor = &pm;
      break;
    case Family::Sis630:
      SetUpSis630(board, s, sb);
      break;
    case Family::Ali:
      pm.setWritableRange(kAliSwitchReg, kAliSwitchReg + 3);
      MakeFunction(board, 7, 0, kAli, 0x1533, 0xC3);
      break;
    case Family::Amd:
    case Family::Via823x:
      break;
  }
}

}  // namespace

uint8_t WordLatch::ioRead8(uint16_t port) {
  return static_cast<uint8_t>(port == port_ ? value_ : value_ >> 8);
}

void WordLatch::ioWrite8(uint16_t port, uint8_t v) {
  value_ = port == port_ ? static_cast<uint16_t>((value_ & 0xFF00) | v)
                         : static_cast<uint16_t>((value_ & 0x00FF) | (v << 8));
}

bool IsSouthBridgeKind(std::string_view kind) { return FindSouth(kind) != nullptr; }

std::vector<std::string> SouthBridgeKinds() {
  std::vector<std::string> out;
  for (const auto& m : kSouthBridges) out.emplace_back(m.kind);
  return out;
}

std::optional<std::string> SouthBridgeKindOf(uint32_t pmId, uint8_t revision, const PciIdAt& idAt) {
  const SouthModel* found = nullptr;
  for (const auto& m : kSouthBridges) {
    if (PciId(m.vendor, m.pmDevice) != pmId) continue;
    if (found == nullptr || TellsApart(m, revision, idAt)) found = &m;
  }
  if (found == nullptr) return std::nullopt;
  return found->kind;
}

SouthBridge AddSouthBridge(SimBoard& board, const SouthBridgeSetup& s) {
  SouthBridge sb;
  const SouthModel* model = FindSouth(s.kind);
  if (!model) return sb;
  for (const Companion& c : model->others)
    if (c.device != 0) MakeFunction(board, model->slot, c.function, model->vendor, c.device, 0x01);
  const uint8_t rev = s.revision.value_or(model->revision);
  // SiS 630: the single-chip host bridge at device 0 carries the identifier.
  PciFunction& pm =
      MakeFunction(board, model->slot, model->pmFunction, model->vendor, model->pmDevice, rev);
  if (PciFunction* f0 = board.pci().find(0, model->slot, 0))
    f0->set8(kRegHeaderType, kMultiFunction);
  sb.pm = &pm;
  const bool highWord = model->family == Family::Ali;
  if (highWord)
    pm.set32(model->baseReg, static_cast<uint32_t>(s.smbusBase | 1) << 16);
  else if (model->family != Family::Sis630)
    SetIoBase(pm, model->baseReg, s.smbusBase);
  sb.host = &AddSmbusHost(board.machine(), model->host, s.smbusBase, board.smbus());
  board.setSmbusHost(sb.host);
  SetUpFamily(board, *model, s, sb);
  if (model->gpoOffset != 0)
    AddGpoLatch(board, static_cast<uint16_t>(s.pmIoBase + model->gpoOffset));
  return sb;
}

}  // namespace kev::sim
