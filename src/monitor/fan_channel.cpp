#include "monitor/fan_channel.h"

#include <array>

#include "monitor/chip_access.h"

namespace kev {

namespace {

constexpr int32_t kNoCount = 255;
constexpr int32_t kFanClock = 1350000;     // 22.5 kHz counter clock x 60 s
constexpr int32_t kFanClockSlow = 480000;  // 8 kHz counter clock x 60 s
constexpr uint8_t kRegFanCount = 0x28;     // LM78 / Winbond fan 1 count
constexpr uint8_t kRegFanCountIt = 0x0D;   // ITE fan 1 count
constexpr uint8_t kRegFanCountVia = 0x29;  // VIA fan 1 count
constexpr uint8_t kRegFanCountFsm = 0x07;  // PC87366 fan 1 count, 3 registers per fan
constexpr uint8_t kRegFanCountGl = 0x07;   // GL518SM/GL520SM fan 1 and 2 counts, one word
constexpr uint8_t kWbRegFanEnable = 0x4D;  // bits 0, 2, 4: counters of fans 1, 2, 3

// Where fan n's count sits: first register + stride * n, for fans below `fans`.
struct FanRoute {
  RegRead first;
  uint8_t stride = 1;
  uint8_t fans = 0;
};

struct FanRow {
  int32_t kind;
  FanRoute isa;
  FanRoute smb;
};

using namespace route;
constexpr FanRoute kNoFans{};

constexpr FanRoute kLmIsa{Ns(kRegFanCount), 1, 3};
constexpr FanRoute kLmSmb{Smb(kRegFanCount), 1, 3};
constexpr FanRoute kLm8xSmb{Smb(kRegFanCount), 1, 2};
constexpr FanRoute kWbIsa{WbIsa(kRegFanCount), 1, 3};
constexpr FanRoute kWbSmb{WbSmb(kRegFanCount), 1, 3};
constexpr FanRoute kItIsa{Ns(kRegFanCountIt), 1, 3};
constexpr FanRoute kItSmb{Smb(kRegFanCountIt), 1, 3};
constexpr FanRoute kGlSmb{{ReadPath::SmbWord, kRegFanCountGl, 0}, 0, 2};

constexpr std::array<FanRow, 23> kFanRows{{
    {kind::LM78Compatible, kLmIsa, kLmSmb},
    {kind::LM78, kLmIsa, kLmSmb},
    {kind::LM78J, kLmIsa, kLmSmb},
    {kind::LM79, kLmIsa, kLmSmb},
    {kind::LM80, kNoFans, kLm8xSmb},
    {kind::LM81, kNoFans, kLm8xSmb},
    {kind::LM87, kNoFans, kLm8xSmb},
    {kind::PC87366, {{ReadPath::Fsm, kRegFanCountFsm, 0}, 3, 3}, kNoFans},
    {kind::WinbondChip, kWbIsa, kWbSmb},
    {kind::W83781D, kWbIsa, kWbSmb},
    {kind::W83627HF, kWbIsa, kWbSmb},
    {kind::W83782D, kWbIsa, kWbSmb},
    {kind::W83783S, kNoFans, kWbSmb},
    {kind::W83697HF, kWbIsa, kNoFans},
    {kind::GL518SM, kNoFans, kGlSmb},
    {kind::GL520SM, kNoFans, kGlSmb},
    {kind::AS99127F_WB, kNoFans, kWbSmb},
    {kind::AS99127F_AS, kNoFans, kWbSmb},
    {kind::SiS5595, kLmIsa, kNoFans},
    {kind::VT82C686A, {{ReadPath::Via, kRegFanCountVia, 0}, 1, 2}, kNoFans},
    {kind::VT8231, {{ReadPath::Via, kRegFanCountVia, 0}, 1, 2}, kNoFans},
    {kind::IT8705F, kItIsa, kItSmb},
    {kind::IT8712F, kItIsa, kItSmb},
}};

const FanRow* FindFanRow(int32_t chipKind) {
  for (const FanRow& row : kFanRows) {
    if (row.kind == chipKind) return &row;
  }
  return nullptr;
}

// Chips whose fan counters can be switched off through register 4Dh.
bool HasFanSwitch(int32_t k) {
  return k == kind::WinbondChip || k == kind::W83781D || k == kind::W83627HF ||
         k == kind::W83782D || k == kind::W83697HF || k == kind::W83783S;
}

constexpr std::array<uint8_t, 3> kFanEnableBit{0x01, 0x04, 0x10};

}  // namespace

bool FanPresent(const MonitorContext& ctx, int n) {
  const FanRow* row = FindFanRow(ctx.detect.chip.ChipKind);
  return row != nullptr && n >= 0 && n < (ChipOnSmbus(ctx) ? row->smb : row->isa).fans;
}

int32_t ReadFanCount(const MonitorContext& ctx, int n) {
  const FanRow* row = FindFanRow(ctx.detect.chip.ChipKind);
  if (row == nullptr) return kNoCount;
  const FanRoute& route = ChipOnSmbus(ctx) ? row->smb : row->isa;
  if (n < 0 || n >= route.fans) return kNoCount;
  RegRead r = route.first;
  r.reg = static_cast<uint8_t>(r.reg + route.stride * n);
  const int32_t v = ReadRegister(ctx, r);
  if (v < 0) return kNoCount;
  if (r.path == ReadPath::SmbWord) return n == 0 ? (v >> 8) & 0xFF : v & 0xFF;
  return v & 0xFF;
}

int32_t FanRpm(int32_t chipKind, int32_t effectiveDivisor, int32_t pprSetting, int32_t count) {
  if (count <= 0 || count >= kNoCount) return 0;
  const bool slowClock =
      chipKind == kind::GL518SM || chipKind == kind::GL520SM || chipKind == kind::PC87366;
  const int32_t c = slowClock ? kFanClockSlow : kFanClock;
  // The count spans two tachometer pulses: one revolution of a two-pulse fan
  // but two revolutions of a one-pulse fan, which therefore turns twice as
  // fast as the clock constant alone says. The effective divisor carries the
  // pulse setting once; take it back out to get the counter's own divisor.
  const int32_t ppr = pprSetting == 2 ? 2 : 1;
  int32_t clockDivisor = effectiveDivisor / ppr;
  if (clockDivisor < 1) clockDivisor = 1;
  const int32_t k = c * ppr / clockDivisor;
  return k / count;
}

bool CheckFanLimit(MonitorSettings& settings, int32_t count, int n) {
  if (count == kNoCount || count == 0) return true;
  return count >= FanLimit(settings, n);
}

std::string ReadFanChannel(MonitorContext& ctx, int n) {
  const int32_t count = ReadFanCount(ctx, n);
  const int32_t rpm =
      FanRpm(ctx.detect.chip.ChipKind, ctx.detect.FanDivisor.at(n), FanPPR(ctx.settings, n), count);
  SensorChannel& ch = ChannelOf(ctx.channels, ChannelGroup::Fan, n);
  ch.inError = CheckFanLimit(ctx.settings, count, n);
  const bool noReading = count == 0 || count == kNoCount;
  // A counter that ran over saw no pulse: the fan stands still.
  ch.value.reset();
  if (FanPresent(ctx, n)) ch.value = noReading ? 0.0 : static_cast<double>(rpm);
  std::string text = noReading ? std::string(kTextNoReading) : FanText(rpm);
  if (ch.inError) text += kTextErrorSuffix;
  return text;
}

void SetFanCounter(const MonitorContext& ctx, int n, bool on) {
  const int32_t k = ctx.detect.chip.ChipKind;
  if (!HasFanSwitch(k) || n < 0 || n >= kFanCount) return;
  const bool smb = ChipOnSmbus(ctx) || k == kind::W83783S;
  const RegRead read = smb ? RegRead{ReadPath::SmbBanked, kWbRegFanEnable, kWbBank0}
                           : RegRead{ReadPath::WbIsa, kWbRegFanEnable, kWbBank0};
  const int32_t v = ReadRegister(ctx, read);
  if (v < 0) return;  // nothing sensible to write back
  const uint8_t bit = kFanEnableBit[static_cast<size_t>(n)];
  const auto updated = static_cast<uint8_t>(on ? (v | bit) : (v & ~bit));
  // The bank is still selected from the read.
  const RegRead write = smb ? RegRead{ReadPath::Smb, kWbRegFanEnable, 0} : read;
  WriteRegister(ctx, write, updated);
}

}  // namespace kev
