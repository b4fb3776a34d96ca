#include "monitor/volt_convert.h"

#include <array>
#include <cstddef>

#include "detect/records.h"

namespace kev {

namespace {

// V = post * ((m * mul + add) / div) + offset, all in integers, each
// division truncating toward zero.
struct Formula {
  int64_t mul = 0;
  int64_t add = 0;
  int64_t div = 1;
  int64_t post = 1;
  int64_t offset = 0;
};

constexpr Formula Scale(int64_t mul, int64_t div = 1) { return {mul, 0, div, 1, 0}; }
constexpr Formula NegScale(int64_t mul, int64_t div) { return {mul, 0, div, -1, 0}; }

constexpr Formula k16{Scale(16)};
constexpr Formula kV4Lm{Scale(2560, 100)};
constexpr Formula kV4{Scale(2688, 100)};
constexpr Formula kV4As{Scale(26896, 1000)};
constexpr Formula kV5{Scale(609520, 10000)};
constexpr Formula kV5As{Scale(60800, 1000)};
constexpr Formula kV6{NegScale(546400, 10000)};
constexpr Formula kV6Wb{-160000, 29000000, 1944, -1, 0};
constexpr Formula kV6AsAs{NegScale(38400, 604)};
constexpr Formula kV6It12{8228, 0, 100, 1, -16969};
constexpr Formula kV7{NegScale(242416, 10000)};
constexpr Formula kV7Wb{-160000, 24550000, 3182, -1, 0};
constexpr Formula kV7AsAs{NegScale(14544, 604)};
constexpr Formula kV7It05{82, 0, 1, 1, -16969};
constexpr Formula kV7It12{5028, 0, 100, 1, -8777};

using Inputs = std::array<Formula, 9>;

constexpr Inputs kLm78{k16, k16, k16, kV4Lm, kV5, kV6, kV7, kV4, k16};
constexpr Inputs kWbOld{k16, k16, k16, kV4, kV5, kV6, kV7, kV4, k16};
constexpr Inputs kWbNew{k16, k16, k16, kV4, kV5, kV6Wb, kV7Wb, kV4, k16};
constexpr Inputs kAsWb{k16, k16, k16, kV4As, kV5As, kV6Wb, kV7Wb, kV4, k16};
constexpr Inputs kAsAs{k16, k16, k16, kV4As, kV5As, kV6AsAs, kV7AsAs, kV4, k16};
constexpr Inputs kIt05{k16, k16, k16, kV4, Scale(64), k16, kV7It05, kV4, k16};
constexpr Inputs kIt12{k16, k16, k16, kV4, Scale(64), kV6It12, kV7It12, kV4, k16};
constexpr Inputs kLm8x{Scale(1410, 100), Scale(1300, 100), Scale(1720, 100), Scale(2600, 100),
                       Scale(6250, 100)};
constexpr Inputs kPc{
    Formula{60, 0, 256, 50, 0},     Formula{300, 0, 256, 50, 0},   Formula{20, 300, 10, -50, 0},
    Formula{120, -600, 256, 50, 0}, Formula{120, 120, 256, 50, 0}, Formula{60, 840, 256, 50, 0},
    Formula{120, 840, 256, 50, 0},  Formula{120, 840, 256, 50, 0}, Formula{120, 840, 256, 50, 0}};
constexpr Inputs kGl518{Scale(19),        {},        Scale(19), Formula{24, 216, 1, 1, 0},
                        Scale(7961, 100), Scale(-95)};
constexpr Inputs kGl520{Scale(19),        {},        Scale(19), Formula{25, -200, 1, 1, 0},
                        Scale(7961, 100), Scale(-95)};
constexpr Inputs kSis{Scale(40000, 1500), {}, Scale(40000, 1500), Scale(40), Scale(97600, 1000)};
// VIA: b = 25 m + 133 scaled per input, folded into one multiply and add.
constexpr Formula Via(int64_t mul, int64_t div) { return {25 * mul, 133 * mul, div, 1, 0}; }
constexpr Inputs kVia{Via(5000, 10512), Via(5000, 10512), Via(5000, 7884), Via(26000, 26280),
                      Via(63000, 26280)};

struct KindFormulas {
  int32_t kind;
  const Inputs* inputs;
};

constexpr std::array<KindFormulas, 23> kKinds{{
    {kind::LM78Compatible, &kLm78}, {kind::LM78, &kLm78},        {kind::LM78J, &kLm78},
    {kind::LM79, &kLm78},           {kind::LM80, &kLm78},        {kind::LM81, &kLm8x},
    {kind::LM87, &kLm8x},           {kind::PC87366, &kPc},       {kind::WinbondChip, &kWbOld},
    {kind::W83781D, &kWbOld},       {kind::W83627HF, &kWbNew},   {kind::W83782D, &kWbNew},
    {kind::W83783S, &kWbNew},       {kind::W83697HF, &kWbNew},   {kind::GL518SM, &kGl518},
    {kind::GL520SM, &kGl520},       {kind::AS99127F_WB, &kAsWb}, {kind::AS99127F_AS, &kAsAs},
    {kind::SiS5595, &kSis},         {kind::VT82C686A, &kVia},    {kind::VT8231, &kVia},
    {kind::IT8705F, &kIt05},        {kind::IT8712F, &kIt12},
}};

const Inputs* FindInputs(int32_t chipKind) {
  for (const KindFormulas& k : kKinds) {
    if (k.kind == chipKind) return k.inputs;
  }
  return nullptr;
}

constexpr int32_t kViaWrapLimit = 64;

bool IsVia(int32_t chipKind) { return chipKind == kind::VT82C686A || chipKind == kind::VT8231; }

}  // namespace

int32_t AdjustVoltRaw(int32_t chipKind, int32_t raw) {
  return IsVia(chipKind) && raw <= kViaWrapLimit ? raw + 256 : raw;
}

int32_t RawToMillivolts(int32_t chipKind, int n, int32_t raw, bool dualCoreVoltage) {
  const Inputs* inputs = FindInputs(chipKind);
  if (inputs == nullptr || n < 0 || n >= static_cast<int>(inputs->size())) return 0;
  Formula f = (*inputs)[static_cast<size_t>(n)];
  // LM81/LM87 Volt 2 measures a second core voltage on dual-core boards.
  if (inputs == &kLm8x && n == 1 && dualCoreVoltage) f = Scale(1410, 100);
  const int64_t m = AdjustVoltRaw(chipKind, raw);
  return static_cast<int32_t>(f.post * ((m * f.mul + f.add) / f.div) + f.offset);
}

int32_t VoltLimitMillivolts(int32_t chipKind, int n, int32_t raw, bool dualCoreVoltage,
                            bool gl520Vin4Mode) {
  constexpr int kLm8xInputs = 5;
  constexpr int kGlVolt6 = 5;
  const Inputs* inputs = FindInputs(chipKind);
  if (inputs == nullptr) return RawToMillivolts(kind::LM78, n, raw, false);
  if (inputs == &kLm8x && n >= kLm8xInputs) return raw;
  if ((inputs == &kGl518 || inputs == &kGl520) && n == kGlVolt6 && !gl520Vin4Mode) return 0;
  return RawToMillivolts(chipKind, n, raw, dualCoreVoltage);
}

bool InvertedVoltLimits(int32_t chipKind, int n) {
  constexpr int kVolt6 = 5;
  constexpr int kVolt7 = 6;
  return (chipKind == kind::IT8712F && n == kVolt6) ||
         ((chipKind == kind::IT8705F || chipKind == kind::IT8712F) && n == kVolt7);
}

}  // namespace kev
