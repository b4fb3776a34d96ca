#include "monitor/volt_channel.h"

#include <array>

#include "monitor/chip_access.h"
#include "monitor/volt_convert.h"

namespace kev {

namespace {

constexpr double kMillivoltsPerVolt = 1000.0;
constexpr uint8_t kRegIn0 = 0x20;       // LM78 / Winbond / ITE inputs 20h + n
constexpr uint8_t kRegWbIn7 = 0x50;     // Winbond bank 5: Volt 8 and Volt 9 at 50h, 51h
constexpr uint8_t kRegViaIn0 = 0x22;    // VIA inputs 22h + n
constexpr uint8_t kRegPcIn = 0x0B;      // PC87366 voltage device, per channel
constexpr uint8_t kPcVcoreChannel = 9;  // PC87366 channel of Volt 1
constexpr uint8_t kRegLm8xVcore2 = 0x25;
constexpr uint8_t kRegLm8xIn1 = 0x21;
constexpr uint8_t kRegGlIn1 = 0x0D;  // GL518SM/GL520SM inputs
constexpr uint8_t kRegGlIn3 = 0x14;
constexpr uint8_t kRegGlIn4 = 0x15;
constexpr uint8_t kRegGlIn5 = 0x13;
constexpr uint8_t kRegGlVin4 = 0x0E;  // second temperature input used as a voltage

// Routes whose register for one input depends on a detection flag.
enum class RouteVariant { Plain, Lm8x, Gl };

struct VoltRoute {
  std::array<RegRead, 9> inputs{};
  int32_t invalid = 0xFF;  // the raw value that means no reading
  RouteVariant variant = RouteVariant::Plain;
};

struct VoltRow {
  int32_t kind;
  VoltRoute isa;
  VoltRoute smb;
};

using namespace route;
constexpr RegRead Pc(uint8_t channel) { return {ReadPath::Vlm, kRegPcIn, channel}; }
constexpr RegRead kNo{};

// Inputs 20h + n for n below count through the given reader, the rest absent.
template <RegRead (*F)(uint8_t), int count>
constexpr std::array<RegRead, 9> FromIn0() {
  std::array<RegRead, 9> a{};
  for (int i = 0; i < count; ++i) a[static_cast<size_t>(i)] = F(static_cast<uint8_t>(kRegIn0 + i));
  return a;
}

// Winbond parts with nine inputs: Volt 8 and 9 in bank 5.
constexpr std::array<RegRead, 9> WithBank5(std::array<RegRead, 9> a, ReadPath path) {
  a[7] = {path, kRegWbIn7, kWbBank5};
  a[8] = {path, kRegWbIn7 + 1, kWbBank5};
  return a;
}
constexpr std::array<RegRead, 9> Without(std::array<RegRead, 9> a, int n) {
  a[static_cast<size_t>(n)] = {};
  return a;
}

constexpr int kVolt2 = 1;
constexpr int kVolt3 = 2;
constexpr int kVolt4 = 3;
constexpr int kVolt5 = 4;
constexpr int kVolt6 = 5;

constexpr VoltRoute kNone{{}, 0xFF};
constexpr VoltRoute kLmSmb{FromIn0<Smb, 7>()};
constexpr VoltRoute kWbSmb7{FromIn0<WbSmb, 7>()};
constexpr VoltRoute kWbIsa9{WithBank5(FromIn0<WbIsa, 7>(), ReadPath::WbIsa)};
constexpr VoltRoute kWbSmb9{WithBank5(FromIn0<WbSmb, 7>(), ReadPath::SmbBanked)};
constexpr VoltRoute kW83783Smb{Without(FromIn0<WbSmb, 7>(), kVolt2)};
// Volt 2 reads register 25h instead on dual-core boards.
constexpr VoltRoute kLm8xSmb{{Smb(kRegLm8xIn1), Smb(kRegIn0), Smb(kRegIn0 + kVolt3),
                              Smb(kRegIn0 + kVolt4), Smb(kRegIn0 + kVolt5)},
                             0xFF,
                             RouteVariant::Lm8x};
constexpr VoltRoute kGlSmb{
    {Smb(kRegGlIn1), kNo, Smb(kRegGlIn3), Smb(kRegGlIn4), Smb(kRegGlIn5)}, 0, RouteVariant::Gl};
constexpr VoltRoute kPcIsa{
    {Pc(kPcVcoreChannel), Pc(1), Pc(2), Pc(3), Pc(4), Pc(5), Pc(6), Pc(7), Pc(8)}, 0};
// The SiS 5595 wires its inputs in a different order.
constexpr VoltRoute kSisIsa{{Ns(kRegIn0), kNo, Ns(kRegIn0 + 2), Ns(kRegIn0 + 3), Ns(kRegIn0 + 1)}};
constexpr VoltRoute kViaIsa{{Via(kRegViaIn0), Via(kRegViaIn0 + 1), Via(kRegViaIn0 + 2),
                             Via(kRegViaIn0 + 3), Via(kRegViaIn0 + 4)}};

constexpr std::array<VoltRow, 23> kVoltRows{{
    {kind::LM78Compatible, {FromIn0<Ns, 7>()}, kLmSmb},
    {kind::LM78, {FromIn0<Ns, 7>()}, kLmSmb},
    {kind::LM78J, {FromIn0<Ns, 7>()}, kLmSmb},
    {kind::LM79, {FromIn0<Ns, 7>()}, kLmSmb},
    {kind::LM80, kNone, kLmSmb},
    {kind::LM81, kNone, kLm8xSmb},
    {kind::LM87, kNone, kLm8xSmb},
    {kind::PC87366, kPcIsa, kNone},
    {kind::WinbondChip, {FromIn0<WbIsa, 7>()}, kWbSmb7},
    {kind::W83781D, {FromIn0<WbIsa, 7>()}, kWbSmb7},
    {kind::W83627HF, kWbIsa9, kWbSmb9},
    {kind::W83782D, kWbIsa9, kWbSmb9},
    {kind::W83783S, kNone, kW83783Smb},
    {kind::W83697HF, kWbIsa9, kNone},
    {kind::GL518SM, kNone, kGlSmb},
    {kind::GL520SM, kNone, kGlSmb},
    {kind::AS99127F_WB, kNone, kWbSmb7},
    {kind::AS99127F_AS, kNone, kWbSmb7},
    {kind::SiS5595, kSisIsa, kNone},
    {kind::VT82C686A, kViaIsa, kNone},
    {kind::VT8231, kViaIsa, kNone},
    {kind::IT8705F, {FromIn0<Ns, 9>()}, {FromIn0<Smb, 9>()}},
    {kind::IT8712F, {FromIn0<Ns, 9>()}, {FromIn0<Smb, 9>()}},
}};

// The register of Volt n+1 where a detection flag changes it.
RegRead InputRegister(const MonitorContext& ctx, const VoltRoute& route, int n) {
  RegRead r = route.inputs[static_cast<size_t>(n)];
  // The rows hold copies of the routes, so the variant tells them apart.
  if (route.variant == RouteVariant::Lm8x && n == kVolt2 && ctx.detect.DualCoreVoltage)
    r.reg = kRegLm8xVcore2;
  if (route.variant == RouteVariant::Gl && n == kVolt6 && ctx.detect.chip.Gl520Vin4Mode)
    r = Smb(kRegGlVin4);
  return r;
}

}  // namespace

int32_t ReadVoltRaw(const MonitorContext& ctx, int n) {
  if (n < 0 || n >= kVoltCount) return -1;
  const int32_t k = ctx.detect.chip.ChipKind;
  const VoltRow* row = nullptr;
  for (const VoltRow& r : kVoltRows) {
    if (r.kind == k) row = &r;
  }
  if (row == nullptr) return -1;
  const VoltRoute& route = ChipOnSmbus(ctx) ? row->smb : row->isa;
  const int32_t raw = ReadRegister(ctx, InputRegister(ctx, route, n));
  if (raw < 0 || raw == route.invalid) return -1;
  return AdjustVoltRaw(k, raw);
}

bool CheckVoltLimit(MonitorSettings& settings, int32_t chipKind, int32_t raw, int n) {
  int32_t upper = VoltULimit(settings, n);
  int32_t lower = VoltLLimit(settings, n);
  if (InvertedVoltLimits(chipKind, n)) std::swap(upper, lower);
  return raw > upper || raw < lower;
}

std::string ReadVoltChannel(MonitorContext& ctx, int n) {
  const int32_t raw = ReadVoltRaw(ctx, n);
  SensorChannel& ch = ChannelOf(ctx.channels, ChannelGroup::Volt, n);
  ch.value.reset();
  if (raw < 0) return kTextNoReading;
  const int32_t k = ctx.detect.chip.ChipKind;
  ch.inError = CheckVoltLimit(ctx.settings, k, raw, n);
  const int32_t mv = RawToMillivolts(k, n, raw, ctx.detect.DualCoreVoltage);
  ch.value = mv / kMillivoltsPerVolt;
  std::string text = VoltText(mv, ctx.settings.VoltPrecision, ctx.numbers);
  if (ch.inError) text += kTextErrorSuffix;
  return text;
}

}  // namespace kev
