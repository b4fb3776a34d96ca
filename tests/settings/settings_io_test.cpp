// Loading and saving the seven groups: the all-or-nothing rule and the type rules.
#include "settings/settings_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kev {
namespace {

// Registry path and value names spelled out here, so a wrong shared
// constant cannot hide.
constexpr const char* kGeneral = "Software\\Tolvenor\\Kevatra\\General";
constexpr const char* kErrorAction = "Software\\Tolvenor\\Kevatra\\ErrorAction";
constexpr const char* kLogging = "Software\\Tolvenor\\Kevatra\\Logging";
constexpr const char* kFanSpeed = "Software\\Tolvenor\\Kevatra\\FanSpeed";
constexpr const char* kTemperature = "Software\\Tolvenor\\Kevatra\\Temperature";

class SettingsIoTest : public ::testing::Test {
 protected:
  // A registry holding a complete save of a record that differs from the defaults.
  void SetUp() override {
    stored.AlwaysOnTop = true;
    stored.IntervalTime = 5000;
    stored.xPosition = 17;
    stored.ErrAct2Switch = true;
    stored.SoundFile1 = "fan.wav";
    stored.SoundFile2 = "temp.wav";
    stored.SoundFile3 = "volt.wav";
    stored.LoggingVolt9 = true;
    stored.LogFileSizeLimit = 7;
    stored.LogFileDirectory = "/var/log/kev/";
    stored.Fan2PPR = 2;
    stored.Fan1Limit = 100;
    stored.Temp2SMBAddress = -1;
    stored.Temp3SMBAddress = 4;
    stored.Temp1Adjustor = -5;
    stored.Volt9LLimit = 200;
    ASSERT_TRUE(SaveSettings(reg, stored));
  }

  MonitorSettings Load(const LoadContext& ctx = {}) {
    MonitorSettings s;
    LoadSettings(reg, s, ctx);
    return s;
  }

  MemoryRegistry reg;
  MonitorSettings stored;
};

TEST_F(SettingsIoTest, FirstRunTakesEveryDefaultAndCentresTheWindow) {
  MemoryRegistry empty;
  MonitorSettings s;
  s.IntervalTime = 42;  // whatever was there before is replaced
  LoadResult r = LoadSettings(empty, s, {1024, 768, 301, 200});
  EXPECT_TRUE(s.SettingsDefaulted);
  EXPECT_EQ(r.defaultedGroups.size(), 7u);
  EXPECT_EQ(s.IntervalTime, 1000);
  EXPECT_EQ(s.xPosition, 361);  // (1024 - 301) / 2 truncated
  EXPECT_EQ(s.yPosition, 284);
  EXPECT_FALSE(s.CheckBoxFan1);
  EXPECT_EQ(s.MainChipPortAddress, 0x290);
  EXPECT_EQ(s.Temp2SMBAddress, -1);
  EXPECT_EQ(s.Volt5PositionIndex, 4);
  // A window wider than the screen: the division truncates toward zero.
  MonitorSettings wide;
  LoadSettings(empty, wide, {800, 600, 1001, 603});
  EXPECT_EQ(wide.xPosition, -100);
  EXPECT_EQ(wide.yPosition, -1);
}

TEST_F(SettingsIoTest, SavedRecordLoadsBackUnchanged) {
  MonitorSettings s = Load();
  EXPECT_FALSE(s.SettingsDefaulted);
  EXPECT_TRUE(s == stored);
}

TEST_F(SettingsIoTest, ValuesAreStoredWithTheirNamesAndTypes) {
  EXPECT_EQ(reg.queryValue(kGeneral, "IntervalTime"), DwordValue(5000));
  EXPECT_EQ(reg.queryValue(kGeneral, "AlwaysOnTop"), DwordValue(1));
  EXPECT_EQ(reg.queryValue(kErrorAction, "SoundFile1"), TextValue("fan.wav"));
  EXPECT_EQ(reg.queryValue(kLogging, "LogFileDirectory")->data.back(), 0);  // with its zero
  EXPECT_EQ(reg.queryValue("Software\\Tolvenor\\Kevatra\\Display", "CheckBoxVolt9"), DwordValue(0));
  EXPECT_EQ(reg.queryValue("Software\\Tolvenor\\Kevatra\\Voltage", "Volt9LLimit"), DwordValue(200));
  EXPECT_EQ(reg.queryValue(kTemperature, "Temp1Adjustor"), DwordValue(0xFFFFFFFB));
}

TEST_F(SettingsIoTest, MinusOneIsStoredAsAllOnesAndReadsBack) {
  EXPECT_EQ(reg.queryValue(kTemperature, "Temp2SMBAddress"), DwordValue(0xFFFFFFFF));
  EXPECT_EQ(Load().Temp2SMBAddress, -1);
}

TEST_F(SettingsIoTest, FlagStoredAsTwoReadsTrueAndSavesAsOne) {
  reg.setValue(kGeneral, "MonitorWindowMode", DwordValue(2));
  MonitorSettings s = Load();
  EXPECT_TRUE(s.MonitorWindowMode);
  ASSERT_TRUE(SaveSettings(reg, s));
  EXPECT_EQ(reg.queryValue(kGeneral, "MonitorWindowMode"), DwordValue(1));
}

TEST_F(SettingsIoTest, MissingNumberPutsOnlyItsGroupToDefaults) {
  reg.deleteValue(kLogging, "LogFileSizeLimit");
  MonitorSettings s = Load();
  EXPECT_FALSE(s.LoggingVolt9);  // read before the failure, still defaulted
  EXPECT_EQ(s.LogFileSizeLimit, 1);
  EXPECT_EQ(s.LogFileDirectory, "");
  EXPECT_EQ(s.SoundFile1, "fan.wav");  // other groups unaffected
  EXPECT_EQ(s.Fan1Limit, 100);
  EXPECT_FALSE(s.SettingsDefaulted);
}

TEST_F(SettingsIoTest, MistypedNumberPutsTheWholeGroupToDefaults) {
  reg.setValue(kFanSpeed, "Fan2Limit", TextValue("100"));
  MonitorSettings s = Load();
  EXPECT_EQ(s.Fan2PPR, 1);
  EXPECT_EQ(s.Fan1Limit, 254);
  EXPECT_EQ(s.Fan3PositionIndex, 2);
}

TEST_F(SettingsIoTest, DwordLongerThanFourBytesFailsAndShorterIsTakenAsLowBytes) {
  reg.setValue(kFanSpeed, "Fan1Limit", RegValue{REG_DWORD, {100, 0, 0, 0, 0}});
  EXPECT_EQ(Load().Fan2PPR, 1);
  reg.setValue(kFanSpeed, "Fan1Limit", RegValue{REG_DWORD, {99}});
  MonitorSettings s = Load();
  EXPECT_EQ(s.Fan1Limit, 99);
  EXPECT_EQ(s.Fan2PPR, 2);
}

TEST_F(SettingsIoTest, MissingTextReadsEmptyButTextOfWrongTypeFailsTheGroup) {
  reg.deleteValue(kErrorAction, "SoundFile2");
  MonitorSettings s = Load();
  EXPECT_EQ(s.SoundFile2, "");
  EXPECT_EQ(s.SoundFile3, "volt.wav");
  EXPECT_TRUE(s.ErrAct2Switch);

  reg.setValue(kErrorAction, "SoundFile1", DwordValue(1));
  s = Load();
  EXPECT_EQ(s.SoundFile3, "");
  EXPECT_FALSE(s.ErrAct2Switch);
}

TEST_F(SettingsIoTest, TextIsCutAtItsFirstZeroAndExpandableTextIsLiteral) {
  reg.setValue(kErrorAction, "SoundFile1", RegValue{REG_SZ, {'a', 0, 'b', 0}});
  reg.setValue(kErrorAction, "SoundFile2", TextValue("%HOME%/x.wav", REG_EXPAND_SZ));
  reg.setValue(kErrorAction, "SoundFile3", RegValue{REG_SZ, {'n', 'o', 'z'}});  // no zero
  MonitorSettings s = Load();
  EXPECT_EQ(s.SoundFile1, "a");
  EXPECT_EQ(s.SoundFile2, "%HOME%/x.wav");
  EXPECT_EQ(s.SoundFile3, "noz");
  ASSERT_TRUE(SaveSettings(reg, s));
  EXPECT_EQ(reg.queryValue(kErrorAction, "SoundFile2")->type, REG_SZ);
}

TEST_F(SettingsIoTest, GeneralGroupFailureSetsSettingsDefaulted) {
  reg.setValue(kGeneral, "yPosition", RegValue{REG_BINARY, {1, 0, 0, 0}});
  MonitorSettings s = Load({640, 480, 40, 80});
  EXPECT_TRUE(s.SettingsDefaulted);
  EXPECT_FALSE(s.AlwaysOnTop);
  EXPECT_EQ(s.xPosition, 300);
  EXPECT_EQ(s.IntervalTime, 1000);
  EXPECT_EQ(s.SoundFile1, "fan.wav");
}

TEST_F(SettingsIoTest, NamesMatchWithoutRegardToLetterCase) {
  reg.deleteValue(kGeneral, "IntervalTime");
  reg.setValue("software\\TOLVENOR\\kevatra\\general", "intervaltime", DwordValue(2000));
  EXPECT_EQ(Load().IntervalTime, 2000);
}

TEST_F(SettingsIoTest, OutOfRangeValuesAreKeptAsStored) {
  reg.setValue(kGeneral, "IntervalTime", DwordValue(1500));
  reg.setValue(kFanSpeed, "Fan1PPR", DwordValue(0));
  reg.setValue(kFanSpeed, "Fan1CaptionIndex", DwordValue(500));
  MonitorSettings s = Load();
  EXPECT_EQ(s.IntervalTime, 1500);
  EXPECT_EQ(s.Fan1PPR, 0);
  EXPECT_EQ(s.Fan1CaptionIndex, 500);
}

// Every value of every group, in the order the groups are written; texts marked.
TEST(SettingsLayout, EachKeyHoldsItsValuesInTableOrderWithTheirTypes) {
  struct Layout {
    const char* key;
    std::vector<std::string> names;
  };
  auto numbered = [](const std::string& prefix, int count, const std::string& suffix) {
    std::vector<std::string> out;
    for (int i = 1; i <= count; ++i) out.push_back(prefix + std::to_string(i) + suffix);
    return out;
  };
  auto join = [](std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  std::vector<std::string> voltLimits;
  for (int i = 1; i <= 9; ++i) {
    voltLimits.push_back("Volt" + std::to_string(i) + "ULimit");
    voltLimits.push_back("Volt" + std::to_string(i) + "LLimit");
  }
  const Layout layout[] = {
      {"Software\\Tolvenor\\Kevatra\\General",
       {"AlwaysOnTop", "MainChipPortAddressUse", "MainChipSMBUse", "MonitorWindowMode", "ASMS",
        "Sensor1OnDieDiode", "Sensor2OnDieDiode", "Sensor3OnDieDiode", "TransparencyPercentage",
        "MainChipPortAddress", "IntervalTime", "xPosition", "yPosition"}},
      {"Software\\Tolvenor\\Kevatra\\ErrorAction",
       join({numbered("ErrAct", 4, "Switch"), numbered("HoldErrAct", 4, ""),
             numbered("SoundFile", 3, "")})},
      {"Software\\Tolvenor\\Kevatra\\Display",
       join({numbered("CheckBoxFan", 3, ""), numbered("CheckBoxTemp", 3, ""),
             numbered("CheckBoxVolt", 9, "")})},
      {"Software\\Tolvenor\\Kevatra\\Logging", join({numbered("LoggingFan", 3, ""),
                                                     numbered("LoggingTemp", 3, ""),
                                                     numbered("LoggingVolt", 9, ""),
                                                     {"LogFileSizeLimit", "LogFileDirectory"}})},
      {"Software\\Tolvenor\\Kevatra\\FanSpeed",
       join({numbered("Fan", 3, "PPR"), numbered("Fan", 3, "PositionIndex"),
             numbered("Fan", 3, "CaptionIndex"), numbered("Fan", 3, "Limit")})},
      {"Software\\Tolvenor\\Kevatra\\Temperature",
       join({{"Temp2SMBUse", "Temp3SMBUse", "Temp2SMBAddress", "Temp3SMBAddress"},
             numbered("Temp", 3, "PositionIndex"),
             numbered("Temp", 3, "CaptionIndex"),
             {"Temp1Limit", "Temp1Adjustor", "Temp2Limit", "Temp2Adjustor", "Temp3Limit",
              "Temp3Adjustor"}})},
      {"Software\\Tolvenor\\Kevatra\\Voltage", join({{"VoltPrecision"},
                                                     numbered("Volt", 9, "PositionIndex"),
                                                     numbered("Volt", 9, "CaptionIndex"),
                                                     voltLimits})},
  };
  const std::vector<std::string> texts = {"SoundFile1", "SoundFile2", "SoundFile3",
                                          "LogFileDirectory"};

  MemoryRegistry reg;
  ASSERT_TRUE(SaveSettings(reg, MonitorSettings{}));
  std::vector<std::string> keys;
  for (const HiveKey* k : reg.tree().keys()) keys.push_back(k->path());
  std::vector<std::string> expectedKeys = {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER\\Software",
                                           "HKEY_CURRENT_USER\\Software\\Tolvenor",
                                           "HKEY_CURRENT_USER\\Software\\Tolvenor\\Kevatra"};
  for (const Layout& l : layout) expectedKeys.push_back(std::string("HKEY_CURRENT_USER\\") + l.key);
  EXPECT_EQ(keys, expectedKeys);

  for (const Layout& l : layout) {
    const HiveKey* key = reg.tree().find(std::string("HKEY_CURRENT_USER\\") + l.key);
    ASSERT_NE(key, nullptr) << l.key;
    std::vector<std::string> names;
    for (const HiveKey::Entry* e : key->entries()) {
      names.push_back(e->name);
      const bool text = std::find(texts.begin(), texts.end(), e->name) != texts.end();
      EXPECT_EQ(e->value.type, text ? REG_SZ : REG_DWORD) << e->name;
    }
    EXPECT_EQ(names, l.names) << l.key;
  }
}

// A registry that refuses one value, or refuses to flush.
class RefusingRegistry : public MemoryRegistry {
 public:
  std::string refuse;
  bool failFlush = false;
  int flushes = 0;
  bool setValue(std::string_view path, std::string_view name, const RegValue& v) override {
    return name != refuse && MemoryRegistry::setValue(path, name, v);
  }
  SaveResult flush() override {
    ++flushes;
    return failFlush ? SaveResult::Failed("disk full") : SaveResult{};
  }
};

TEST(SettingsSave, StopsAtTheFirstFailedValueAndDoesNotFlush) {
  RefusingRegistry reg;
  reg.refuse = "Fan2PPR";
  SaveResult r = SaveSettings(reg, MonitorSettings{});
  EXPECT_FALSE(r);
  EXPECT_NE(r.error.find("Fan2PPR"), std::string::npos);
  EXPECT_TRUE(reg.queryValue(kFanSpeed, "Fan1PPR"));          // written before
  EXPECT_FALSE(reg.queryValue(kFanSpeed, "Fan3PPR"));         // not reached
  EXPECT_FALSE(reg.openKey(kTemperature));                    // later groups not written
  EXPECT_TRUE(reg.queryValue(kLogging, "LogFileDirectory"));  // earlier groups written
  EXPECT_EQ(reg.flushes, 0);
}

TEST(SettingsSave, FlushFailureReachesTheCaller) {
  RefusingRegistry reg;
  reg.failFlush = true;
  SaveResult r = SaveSettings(reg, MonitorSettings{});
  EXPECT_FALSE(r);
  EXPECT_EQ(r.error, "disk full");
  EXPECT_EQ(reg.flushes, 1);
}

}  // namespace
}  // namespace kev
