#include "settings/settings_io.h"

#include <array>
#include <variant>

namespace kev {
namespace {

using FieldPtr = std::variant<bool MonitorSettings::*, int32_t MonitorSettings::*,
                              std::string MonitorSettings::*>;

struct Field {
  std::string_view name;
  FieldPtr ptr;
};

struct Group {
  std::string_view key;
  std::vector<Field> fields;  // load and save order
};

// The value name is the field's own name.
#define KEV_FIELD(f) \
  Field { #f, &MonitorSettings::f }

const std::array<Group, 7>& Groups() {
  static const std::array<Group, 7> groups{{
      {kGeneralKey,
       {KEV_FIELD(AlwaysOnTop), KEV_FIELD(MainChipPortAddressUse), KEV_FIELD(MainChipSMBUse),
        KEV_FIELD(MonitorWindowMode), KEV_FIELD(ASMS), KEV_FIELD(Sensor1OnDieDiode),
        KEV_FIELD(Sensor2OnDieDiode), KEV_FIELD(Sensor3OnDieDiode),
        KEV_FIELD(TransparencyPercentage), KEV_FIELD(MainChipPortAddress), KEV_FIELD(IntervalTime),
        KEV_FIELD(xPosition), KEV_FIELD(yPosition)}},
      {kErrorActionKey,
       {KEV_FIELD(ErrAct1Switch), KEV_FIELD(ErrAct2Switch), KEV_FIELD(ErrAct3Switch),
        KEV_FIELD(ErrAct4Switch), KEV_FIELD(HoldErrAct1), KEV_FIELD(HoldErrAct2),
        KEV_FIELD(HoldErrAct3), KEV_FIELD(HoldErrAct4), KEV_FIELD(SoundFile1),
        KEV_FIELD(SoundFile2), KEV_FIELD(SoundFile3)}},
      {kDisplayKey,
       {KEV_FIELD(CheckBoxFan1), KEV_FIELD(CheckBoxFan2), KEV_FIELD(CheckBoxFan3),
        KEV_FIELD(CheckBoxTemp1), KEV_FIELD(CheckBoxTemp2), KEV_FIELD(CheckBoxTemp3),
        KEV_FIELD(CheckBoxVolt1), KEV_FIELD(CheckBoxVolt2), KEV_FIELD(CheckBoxVolt3),
        KEV_FIELD(CheckBoxVolt4), KEV_FIELD(CheckBoxVolt5), KEV_FIELD(CheckBoxVolt6),
        KEV_FIELD(CheckBoxVolt7), KEV_FIELD(CheckBoxVolt8), KEV_FIELD(CheckBoxVolt9)}},
      {kLoggingKey,
       {KEV_FIELD(LoggingFan1), KEV_FIELD(LoggingFan2), KEV_FIELD(LoggingFan3),
        KEV_FIELD(LoggingTemp1), KEV_FIELD(LoggingTemp2), KEV_FIELD(LoggingTemp3),
        KEV_FIELD(LoggingVolt1), KEV_FIELD(LoggingVolt2), KEV_FIELD(LoggingVolt3),
        KEV_FIELD(LoggingVolt4), KEV_FIELD(LoggingVolt5), KEV_FIELD(LoggingVolt6),
        KEV_FIELD(LoggingVolt7), KEV_FIELD(LoggingVolt8), KEV_FIELD(LoggingVolt9),
        KEV_FIELD(LogFileSizeLimit), KEV_FIELD(LogFileDirectory)}},
      {kFanSpeedKey,
       {KEV_FIELD(Fan1PPR), KEV_FIELD(Fan2PPR), KEV_FIELD(Fan3PPR), KEV_FIELD(Fan1PositionIndex),
        KEV_FIELD(Fan2PositionIndex), KEV_FIELD(Fan3PositionIndex), KEV_FIELD(Fan1CaptionIndex),
        KEV_FIELD(Fan2CaptionIndex), KEV_FIELD(Fan3CaptionIndex), KEV_FIELD(Fan1Limit),
        KEV_FIELD(Fan2Limit), KEV_FIELD(Fan3Limit)}},
      {kTemperatureKey,
       {KEV_FIELD(Temp2SMBUse), KEV_FIELD(Temp3SMBUse), KEV_FIELD(Temp2SMBAddress),
        KEV_FIELD(Temp3SMBAddress), KEV_FIELD(Temp1PositionIndex), KEV_FIELD(Temp2PositionIndex),
        KEV_FIELD(Temp3PositionIndex), KEV_FIELD(Temp1CaptionIndex), KEV_FIELD(Temp2CaptionIndex),
        KEV_FIELD(Temp3CaptionIndex), KEV_FIELD(Temp1Limit), KEV_FIELD(Temp1Adjustor),
        KEV_FIELD(Temp2Limit), KEV_FIELD(Temp2Adjustor), KEV_FIELD(Temp3Limit),
        KEV_FIELD(Temp3Adjustor)}},
      {kVoltageKey,
       {KEV_FIELD(VoltPrecision),      KEV_FIELD(Volt1PositionIndex), KEV_FIELD(Volt2PositionIndex),
        KEV_FIELD(Volt3PositionIndex), KEV_FIELD(Volt4PositionIndex), KEV_FIELD(Volt5PositionIndex),
        KEV_FIELD(Volt6PositionIndex), KEV_FIELD(Volt7PositionIndex), KEV_FIELD(Volt8PositionIndex),
        KEV_FIELD(Volt9PositionIndex), KEV_FIELD(Volt1CaptionIndex),  KEV_FIELD(Volt2CaptionIndex),
        KEV_FIELD(Volt3CaptionIndex),  KEV_FIELD(Volt4CaptionIndex),  KEV_FIELD(Volt5CaptionIndex),
        KEV_FIELD(Volt6CaptionIndex),  KEV_FIELD(Volt7CaptionIndex),  KEV_FIELD(Volt8CaptionIndex),
        KEV_FIELD(Volt9CaptionIndex),  KEV_FIELD(Volt1ULimit),        KEV_FIELD(Volt1LLimit),
        KEV_FIELD(Volt2ULimit),        KEV_FIELD(Volt2LLimit),        KEV_FIELD(Volt3ULimit),
        KEV_FIELD(Volt3LLimit),        KEV_FIELD(Volt4ULimit),        KEV_FIELD(Volt4LLimit),
        KEV_FIELD(Volt5ULimit),        KEV_FIELD(Volt5LLimit),        KEV_FIELD(Volt6ULimit),
        KEV_FIELD(Volt6LLimit),        KEV_FIELD(Volt7ULimit),        KEV_FIELD(Volt7LLimit),
        KEV_FIELD(Volt8ULimit),        KEV_FIELD(Volt8LLimit),        KEV_FIELD(Volt9ULimit),
        KEV_FIELD(Volt9LLimit)}},
  }};
  return groups;
}

#undef KEV_FIELD

// A DWORD as the registry gives it: more than 4 bytes fails, fewer are
// taken as the low bytes.
std::optional<uint32_t> ReadDword(const std::optional<RegValue>& v) {
  if (!v || v->type != REG_DWORD || v->data.size() > 4) return std::nullopt;
  uint32_t out = 0;
  for (size_t i = 0; i < v->data.size(); ++i) out |= uint32_t{v->data[i]} << (8 * i);
  return out;
}

// Missing text is empty; text of another type fails; a zero byte ends it.
std::optional<std::string> ReadText(const std::optional<RegValue>& v) {
  if (!v) return std::string();
  if (v->type != REG_SZ && v->type != REG_EXPAND_SZ) return std::nullopt;
  std::string out;
  for (uint8_t b : v->data) {
    if (b == 0) break;
    out.push_back(static_cast<char>(b));
  }
  return out;
}

// Reads one field into s; false on the group's first failure.
bool ReadField(const Registry& reg, std::string_view key, const Field& f, MonitorSettings& s) {
  std::optional<RegValue> v = reg.queryValue(key, f.name);
  if (auto p = std::get_if<std::string MonitorSettings::*>(&f.ptr)) {
    std::optional<std::string> text = ReadText(v);
    if (!text) return false;
    s.** p = std::move(*text);
    return true;
  }
  std::optional<uint32_t> dword = ReadDword(v);
  if (!dword) return false;
  if (auto p = std::get_if<bool MonitorSettings::*>(&f.ptr)) {
    s.** p = *dword != 0;
  } else {
    s.*std::get<int32_t MonitorSettings::*>(f.ptr) = static_cast<int32_t>(*dword);
  }
  return true;
}

bool LoadGroup(const Registry& reg, const Group& g, MonitorSettings& s,
               const MonitorSettings& defaults) {
  bool ok = reg.openKey(g.key);
  for (size_t i = 0; ok && i < g.fields.size(); ++i) ok = ReadField(reg, g.key, g.fields[i], s);
  if (!ok) {
    for (const Field& f : g.fields) {
      std::visit([&](auto p) { s.*p = defaults.*p; }, f.ptr);
    }
  }
  return ok;
}

RegValue Encode(const Field& f, const MonitorSettings& s) {
  if (auto p = std::get_if<std::string MonitorSettings::*>(&f.ptr)) return TextValue(s.**p);
  if (auto p = std::get_if<bool MonitorSettings::*>(&f.ptr)) return DwordValue(s.**p ? 1 : 0);
  return DwordValue(static_cast<uint32_t>(s.*std::get<int32_t MonitorSettings::*>(f.ptr)));
}

}  // namespace

MonitorSettings DefaultSettings(const LoadContext& ctx) {
  MonitorSettings d;
  d.xPosition = static_cast<int32_t>((int64_t{ctx.screenWidth} - int64_t{ctx.windowWidth}) / 2);
  d.yPosition = static_cast<int32_t>((int64_t{ctx.screenHeight} - int64_t{ctx.windowHeight}) / 2);
  return d;
}

LoadResult LoadSettings(const Registry& reg, MonitorSettings& s, const LoadContext& ctx) {
  const MonitorSettings defaults = DefaultSettings(ctx);
  LoadResult result;
  for (const Group& g : Groups()) {
    bool read = LoadGroup(reg, g, s, defaults);
    if (!read) result.defaultedGroups.emplace_back(g.key);
    if (g.key == kGeneralKey) s.SettingsDefaulted = !read;
  }
  return result;
}

SaveResult SaveSettings(Registry& reg, const MonitorSettings& s) {
  for (const Group& g : Groups()) {
    if (!reg.createKey(g.key)) {
      return SaveResult::Failed("Cannot create the registry key \"" + std::string(g.key) + "\".");
    }
    for (const Field& f : g.fields) {
      if (!reg.setValue(g.key, f.name, Encode(f, s))) {
        return SaveResult::Failed("Cannot write the value \"" + std::string(f.name) + "\" in \"" +
                                  std::string(g.key) + "\".");
      }
    }
  }
  return reg.flush();
}

}  // namespace kev
