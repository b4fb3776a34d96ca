// Chip configuration: the kind's path, the fan divisor searches, the start
// and final writes, Winbond sub-clients and diodes, the effective divisors
// and the auxiliary temperature sensors.
#include <array>
#include <cstdint>
#include <limits>

#include "detect/aux_sensors.h"
#include "detect/chip_tables.h"
#include "detect/detect.h"

namespace kev {
namespace {

using namespace config;

constexpr int32_t kCountOverflow = 254;  // a count above this overflowed
constexpr int32_t kByteMask = 0xFF;
constexpr int kByteBits = 8;
constexpr int32_t kSubClientFirstIndex = 6;  // TempSensorAddressList index of 48h
constexpr int32_t kSubClientMask = 0x07;
constexpr int kSubClient2Shift = 4;
constexpr int32_t kNoDivisorCode = -1;
constexpr int32_t kPlainDivisor = 2;

// One configuration run over the chip's path.
struct Run {
  MonitorSettings& s;
  DetectState& st;
  const SetupRow& setup;
  AuxSensorBus sensors;
  ChipRegs regs;
  int32_t code = kNoDivisorCode;  // the divisor code after the searches
  int32_t subClients = -1;        // register 4Ah
};

int32_t ReadCount(ChipRegs& regs, const FanSearch& f) {
  if (f.countRead == CountRead::Byte) return regs.read(f.countReg);
  const int32_t w = regs.readWord(f.countReg);
  if (w < 0) return -1;
  return f.countRead == CountRead::WordHigh ? (w >> kByteBits) & kByteMask : w & kByteMask;
}

// Read-modify-write of a bit field; nothing is written when the read fails.
void WriteField(ChipRegs& regs, uint8_t reg, uint8_t shift, uint8_t bits, uint32_t value) {
  const int32_t old = regs.read(reg);
  if (old < 0) return;
  const uint32_t mask = ((1u << bits) - 1u) << shift;
  const uint32_t v = (static_cast<uint32_t>(old) & ~mask) | ((value << shift) & mask);
  regs.write(reg, static_cast<uint8_t>(v));
}

// Tries the field codes 0, 1, 2, ... until the count no longer overflows.
void SearchDivisor(ChipRegs& regs, const SearchRow& row, const FanSearch& f) {
  int32_t c = ReadCount(regs, f);
  for (uint32_t k = 0; k < f.steps && c > kCountOverflow; ++k) {
    WriteField(regs, f.divReg, f.fieldShift, f.fieldBits, k);
    if (f.extBit >= 0) {
      WriteField(regs, row.extReg, static_cast<uint8_t>(f.extBit), 1, k >> f.fieldBits);
    }
    c = ReadCount(regs, f);
  }
}

int32_t ReadDivisorCode(ChipRegs& regs, const SearchRow& row) {
  if (row.codeReg >= 0) return regs.read(static_cast<uint8_t>(row.codeReg));
  int32_t code = 0;
  for (size_t n = 0; n < row.fans; ++n) {
    const FanSearch& f = row.fan[n];
    const int32_t div = regs.read(f.divReg);
    if (div < 0) return kNoDivisorCode;
    int32_t field = (div >> f.fieldShift) & ((1 << f.fieldBits) - 1);
    if (f.extBit >= 0) {
      const int32_t ext = regs.read(row.extReg);
      if (ext < 0) return kNoDivisorCode;
      field |= ((ext >> f.extBit) & 1) << f.fieldBits;
    }
    code |= field << f.codeShift;
  }
  return code;
}

int32_t DecodeFan(const FanDecode& d, int32_t code) {
  if (code < 0) return kPlainDivisor;
  switch (d.rule) {
    case Decode::Power:
      return 1 << ((code >> d.shift) & d.mask);
    case Decode::Two:
      return kPlainDivisor;
    case Decode::EightIf:
      return ((code >> d.shift) & 1) != 0 ? 8 : 2;
  }
  return kPlainDivisor;
}

void ApplyFlags(const FlagSet& f, bool foundOnPort, MonitorSettings& s, HwMonitorChip& chip) {
  switch (f.smbUse) {
    case Flag::Keep:
      break;
    case Flag::Set:
      s.MainChipSMBUse = true;
      break;
    case Flag::Clear:
      s.MainChipSMBUse = false;
      break;
    case Flag::SetUnlessOnPort:
      if (!foundOnPort) s.MainChipSMBUse = true;
      break;
  }
  if (f.smbOnly != Flag::Keep) chip.MainSmbOnly = f.smbOnly == Flag::Set;
}

// Picks the row's path and applies the row's flags for it.
ChipPath ChoosePath(const PathRow& row, MonitorSettings& s, DetectState& st) {
  HwMonitorChip& chip = st.chip;
  const bool smbus = st.pm.SmbBase != -1 && (row.smbus == When::Always ||
                                             (row.smbus == When::IfFound && chip.MainSmbFound));
  const bool port = row.port == When::Always || (row.port == When::IfFound && chip.FoundOnPort);
  if (row.clearPortAddressUse) s.MainChipPortAddressUse = false;
  if (smbus) {
    ApplyFlags(row.onSmbus, chip.FoundOnPort, s, chip);
    return ChipPath::Smbus;
  }
  if (port) {
    ApplyFlags(row.onPort, chip.FoundOnPort, s, chip);
    return row.portPath;
  }
  ApplyFlags(row.onNone, chip.FoundOnPort, s, chip);
  return ChipPath::None;
}

void ApplyFirstRunUse(Run& r, FirstRunUse use) {
  if (!r.s.SettingsDefaulted) return;
  const bool both = use == FirstRunUse::Both ||
                    (use == FirstRunUse::BothOnSmbus && r.regs.path() == ChipPath::Smbus);
  if (both || use == FirstRunUse::Temp2) r.s.Temp2SMBUse = true;
  if (both) r.s.Temp3SMBUse = true;
}

// Winbond sub-client temperature devices: their addresses become the
// automatic Temp 2 / Temp 3 sensors.
void ReadSubClients(Run& r, const SetupRow& row) {
  if (row.subClients == SubClients::None) return;
  ApplyFirstRunUse(r, row.firstRunUse);
  r.subClients = r.regs.read(kRegSubClients);
  if (r.subClients < 0) return;
  const int32_t p1 = (r.subClients & kSubClientMask) + kSubClientFirstIndex;
  const int32_t p2 = ((r.subClients >> kSubClient2Shift) & kSubClientMask) + kSubClientFirstIndex;
  MonitorSettings& s = r.s;
  if (s.Temp2SMBUse && s.Temp2SMBAddress == -1) {
    s.Temp2SMBAddress = p1 == s.Temp3SMBAddress ? p2 : p1;
  }
  if (row.subClients == SubClients::Both && s.Temp3SMBUse && s.Temp3SMBAddress == -1) {
    s.Temp3SMBAddress = p2 == s.Temp2SMBAddress ? p1 : p2;
  }
  if (row.subClientIndex) r.st.SubClientIndex = p1;
}

// On a first run the chip's diode modes become the settings; later the
// settings are written to the chip. Bits 1.. of the register, one per sensor.
void DiodeStep(Run& r, uint8_t reg, uint8_t sensors) {
  int32_t d = r.regs.read(reg);
  if (d < 0) return;
  const std::array<bool*, 3> diode{&r.s.Sensor1OnDieDiode, &r.s.Sensor2OnDieDiode,
                                   &r.s.Sensor3OnDieDiode};
  for (uint8_t n = 0; n < sensors; ++n) {
    const int32_t bit = 1 << (n + 1);
    if (r.s.SettingsDefaulted) {
      *diode[n] = (d & bit) != 0;
    } else {
      d = *diode[n] ? (d | bit) : (d & ~bit);
    }
  }
  if (!r.s.SettingsDefaulted) r.regs.write(reg, static_cast<uint8_t>(d));
}

void Modify(ChipRegs& regs, const RegOp& op, uint8_t bank, bool orIn) {
  const int32_t v = regs.read(op.reg, bank, op.space);
  if (v < 0) return;  // never write back a failed read
  const int32_t nv = orIn ? (v | op.value) : (v & op.value);
  regs.write(op.reg, static_cast<uint8_t>(nv), bank, op.space);
}

void RunOp(Run& r, const RegOp& op) {
  MonitorSettings& s = r.s;
  switch (op.act) {
    case Act::Set:
      r.regs.write(op.reg, op.value, op.bank, op.space);
      break;
    case Act::SetOnSmbus:
      if (r.regs.path() == ChipPath::Smbus) r.regs.write(op.reg, op.value, op.bank, op.space);
      break;
    case Act::Or:
    case Act::And:
      Modify(r.regs, op, op.bank, op.act == Act::Or);
      break;
    case Act::OrChannels:
      for (uint8_t ch = 0; ch < op.count; ++ch) Modify(r.regs, op, ch, true);
      break;
    case Act::SubClientsRead:
      ReadSubClients(r, r.setup);
      break;
    case Act::SubClientsAnd:
      if (r.subClients >= 0) r.regs.write(op.reg, static_cast<uint8_t>(r.subClients & op.value));
      break;
    case Act::CodeAnd:
      if (r.code >= 0) r.regs.write(op.reg, static_cast<uint8_t>(r.code & op.value));
      break;
    case Act::Diodes:
      DiodeStep(r, op.reg, op.count);
      break;
    case Act::ClearTemp2Config:
      if (s.Temp2SMBAddress != -1) r.sensors.write(s.Temp2SMBAddress, op.reg, op.value);
      break;
    case Act::FindTemp3:
      if (s.Temp3SMBUse && s.Temp3SMBAddress == -1) {
        SearchSensor(r.sensors, s.Temp3SMBAddress, s.Temp2SMBAddress);
        if (s.Temp3SMBAddress != -1) r.sensors.write(s.Temp3SMBAddress, op.reg, op.value);
      }
      break;
    case Act::SensorTypeIsKind:
      r.st.chip.SmbTempSensorType = r.st.chip.ChipKind;
      break;
  }
}

void RunOps(Run& r, std::span<const RegOp> ops) {
  for (const RegOp& op : ops) RunOp(r, op);
}

// The kind's steps over its path; returns the divisor code, or -1.
int32_t ConfigureKind(PortIo& io, MonitorSettings& s, DetectState& st, const PathRow& row) {
  const ChipPath path = ChoosePath(row, s, st);
  const SetupRow* setup = FindSetupRow(st.chip.ChipKind);
  const SearchRow* search = FindSearchRow(st.chip.ChipKind);
  if (path == ChipPath::None || setup == nullptr || search == nullptr) return kNoDivisorCode;

  Run r{s, st, *setup, AuxSensorBus(io, st.pm),
        ChipRegs(io, path, st.pm, st.chip, s.MainChipPortAddress)};
  RunOps(r, setup->before);
  for (size_t n = 0; n < search->fans; ++n) SearchDivisor(r.regs, *search, search->fan[n]);
  r.code = ReadDivisorCode(r.regs, *search);
  RunOps(r, setup->after);
  return r.code;
}

void ApplyVoltPresets(MonitorSettings& s, int32_t kind) {
  if (!s.SettingsDefaulted) return;
  for (const VoltPreset& p : VoltPresets()) {
    if (!p.kinds.has(kind)) continue;
    VoltULimit(s, p.channel - 1) = p.upper;
    VoltLLimit(s, p.channel - 1) = p.lower;
  }
}

}  // namespace

void ConfigureChip(PortIo& io, MonitorSettings& s, DetectState& st) {
  HwMonitorChip& chip = st.chip;
  const int32_t kind = chip.ChipKind;
  SanitizeSensorIndexes(s);
  st.SubClientIndex = -1;
  if (!kDiodeKinds.has(kind)) {
    s.Sensor1OnDieDiode = s.Sensor2OnDieDiode = s.Sensor3OnDieDiode = false;
  }

  int32_t code = kNoDivisorCode;
  if (kind == kind::Unknown) {
    chip.MainSmbOnly = false;
  } else if (const PathRow* row = FindPathRow(kind)) {
    code = ConfigureKind(io, s, st, *row);
  }
  ApplyVoltPresets(s, kind);

  const DecodeRow& decode = FindDecodeRow(kind);
  for (size_t n = 0; n < st.FanDivisor.size(); ++n) {
    st.FanDivisor[n] =
        EffectiveFanDivisor(DecodeFan(decode.fan[n], code), FanPPR(s, static_cast<int>(n)));
  }
  FindAuxSensors(io, s, st);
}

int32_t EffectiveFanDivisor(int32_t clockDivisor, int32_t ppr) {
  const int64_t factor = ppr > 0 ? ppr : 1;
  const int64_t d = static_cast<int64_t>(clockDivisor) * factor;
  return d > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                 : static_cast<int32_t>(d);
}

}  // namespace kev
