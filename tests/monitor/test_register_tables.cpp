// Which registers each chip kind's channels read, over either access path,
// recorded at the bus: the chip's register map checked kind by kind.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "monitor/fan_channel.h"
#include "monitor/temp_channel.h"
#include "monitor/volt_channel.h"
#include "monitor_rig.h"
#include "sim/smbus_host.h"

namespace kev {
namespace {

constexpr uint16_t kIsaBase = 0x290;
constexpr uint16_t kIsaSpan = 0x70;  // 290h..2FFh: the index pair and VIA/PC87366 blocks
constexpr uint16_t kIndexPort = kIsaBase + 5;
constexpr uint16_t kDataPort = kIsaBase + 6;
constexpr int32_t kFsmBase = 0x2C0;
constexpr int32_t kVlmBase = 0x2D0;
constexpr int32_t kTmsBase = 0x2E0;
constexpr uint16_t kSmbBase = 0x5000;
constexpr uint8_t kChipAddress = 0x2D;
constexpr uint8_t kSensorAddress = 0x49;
constexpr int32_t kSensorIndex = 7;  // 49h in the sensor address list
constexpr int32_t kPiix4Id = 0x71138086;
constexpr uint8_t kAnyValue = 100;  // valid for every chip: not 0, not 255, above 26

std::string Hex(const char* fmt, unsigned a, unsigned b = 0) {
  char buf[16];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

// Values a recorder answers per register (per low port byte outside the
// index pair), one per read, the last one repeating; kAnyValue otherwise.
class Script {
 public:
  void Set(uint8_t reg, std::vector<uint8_t> values) { values_[reg] = std::move(values); }
  uint8_t Next(uint8_t reg) {
    auto it = values_.find(reg);
    if (it == values_.end() || it->second.empty()) return kAnyValue;
    const uint8_t v = it->second.front();
    if (it->second.size() > 1) it->second.erase(it->second.begin());
    return v;
  }

 private:
  std::map<uint8_t, std::vector<uint8_t>> values_;
};

// Index/data pair at 295h/296h ("r27" reads, "4E=81" writes); other ports
// log as "p2B0" reads and "p2D9=09" writes.
class IsaRecorder : public sim::IoDevice {
 public:
  explicit IsaRecorder(std::vector<std::string>& log) : log_(log) {}
  uint8_t ioRead8(uint16_t port) override {
    log_.push_back(port == kDataPort ? Hex("r%02X", index_) : Hex("p%03X", port));
    return script.Next(port == kDataPort ? index_ : static_cast<uint8_t>(port));
  }
  Script script;

  void ioWrite8(uint16_t port, uint8_t value) override {
    if (port == kIndexPort) {
      index_ = value;
    } else if (port == kDataPort) {
      log_.push_back(Hex("%02X=%02X", index_, value));
    } else {
      log_.push_back(Hex("p%03X=%02X", port, value));
    }
  }

 private:
  std::vector<std::string>& log_;
  uint8_t index_ = 0;
};

// An SMBus device logging "r27" byte reads, "w07" word reads and "4E=80"
// byte writes, with a prefix naming the device.
class SmbRecorder : public sim::SmbusSlave {
 public:
  SmbRecorder(std::vector<std::string>& log, std::string prefix)
      : log_(log), prefix_(std::move(prefix)) {}
  std::optional<uint8_t> smbReadByte(uint8_t cmd) override {
    log_.push_back(prefix_ + Hex("r%02X", cmd));
    return script.Next(cmd);
  }
  Script script;

  bool smbWriteByte(uint8_t cmd, uint8_t value) override {
    log_.push_back(prefix_ + Hex("%02X=%02X", cmd, value));
    return true;
  }
  std::optional<uint16_t> smbReadWord(uint8_t cmd) override {
    log_.push_back(prefix_ + Hex("w%02X", cmd));
    return static_cast<uint16_t>(script.Next(cmd) << 8 | script.Next(cmd + 1));
  }

 private:
  std::vector<std::string>& log_;
  std::string prefix_;
};

struct Recording {
  explicit Recording(bool smbus)
      : host(sim::AddSmbusHost(machine, sim::SmbusHostFamily::Piix4, kSmbBase, bus)) {
    machine.map(kIsaBase, kIsaSpan, &isa);
    bus.attach(kChipAddress, &chip);
    bus.attach(kSensorAddress, &sensor);
    rig.detect.pm.VendorDevice = kPiix4Id;
    rig.detect.pm.SmbBase = kSmbBase;
    rig.detect.chip.MainSmbAddress = kChipAddress;
    rig.detect.chip.FsmBase = kFsmBase;
    rig.detect.chip.VlmBase = kVlmBase;
    rig.detect.chip.TmsBase = kTmsBase;
    rig.settings.MainChipPortAddress = kIsaBase;
    rig.settings.MainChipSMBUse = smbus;
    rig.settings.Temp2SMBAddress = rig.settings.Temp3SMBAddress = kSensorIndex;
  }

  // Each channel's accesses, the channels separated by '|'.
  template <class Read>
  std::string Channels(int count, Read read) {
    std::string all;
    for (int n = 0; n < count; ++n) {
      log.clear();
      read(n);
      if (n > 0) all += '|';
      for (size_t i = 0; i < log.size(); ++i) all += (i > 0 ? " " : "") + log[i];
    }
    return all;
  }

  std::vector<std::string> log;
  sim::SimMachine machine;
  sim::SmbusBus bus;
  sim::SmbusHost& host;
  IsaRecorder isa{log};
  SmbRecorder chip{log, ""};
  SmbRecorder sensor{log, "@49:"};
  test::MonitorRig rig{machine};
};

struct KindRow {
  int32_t kind;
  const char* fans;
  const char* temps;
  const char* volts;
};

void CheckRows(bool smbus, const std::vector<KindRow>& rows) {
  for (const KindRow& row : rows) {
    Recording r(smbus);
    r.rig.detect.chip.ChipKind = row.kind;
    r.rig.detect.chip.SmbTempSensorType = row.kind;
    const MonitorContext& ctx = r.rig.ctx;
    const std::string kind = Hex("kind %Xh", static_cast<unsigned>(row.kind));
    EXPECT_EQ(r.Channels(3, [&](int n) { ReadFanCount(ctx, n); }), row.fans) << kind;
    EXPECT_EQ(r.Channels(3, [&](int n) { ReadTempSource(ctx, n); }), row.temps) << kind;
    EXPECT_EQ(r.Channels(9, [&](int n) { ReadVoltRaw(ctx, n); }), row.volts) << kind;
  }
}

constexpr const char* kNoFans = "||";
constexpr const char* kNoTemps = "||";
constexpr const char* kNoVolts = "||||||||";

TEST(RegisterTables, IsaPath) {
  constexpr const char* kLmFans = "r28|r29|r2A";
  constexpr const char* kLmTemps = "r27||";
  constexpr const char* kLmVolts = "r20|r21|r22|r23|r24|r25|r26||";
  constexpr const char* kWbFans = "4E=80 r28 4E=80|4E=80 r29 4E=80|4E=80 r2A 4E=80";
  constexpr const char* kWbTemps =
      "4E=80 r27 4E=80|4E=81 r50 4E=80 4E=81 r51 4E=80|4E=82 r50 4E=80 4E=82 r51 4E=80";
  constexpr const char* kWbVolts7 =
      "4E=80 r20 4E=80|4E=80 r21 4E=80|4E=80 r22 4E=80|4E=80 r23 4E=80|4E=80 r24 4E=80|"
      "4E=80 r25 4E=80|4E=80 r26 4E=80||";
  constexpr const char* kWbVolts9 =
      "4E=80 r20 4E=80|4E=80 r21 4E=80|4E=80 r22 4E=80|4E=80 r23 4E=80|4E=80 r24 4E=80|"
      "4E=80 r25 4E=80|4E=80 r26 4E=80|4E=85 r50 4E=80|4E=85 r51 4E=80";
  constexpr const char* kItFans = "r0D|r0E|r0F";
  constexpr const char* kItVolts = "r20|r21|r22|r23|r24|r25|r26|r27|r28";
  constexpr const char* kViaFans = "p2B9|p2BA|";
  constexpr const char* kViaTemps = "p2B0|p2B1|";
  constexpr const char* kViaVolts = "p2B2|p2B3|p2B4|p2B5|p2B6||||";
  CheckRows(false, {
                       {kind::LM78Compatible, kLmFans, kLmTemps, kLmVolts},
                       {kind::LM78, kLmFans, kLmTemps, kLmVolts},
                       {kind::LM78J, kLmFans, kLmTemps, kLmVolts},
                       {kind::LM79, kLmFans, kLmTemps, kLmVolts},
                       {kind::LM80, kNoFans, kNoTemps, kNoVolts},
                       {kind::LM81, kNoFans, kNoTemps, kNoVolts},
                       {kind::LM87, kNoFans, kNoTemps, kNoVolts},
                       {kind::PC87366, "p2C7|p2CA|p2CD", "p2E9=00 p2EB|p2E9=01 p2EB|p2E9=02 p2EB",
                        "p2D9=09 p2DB|p2D9=01 p2DB|p2D9=02 p2DB|p2D9=03 p2DB|p2D9=04 p2DB|"
                        "p2D9=05 p2DB|p2D9=06 p2DB|p2D9=07 p2DB|p2D9=08 p2DB"},
                       {kind::WinbondChip, kWbFans, kWbTemps, kWbVolts7},
                       {kind::W83781D, kWbFans, kWbTemps, kWbVolts7},
                       {kind::W83627HF, kWbFans, kWbTemps, kWbVolts9},
                       {kind::W83782D, kWbFans, kWbTemps, kWbVolts9},
                       {kind::W83783S, kNoFans, kNoTemps, kNoVolts},
                       {kind::W83697HF, kWbFans, kWbTemps, kWbVolts9},
                       {kind::GL518SM, kNoFans, kNoTemps, kNoVolts},
                       {kind::GL520SM, kNoFans, kNoTemps, kNoVolts},
                       {kind::AS99127F_WB, kNoFans, kNoTemps, kNoVolts},
                       {kind::AS99127F_AS, kNoFans, kNoTemps, kNoVolts},
                       {kind::SiS5595, kLmFans, "r24||", "r20||r22|r23|r21||||"},
                       {kind::VT82C686A, kViaFans, kViaTemps, kViaVolts},
                       {kind::VT8231, kViaFans, kViaTemps, kViaVolts},
                       {kind::IT8705F, kItFans, "r29|r2A|r2B", kItVolts},
                       {kind::IT8712F, kItFans, "r29|r2A|r2B", kItVolts},
                       {kind::Unknown, kNoFans, kNoTemps, kNoVolts},
                       {-1, kNoFans, kNoTemps, kNoVolts},
                   });
}

TEST(RegisterTables, SmbusPath) {
  constexpr const char* kLmFans = "r28|r29|r2A";
  constexpr const char* kLmVolts = "r20|r21|r22|r23|r24|r25|r26||";
  constexpr const char* kLm8xVolts = "r21|r20|r22|r23|r24||||";
  constexpr const char* kWbFans = "4E=80 r28|4E=80 r29|4E=80 r2A";
  constexpr const char* kWbTemps = "4E=80 r27|4E=81 r50 r51 4E=80|4E=82 r50 r51 4E=80";
  constexpr const char* kWbVolts7 =
      "4E=80 r20|4E=80 r21|4E=80 r22|4E=80 r23|4E=80 r24|4E=80 r25|4E=80 r26||";
  constexpr const char* kWbVolts9 =
      "4E=80 r20|4E=80 r21|4E=80 r22|4E=80 r23|4E=80 r24|4E=80 r25|4E=80 r26|4E=85 r50|4E=85 r51";
  constexpr const char* kAsTemps = "4E=80 r27|@49:w00|@49:w00";
  constexpr const char* kGlFans = "w07|w07|";
  constexpr const char* kGlVolts = "r0D||r14|r15|r13||||";
  constexpr const char* kItFans = "r0D|r0E|r0F";
  constexpr const char* kItVolts = "r20|r21|r22|r23|r24|r25|r26|r27|r28";
  CheckRows(true, {
                      {kind::LM78Compatible, kLmFans, "r27||", kLmVolts},
                      {kind::LM78, kLmFans, "r27||", kLmVolts},
                      {kind::LM78J, kLmFans, "r27||", kLmVolts},
                      {kind::LM79, kLmFans, "r27||", kLmVolts},
                      {kind::LM80, "r28|r29|", "r27 r06||", kLmVolts},
                      {kind::LM81, "r28|r29|", "r27||", kLm8xVolts},
                      {kind::LM87, "r28|r29|", "r27|r26|r20", kLm8xVolts},
                      {kind::PC87366, kNoFans, kNoTemps, kNoVolts},
                      {kind::WinbondChip, kWbFans, kWbTemps, kWbVolts7},
                      {kind::W83781D, kWbFans, kWbTemps, kWbVolts7},
                      {kind::W83627HF, kWbFans, kWbTemps, kWbVolts9},
                      {kind::W83782D, kWbFans, kWbTemps, kWbVolts9},
                      {kind::W83783S, kWbFans, "4E=80 r27||",
                       "4E=80 r20||4E=80 r22|4E=80 r23|4E=80 r24|4E=80 r25|4E=80 r26||"},
                      {kind::W83697HF, kNoFans, kNoTemps, kNoVolts},
                      {kind::GL518SM, kGlFans, "r04||", kGlVolts},
                      {kind::GL520SM, kGlFans, "r04|r0E|", kGlVolts},
                      {kind::AS99127F_WB, kWbFans, kAsTemps, kWbVolts7},
                      {kind::AS99127F_AS, kWbFans, kAsTemps, kWbVolts7},
                      {kind::SiS5595, kNoFans, kNoTemps, kNoVolts},
                      {kind::VT82C686A, kNoFans, kNoTemps, kNoVolts},
                      {kind::VT8231, kNoFans, kNoTemps, kNoVolts},
                      {kind::IT8705F, kItFans, "r29|r2A|r2B", kItVolts},
                      {kind::IT8712F, kItFans, "r29|r2A|r2B", kItVolts},
                      {kind::Unknown, kNoFans, kNoTemps, kNoVolts},
                  });
}

// The auxiliary sensors are read at their own address whatever the chip's
// path: a word at register 0, or the local and remote bytes.
TEST(RegisterTables, AuxiliarySensors) {
  for (bool smbus : {false, true}) {
    Recording r(smbus);
    r.rig.detect.chip.ChipKind = kind::LM78;
    r.rig.settings.Temp2SMBUse = r.rig.settings.Temp3SMBUse = true;
    r.rig.detect.chip.SmbTempSensorType = kSensorWord;
    const MonitorContext& ctx = r.rig.ctx;
    EXPECT_EQ(r.Channels(3, [&](int n) { ReadTempSource(ctx, n); }), "r27|@49:w00|@49:w00");
    r.rig.detect.chip.SmbTempSensorType = kSensorByte;
    EXPECT_EQ(r.Channels(3, [&](int n) { ReadTempSource(ctx, n); }), "r27|@49:r00|@49:r01");
  }
}

// How the bytes read become degrees, chip rule by chip rule.
TEST(TempRules, ChipFormulas) {
  struct Case {
    int32_t kind;
    bool smbus;
    int n;
    uint8_t reg;
    std::vector<uint8_t> values;
    const char* text;
  };
  const std::vector<Case> cases{
      {kind::LM78, false, 0, 0x27, {0xF6}, "-10.0C / 14.0F"},
      {kind::IT8705F, false, 1, 0x2A, {100}, "68.0C / 154.0F"},
      {kind::IT8705F, true, 1, 0x2A, {100}, "68.0C / 154.0F"},
      {kind::IT8712F, false, 1, 0x2A, {100}, "100.0C / 212.0F"},
      // Genesys Logic: one degree per step above 119 (GL518SM) or 130 (GL520SM).
      {kind::GL518SM, true, 0, 0x04, {179}, "60.0C / 140.0F"},
      {kind::GL520SM, true, 0, 0x04, {190}, "60.0C / 140.0F"},
      {kind::GL520SM, true, 1, 0x0E, {100}, "-30.0C / -22.0F"},
      {kind::VT82C686A, false, 0, 0x20 + 0x90, {0x0F}, "-50.0C / -58.0F"},
      {kind::VT8231, false, 1, 0x21 + 0x90, {0xF3}, "110.0C / 230.0F"},
      {kind::VT82C686A, false, 0, 0x20 + 0x90, {0xF4}, "0.0C / 32.0F"},
      {kind::VT82C686A, false, 0, 0x20 + 0x90, {0x0E}, "0.0C / 32.0F"},
      // The SiS 5595 retries below 26 up to ten times.
      {kind::SiS5595, false, 0, 0x24, {20, 25, 30}, "-42.0C / -43.0F"},
      {kind::SiS5595, false, 0, 0x24, {115}, "0.0C / 32.0F"},
      {kind::SiS5595, false, 0, 0x24, {25}, "N/A"},
      {kind::SiS5595, false, 0, 0x24, {255}, "N/A"},
      {kind::LM80, true, 0, 0x06, {0x80}, "100.5C / 212.5F"},
  };
  for (const Case& c : cases) {
    Recording r(c.smbus);
    r.rig.detect.chip.ChipKind = c.kind;
    (c.smbus ? r.chip.script : r.isa.script).Set(c.reg, c.values);
    EXPECT_EQ(ReadTempChannel(r.rig.ctx, c.n), c.text) << Hex("kind %Xh", c.kind);
  }
}

// A damaged settings file may hold any 32-bit adjustor or limit.
TEST(TempRules, ExtremeAdjustorsAndLimitsStayExact) {
  Recording r(false);
  r.rig.detect.chip.ChipKind = kind::LM78;
  r.isa.script.Set(0x27, {100});
  r.rig.settings.Temp1Adjustor = INT32_MAX;
  r.rig.settings.Temp1Limit = INT32_MAX;
  EXPECT_EQ(ReadTempChannel(r.rig.ctx, 0), "2147483747.0C / 3865470776.0F [Err]");
  r.rig.settings.Temp1Adjustor = INT32_MIN;
  r.rig.settings.Temp1Limit = INT32_MIN;
  EXPECT_EQ(ReadTempChannel(r.rig.ctx, 0), "-2147483548.0C / -3865470354.0F [Err]");
}

TEST(TempRules, SisGivesUpAfterTenReads) {
  Recording r(false);
  r.rig.detect.chip.ChipKind = kind::SiS5595;
  r.isa.script.Set(0x24, {25});
  EXPECT_EQ(r.Channels(1, [&](int n) { ReadTempSource(r.rig.ctx, n); }),
            "r24 r24 r24 r24 r24 r24 r24 r24 r24 r24");
}

// Both bank-1 bytes are read and bank 0 restored even when one read fails.
TEST(TempRules, WinbondBankRestoredAfterAFailedRead) {
  Recording r(true);
  r.rig.detect.chip.ChipKind = kind::W83782D;
  r.bus.setSilent(kChipAddress, true);
  EXPECT_EQ(ReadTempChannel(r.rig.ctx, 1), "N/A");
  r.bus.setSilent(kChipAddress, false);
  r.chip.script.Set(0x50, {0xFE});
  r.chip.script.Set(0x51, {0x80});
  EXPECT_EQ(ReadTempChannel(r.rig.ctx, 1), "-2.5C / 28.5F");
  EXPECT_EQ(r.log.back(), "4E=80");
}

// The invalid markers and the VIA wrap, and what the limits see.
TEST(VoltRules, InvalidMarkersAndWrap) {
  struct Case {
    int32_t kind;
    bool smbus;
    int n;
    uint8_t reg;
    uint8_t value;
    const char* text;
  };
  const std::vector<Case> cases{
      {kind::LM78, false, 0, 0x20, 255, "N/A"},
      {kind::LM78, false, 0, 0x20, 0, "0.0V [Err]"},
      {kind::W83782D, true, 8, 0x51, 255, "N/A"},
      {kind::PC87366, false, 1, 0xDB, 0, "N/A"},
      {kind::GL518SM, true, 0, 0x0D, 0, "N/A"},
      {kind::GL520SM, true, 3, 0x15, 208, "+5.0V"},
      {kind::VT82C686A, false, 0, 0x22 + 0x90, 255, "N/A"},
      {kind::VT82C686A, false, 0, 0x22 + 0x90, 64, "+3.9V [Err]"},
      {kind::VT82C686A, false, 0, 0x22 + 0x90, 65, "+0.8V"},
      {kind::SiS5595, false, 4, 0x21, 123, "+12.0V"},
      {kind::LM81, true, 2, 0x22, 192, "+3.3V"},
  };
  for (const Case& c : cases) {
    Recording r(c.smbus);
    r.rig.detect.chip.ChipKind = c.kind;
    (c.smbus ? r.chip.script : r.isa.script).Set(c.reg, {c.value});
    EXPECT_EQ(ReadVoltChannel(r.rig.ctx, c.n), c.text) << Hex("kind %Xh", c.kind);
  }
}

// Only a count of 0 or 255 lacks a reading; a valid count below the
// constant shows a speed of 0.
TEST(FanRules, TextFollowsTheCount) {
  Recording r(false);
  r.rig.detect.chip.ChipKind = kind::LM78;
  r.isa.script.Set(0x28, {200});
  EXPECT_EQ(ReadFanChannel(r.rig.ctx, 0), "3375RPM");
  r.rig.detect.FanDivisor[0] = 100000;  // as large as a damaged pulse setting makes it
  EXPECT_EQ(ReadFanChannel(r.rig.ctx, 0), "0RPM");
  r.isa.script.Set(0x28, {0});
  EXPECT_EQ(ReadFanChannel(r.rig.ctx, 0), "N/A [Err]");
}

// A port setting on the system board's ports or whose index/data pair would
// leave the port space, or a PC87366 block that was never found, is not
// touched: the accesses would land on (or wrap onto) system devices.
TEST(RegisterTables, UnusablePortsAreNotTouched) {
  struct Case {
    int32_t kind;
    int32_t port;
    int32_t pcBase;
  };
  for (const Case& c : {Case{kind::LM78, -1, kFsmBase}, Case{kind::W83782D, 0xFFFA, kFsmBase},
                        Case{kind::IT8712F, 0x10000, kFsmBase},
                        Case{kind::VT82C686A, 0xFFF0, kFsmBase}, Case{kind::PC87366, kIsaBase, -1},
                        Case{kind::LM78, 0x2E, kFsmBase}, Case{kind::W83627HF, 0x5B, kFsmBase},
                        Case{kind::VT8231, 0, kFsmBase}, Case{kind::PC87366, kIsaBase, 0}}) {
    Recording r(false);
    r.rig.detect.chip.ChipKind = c.kind;
    r.rig.settings.MainChipPortAddress = c.port;
    r.rig.detect.chip.FsmBase = r.rig.detect.chip.VlmBase = r.rig.detect.chip.TmsBase = c.pcBase;
    r.machine.resetAccessCount();
    const std::string kind = Hex("kind %Xh", static_cast<unsigned>(c.kind));
    EXPECT_EQ(ReadFanChannel(r.rig.ctx, 0), "N/A [Err]") << kind;
    EXPECT_EQ(ReadTempChannel(r.rig.ctx, 0), "N/A") << kind;
    EXPECT_EQ(ReadVoltChannel(r.rig.ctx, 0), "N/A") << kind;
    SetFanCounter(r.rig.ctx, 0, true);
    EXPECT_EQ(r.machine.accessCount(), 0u) << kind;
  }
}

// Fan counter switch: read-modify-write of register 4Dh in bank 0, over the
// chip's path; the W83783S always over the SMBus.
TEST(RegisterTables, FanCounterSwitch) {
  struct Case {
    int32_t kind;
    bool smbus;
    int n;
    bool on;
    const char* accesses;
  };
  const std::vector<Case> cases{
      {kind::W83627HF, false, 0, false, "4E=80 r4D 4E=80 4E=80 4D=64 4E=80"},
      {kind::W83697HF, false, 1, true, "4E=80 r4D 4E=80 4E=80 4D=64 4E=80"},
      {kind::WinbondChip, false, 2, true, "4E=80 r4D 4E=80 4E=80 4D=74 4E=80"},
      {kind::W83782D, true, 2, false, "4E=80 r4D 4D=64"},
      {kind::W83697HF, true, 0, true, "4E=80 r4D 4D=65"},
      {kind::W83783S, false, 1, false, "4E=80 r4D 4D=60"},
      {kind::AS99127F_WB, true, 0, true, ""},
      {kind::LM78, false, 0, true, ""},
      {kind::IT8712F, false, 0, true, ""},
  };
  for (const Case& c : cases) {
    Recording r(c.smbus);
    r.rig.detect.chip.ChipKind = c.kind;
    EXPECT_EQ(r.Channels(1, [&](int) { SetFanCounter(r.rig.ctx, c.n, c.on); }), c.accesses)
        << Hex("kind %Xh", static_cast<unsigned>(c.kind));
  }
}

}  // namespace
}  // namespace kev
