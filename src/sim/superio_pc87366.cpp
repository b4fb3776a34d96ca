#include <algorithm>
#include <cmath>
#include <vector>

#include "sim/superio.h"

namespace kev::sim {

namespace {

constexpr uint8_t kSid = 0xE9;  // register 20h: PC87366
constexpr uint8_t kSrid = 0x27;
constexpr uint8_t kRegSrid = 0x27;
constexpr uint16_t kWindowSize = 0x10;

// Fan speed monitor: per fan n, count at 07h + 3n, status/control at
// 08h + 3n (bits 6-5 clock divisor 2^field, bit 0 monitoring enabled).
constexpr uint8_t kFsmFirstCount = 0x07;
constexpr uint8_t kFsmStride = 3;
constexpr uint8_t kFsmDivShift = 5;
constexpr uint8_t kFsmDivMask = 0x03;
constexpr uint8_t kFsmStatusPowerOn = 0x01;  // divisor 1, enabled by the BIOS
constexpr double kFsmClockHz = 8000;         // 480000 counts per minute

// Voltage and temperature modules: 08h configuration, 09h channel select,
// 0Ah-0Fh the selected channel (0Ah status with bit 0 enable, 0Bh value).
constexpr uint8_t kRegChannelSelect = 0x09;
constexpr uint8_t kFirstChannelReg = 0x0A;
constexpr uint8_t kRegChannelStatus = 0x0A;
constexpr uint8_t kRegChannelValue = 0x0B;
constexpr uint8_t kChannelEnable = 0x01;
constexpr int kVlmChannels = 14;
constexpr int kTmsChannels = 3;
constexpr double kVlmFullScaleVolts = 3.0;

uint8_t ClampByte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

uint8_t SignedByte(double c) {
  return static_cast<uint8_t>(static_cast<int8_t>(std::clamp(std::lround(c), -128L, 127L)));
}

}  // namespace

// Only the channel enable bit gates conversion; the module configuration
// register 08h is kept as written (its meaning is not documented here).
struct Pc87366::Module {
  bool temperature;
  int channels;
  std::array<uint8_t, kFirstChannelReg> regs{};
  std::vector<std::array<uint8_t, 6>> chan;
  Module(bool temp, int n) : temperature(temp), channels(n), chan(static_cast<size_t>(n)) {
    for (auto& c : chan) c[0] = kChannelEnable;
  }
  int selected() const { return regs[kRegChannelSelect]; }
};

Pc87366::Pc87366(SimMachine& m, uint16_t port, Bases bases)
    : SuperIo(m, port, {}),
      HwmonInputs(m.clock()),
      vlm_(std::make_unique<Module>(false, kVlmChannels)),
      tms_(std::make_unique<Module>(true, kTmsChannels)) {
  setGlobal(sio::kRegChipId, kSid);
  setGlobal(kRegSrid, kSrid);
  for (int n = 0; n < 3; ++n) fsm_[kFsmFirstCount + kFsmStride * n + 1] = kFsmStatusPowerOn;
  fsmWin_ = std::make_unique<LdnWindow>(
      m, kWindowSize, [this](uint16_t o) { return fsmRead(o); },
      [this](uint16_t o, uint8_t v) { fsmWrite(o, v); });
  vlmWin_ = std::make_unique<LdnWindow>(
      m, kWindowSize, [this](uint16_t o) { return moduleRead(*vlm_, o); },
      [this](uint16_t o, uint8_t v) { moduleWrite(*vlm_, o, v); });
  tmsWin_ = std::make_unique<LdnWindow>(
      m, kWindowSize, [this](uint16_t o) { return moduleRead(*tms_, o); },
      [this](uint16_t o, uint8_t v) { moduleWrite(*tms_, o, v); });
  setLdnResources(kLdnFsm, bases.fsm, true);
  setLdnResources(kLdnVlm, bases.vlm, true);
  setLdnResources(kLdnTms, bases.tms, true);
}

Pc87366::~Pc87366() = default;

void Pc87366::onResources(uint8_t ldn) {
  LdnWindow* w = ldn == kLdnFsm   ? fsmWin_.get()
                 : ldn == kLdnVlm ? vlmWin_.get()
                 : ldn == kLdnTms ? tmsWin_.get()
                                  : nullptr;
  if (w) w->place(ldnBase(ldn), ldnActive(ldn));
}

uint8_t Pc87366::fsmRead(uint16_t off) {
  if (vanished()) return 0xFF;
  const int rel = off - kFsmFirstCount;
  if (rel >= 0 && rel % kFsmStride == 0 && rel / kFsmStride < 3) {
    const int n = rel / kFsmStride;
    const int div = 1 << ((fsm_[off + 1] >> kFsmDivShift) & kFsmDivMask);
    fsm_[off] = static_cast<uint8_t>(TachCount(fan(n), fan(n).rpm.at(nowMs()), kFsmClockHz, div));
  }
  return fsmImage_.read(0, off & 0x0F, fsm_[off & 0x0F]);
}

void Pc87366::fsmWrite(uint16_t off, uint8_t v) {
  if (vanished()) return;
  const int rel = off - kFsmFirstCount;
  if (rel >= 0 && rel % kFsmStride == 0) return;  // counts are read-only
  fsm_[off & 0x0F] = v;
}

uint8_t Pc87366::measure(const Module& mod, int channel) const {
  if (mod.temperature) return SignedByte(tempC(channel));
  const VoltInput& in = volt(channel);
  const double v = voltValue(channel);
  return in.raw ? ClampByte(v) : ClampByte(v / kVlmFullScaleVolts * 256);
}

uint8_t Pc87366::moduleRead(Module& mod, uint16_t off) {
  if (vanished()) return 0xFF;
  const RegisterImage& image = mod.temperature ? tmsImage_ : vlmImage_;
  const auto reg = static_cast<uint8_t>(off);
  if (off < kFirstChannelReg) return image.read(0, reg, mod.regs[off]);
  const int ch = mod.selected();
  if (ch >= mod.channels) return 0xFF;
  auto& c = mod.chan[static_cast<size_t>(ch)];
  if (off == kRegChannelValue && (c[kRegChannelStatus - kFirstChannelReg] & kChannelEnable))
    c[kRegChannelValue - kFirstChannelReg] = measure(mod, ch);
  return image.read(ch, reg, c[off - kFirstChannelReg]);
}

void Pc87366::setImageReg(Block block, int bank, uint8_t offset, std::optional<uint8_t> value) {
  offset &= 0x0F;
  if (block == Block::Fsm) {
    const int rel = offset - kFsmFirstCount;
    const bool count = rel >= 0 && rel % kFsmStride == 0 && rel / kFsmStride < 3;
    if (!value || count) fsmImage_.hold(0, offset, value);
    if (value) fsm_[offset] = *value;
    return;
  }
  Module& mod = block == Block::Vlm ? *vlm_ : *tms_;
  RegisterImage& image = block == Block::Vlm ? vlmImage_ : tmsImage_;
  const bool channelReg = offset >= kFirstChannelReg;
  const int key = channelReg ? bank : 0;
  if (!value || offset == kRegChannelValue) image.hold(key, offset, value);
  if (!value || (channelReg && bank >= mod.channels)) return;
  if (channelReg)
    mod.chan[static_cast<size_t>(bank)][offset - kFirstChannelReg] = *value;
  else if (offset != kRegChannelSelect)  // the dump's own bank selection
    mod.regs[offset] = *value;
}

void Pc87366::moduleWrite(Module& mod, uint16_t off, uint8_t v) {
  if (vanished()) return;
  if (off < kFirstChannelReg) {
    mod.regs[off] = v;
    return;
  }
  const int ch = mod.selected();
  if (ch >= mod.channels || off == kRegChannelValue) return;
  mod.chan[static_cast<size_t>(ch)][off - kFirstChannelReg] = v;
}

uint8_t Pc87366::vlmChannelReg(int channel, uint8_t reg) const {
  return vlm_->chan.at(static_cast<size_t>(channel)).at(reg - kFirstChannelReg);
}

uint8_t Pc87366::tmsChannelReg(int channel, uint8_t reg) const {
  return tms_->chan.at(static_cast<size_t>(channel)).at(reg - kFirstChannelReg);
}

}  // namespace kev::sim
