#include "monitor/temp_channel.h"

#include <array>

#include "monitor/chip_access.h"
#include "monitor/via_temp_table.h"

namespace kev {

namespace {

// How the bytes of a source become degrees.
enum class TempRule : uint8_t {
  None,
  Signed,       // two's complement, optional half-degree byte (bit 7)
  Minus32,      // two's complement, 32 degrees below the register (IT8705F Temp 2)
  Via,          // thermistor table
  Gl518,        // one degree per step: v - 119
  Gl520,        // one degree per step: v - 130
  Gl520Input2,  // as Gl520, absent while the input measures a voltage
  Sis,          // repeated reads until the value settles
  Aux,          // the chip's temperature sub-client, a word sensor (AS99127F)
};

struct TempSource {
  TempRule rule = TempRule::None;
  RegRead reg{};
  uint8_t halfReg = 0;  // 0: no half-degree byte
};

struct TempRow {
  int32_t kind;
  std::array<TempSource, 3> isa;
  std::array<TempSource, 3> smb;
};

constexpr uint8_t kRegTemp1 = 0x27;     // LM78 / Winbond / LM8x temperature
constexpr uint8_t kRegWbTemp23 = 0x50;  // Winbond banks 1 and 2: whole degrees
constexpr uint8_t kRegWbTemp23Half = 0x51;
constexpr uint8_t kRegLm80TempHalf = 0x06;
constexpr uint8_t kRegLm87Temp2 = 0x26;
constexpr uint8_t kRegLm87Temp3 = 0x20;
constexpr uint8_t kRegItTemp1 = 0x29;   // ITE: 29h, 2Ah, 2Bh
constexpr uint8_t kRegViaTemp1 = 0x20;  // VIA: 20h, 21h
constexpr uint8_t kRegPcTemp = 0x0B;    // PC87366 temperature device, per channel
constexpr uint8_t kRegGlTemp1 = 0x04;
constexpr uint8_t kRegGlTemp2 = 0x0E;
constexpr uint8_t kRegSisTemp = 0x24;
constexpr uint8_t kRegSensorTemp = 0x00;    // auxiliary sensors: word, or local byte
constexpr uint8_t kRegSensorRemote = 0x01;  // byte sensors: remote byte

constexpr int32_t kGl518Offset = 119;  // register value at 0 degrees
constexpr int32_t kGl520Offset = 130;
constexpr int kSisTries = 10;
constexpr int32_t kSisLowest = 26;
constexpr int32_t kSisOffset = 114;

constexpr TempSource S(ReadPath p, uint8_t r, uint8_t bank = 0, uint8_t half = 0) {
  return {TempRule::Signed, {p, r, bank}, half};
}
constexpr TempSource R(TempRule rule, ReadPath p, uint8_t r) { return {rule, {p, r, 0}, 0}; }
constexpr TempSource kNone{};
constexpr TempSource kAux{TempRule::Aux, {}, 0};

constexpr std::array<TempSource, 3> kNoTemps{};
constexpr std::array<TempSource, 3> kLmIsa{S(ReadPath::NsIsa, kRegTemp1), kNone, kNone};
constexpr std::array<TempSource, 3> kLmSmb{S(ReadPath::Smb, kRegTemp1), kNone, kNone};
constexpr std::array<TempSource, 3> kWbIsa{
    S(ReadPath::WbIsa, kRegTemp1, kWbBank0),
    S(ReadPath::WbIsa, kRegWbTemp23, kWbBank1, kRegWbTemp23Half),
    S(ReadPath::WbIsa, kRegWbTemp23, kWbBank2, kRegWbTemp23Half)};
constexpr std::array<TempSource, 3> kWbSmb{
    S(ReadPath::SmbBanked, kRegTemp1, kWbBank0),
    S(ReadPath::SmbBanked, kRegWbTemp23, kWbBank1, kRegWbTemp23Half),
    S(ReadPath::SmbBanked, kRegWbTemp23, kWbBank2, kRegWbTemp23Half)};
constexpr std::array<TempSource, 3> kAsSmb{S(ReadPath::SmbBanked, kRegTemp1, kWbBank0), kAux, kAux};
constexpr std::array<TempSource, 3> kW83783Smb{S(ReadPath::SmbBanked, kRegTemp1, kWbBank0), kNone,
                                               kNone};
constexpr std::array<TempSource, 3> kIt8712Isa{S(ReadPath::NsIsa, kRegItTemp1),
                                               S(ReadPath::NsIsa, kRegItTemp1 + 1),
                                               S(ReadPath::NsIsa, kRegItTemp1 + 2)};
constexpr std::array<TempSource, 3> kIt8712Smb{S(ReadPath::Smb, kRegItTemp1),
                                               S(ReadPath::Smb, kRegItTemp1 + 1),
                                               S(ReadPath::Smb, kRegItTemp1 + 2)};
constexpr std::array<TempSource, 3> kIt8705Isa{
    S(ReadPath::NsIsa, kRegItTemp1), R(TempRule::Minus32, ReadPath::NsIsa, kRegItTemp1 + 1),
    S(ReadPath::NsIsa, kRegItTemp1 + 2)};
constexpr std::array<TempSource, 3> kIt8705Smb{S(ReadPath::Smb, kRegItTemp1),
                                               R(TempRule::Minus32, ReadPath::Smb, kRegItTemp1 + 1),
                                               S(ReadPath::Smb, kRegItTemp1 + 2)};
constexpr std::array<TempSource, 3> kViaIsa{R(TempRule::Via, ReadPath::Via, kRegViaTemp1),
                                            R(TempRule::Via, ReadPath::Via, kRegViaTemp1 + 1),
                                            kNone};

constexpr std::array<TempRow, 23> kTempRows{{
    {kind::LM78Compatible, kLmIsa, kLmSmb},
    {kind::LM78, kLmIsa, kLmSmb},
    {kind::LM78J, kLmIsa, kLmSmb},
    {kind::LM79, kLmIsa, kLmSmb},
    {kind::LM80, kNoTemps, {S(ReadPath::Smb, kRegTemp1, 0, kRegLm80TempHalf), kNone, kNone}},
    {kind::LM81, kNoTemps, kLmSmb},
    {kind::LM87,
     kNoTemps,
     {S(ReadPath::Smb, kRegTemp1), S(ReadPath::Smb, kRegLm87Temp2),
      S(ReadPath::Smb, kRegLm87Temp3)}},
    {kind::PC87366,
     {S(ReadPath::Tms, kRegPcTemp, 0), S(ReadPath::Tms, kRegPcTemp, 1),
      S(ReadPath::Tms, kRegPcTemp, 2)},
     kNoTemps},
    {kind::WinbondChip, kWbIsa, kWbSmb},
    {kind::W83781D, kWbIsa, kWbSmb},
    {kind::W83627HF, kWbIsa, kWbSmb},
    {kind::W83782D, kWbIsa, kWbSmb},
    {kind::W83783S, kNoTemps, kW83783Smb},
    {kind::W83697HF, kWbIsa, kNoTemps},
    {kind::GL518SM, kNoTemps, {R(TempRule::Gl518, ReadPath::Smb, kRegGlTemp1), kNone, kNone}},
    {kind::GL520SM,
     kNoTemps,
     {R(TempRule::Gl520, ReadPath::Smb, kRegGlTemp1),
      R(TempRule::Gl520Input2, ReadPath::Smb, kRegGlTemp2), kNone}},
    {kind::AS99127F_WB, kNoTemps, kAsSmb},
    {kind::AS99127F_AS, kNoTemps, kAsSmb},
    {kind::SiS5595, {R(TempRule::Sis, ReadPath::NsIsa, kRegSisTemp), kNone, kNone}, kNoTemps},
    {kind::VT82C686A, kViaIsa, kNoTemps},
    {kind::VT8231, kViaIsa, kNoTemps},
    {kind::IT8705F, kIt8705Isa, kIt8705Smb},
    {kind::IT8712F, kIt8712Isa, kIt8712Smb},
}};

const TempSource& FindSource(const MonitorContext& ctx, int n) {
  for (const TempRow& row : kTempRows) {
    if (row.kind == ctx.detect.chip.ChipKind) {
      return (ChipOnSmbus(ctx) ? row.smb : row.isa)[static_cast<size_t>(n)];
    }
  }
  return kNone;
}

// Whole degrees from a signed byte, with the half-degree bit pointing away
// from zero for negative temperatures.
TempReading SignedWithHalf(int32_t whole, int32_t half) {
  TempReading r{SignedByte(whole), (half & 0x80) != 0 ? 1 : 0};
  if (r.t < 0) r.h = -r.h;
  return r;
}

// Genesys Logic parts count whole degrees above their offset.
int32_t GlDegrees(int32_t v, int32_t offset) { return v - offset; }

std::optional<TempReading> ReadSignedSource(const MonitorContext& ctx, const TempSource& src) {
  const int32_t whole = ReadRegister(ctx, src.reg);
  int32_t half = 0;
  if (src.halfReg != 0) {
    RegRead h = src.reg;
    h.reg = src.halfReg;
    // Over the SMBus the bank is still selected from the first read.
    if (h.path == ReadPath::SmbBanked) h.path = ReadPath::Smb;
    half = ReadRegister(ctx, h);
  }
  if (src.reg.path == ReadPath::SmbBanked && src.reg.bank != kWbBank0) {
    WriteRegister(ctx, {ReadPath::Smb, kWbRegBankSelect, 0}, kWbBank0);
  }
  if (whole < 0 || half < 0) return std::nullopt;
  return SignedWithHalf(whole, half);
}

std::optional<TempReading> ReadSis(const MonitorContext& ctx, const TempSource& src) {
  int32_t v = 0;
  for (int i = 0; i < kSisTries; ++i) {
    v = ReadRegister(ctx, src.reg);
    if (v >= kSisLowest) break;
  }
  if (v == 0xFF || v < kSisLowest) return std::nullopt;
  return TempReading{(v - kSisOffset) / 2, 0};
}

int32_t SensorAddressIndex(const MonitorSettings& s, int n) {
  return n == 1 ? s.Temp2SMBAddress : s.Temp3SMBAddress;
}

std::optional<TempReading> ReadWordSensor(const MonitorContext& ctx, int32_t index) {
  const int32_t w = SmbReadWordAt(ctx, TempSensorAddress(index), kRegSensorTemp);
  if (w < 0) return std::nullopt;
  return SignedWithHalf((w >> 8) & 0xFF, w & 0xFF);
}

// The AS99127F's first sub-client reads high; the chip's own scale is
// restored within the range where that correction holds.
std::optional<TempReading> ReadAsSubClient(const MonitorContext& ctx, int n) {
  const int32_t index = SensorAddressIndex(ctx.settings, n);
  std::optional<TempReading> r = ReadWordSensor(ctx, index);
  if (r && index == ctx.detect.SubClientIndex && r->t >= -31 && r->t <= 105) {
    r->t = (r->t * 60 / 43 + 50) / 2;
  }
  return r;
}

std::optional<TempReading> ReadChip(const MonitorContext& ctx, int n) {
  const TempSource& src = FindSource(ctx, n);
  switch (src.rule) {
    case TempRule::None:
      return std::nullopt;
    case TempRule::Signed:
      return ReadSignedSource(ctx, src);
    case TempRule::Minus32: {
      std::optional<TempReading> r = ReadSignedSource(ctx, src);
      if (r) r->t -= 32;
      return r;
    }
    case TempRule::Sis:
      return ReadSis(ctx, src);
    case TempRule::Aux:
      return ReadAsSubClient(ctx, n);
    default:
      break;
  }
  if (src.rule == TempRule::Gl520Input2 && ctx.detect.chip.Gl520Vin4Mode) return std::nullopt;
  const int32_t v = ReadRegister(ctx, src.reg);
  if (v < 0) return std::nullopt;
  if (src.rule == TempRule::Via) return TempReading{ViaTempTable[static_cast<size_t>(v)], 0};
  return TempReading{GlDegrees(v, src.rule == TempRule::Gl518 ? kGl518Offset : kGl520Offset), 0};
}

std::optional<TempReading> ReadAuxSensor(const MonitorContext& ctx, int n, int32_t type) {
  const int32_t index = SensorAddressIndex(ctx.settings, n);
  if (TempSensorAddress(index) < 0) return std::nullopt;
  if (type == kSensorWord) return ReadWordSensor(ctx, index);
  const int32_t b =
      SmbReadByteAt(ctx, TempSensorAddress(index), n == 1 ? kRegSensorTemp : kRegSensorRemote);
  if (b < 0) return std::nullopt;
  return TempReading{SignedByte(b), 0};
}

}  // namespace

bool UsesAuxSensor(const DetectState& detect, const MonitorSettings& s, int n) {
  const int32_t type = detect.chip.SmbTempSensorType;
  const bool asked = (n == 1 && s.Temp2SMBUse) || (n == 2 && s.Temp3SMBUse);
  return asked && (type == kSensorWord || type == kSensorByte);
}

std::optional<TempReading> ReadTempSource(const MonitorContext& ctx, int n) {
  if (n < 0 || n >= kTempCount) return std::nullopt;
  if (UsesAuxSensor(ctx.detect, ctx.settings, n))
    return ReadAuxSensor(ctx, n, ctx.detect.chip.SmbTempSensorType);
  return ReadChip(ctx, n);
}

bool CheckTempLimit(MonitorSettings& settings, int n, TempReading value) {
  // Compared in half degrees: T >= limit.
  return 2 * value.t + value.h >= 2 * int64_t{TempLimit(settings, n)};
}

std::string ReadTempChannel(MonitorContext& ctx, int n) {
  std::optional<TempReading> r = ReadTempSource(ctx, n);
  SensorChannel& ch = ChannelOf(ctx.channels, ChannelGroup::Temp, n);
  ch.value.reset();
  if (!r) return kTextNoReading;
  r->t += TempAdjustor(ctx.settings, n);
  ch.value = static_cast<double>(r->t) + r->h / 2.0;
  ch.inError = CheckTempLimit(ctx.settings, n, *r);
  std::string text = TempText(r->t, r->h, ctx.numbers);
  if (ch.inError) text += kTextErrorSuffix;
  return text;
}

}  // namespace kev
