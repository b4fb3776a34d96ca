// Chip configuration: divisor searches, access-mode flags, Winbond
// sub-clients and diodes, first-run presets and the auxiliary sensors.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "detect_fixture.h"
#include "sim/superio.h"

namespace kev::test {
namespace {

// Fan count register and divisor register of the LM78 family and Winbond.
constexpr uint8_t kLmFanDiv = 0x47;
constexpr uint8_t kWbPinCtl = 0x4B;
constexpr uint8_t kWbVbat = 0x5D;
constexpr uint8_t kWbSubClients = 0x4A;

std::string PiixBoard(const std::string& chips) {
  return R"({"host_bridge": {"kind": "440BX"}, "south_bridge": {"kind": "PIIX4", )"
         R"("smbus_base": "0x5000"}, "chips": [)" +
         chips + "]}";
}

std::string Fan(int rpm) { return R"({"rpm": )" + std::to_string(rpm) + "}"; }

struct Configured {
  explicit Configured(std::unique_ptr<sim::SimBoard> b) : board(std::move(b)) {}
  std::unique_ptr<sim::SimBoard> board;
  MonitorSettings s = FirstRunSettings();
  DetectState st;
  sim::MonitorChip* chip(const std::string& id) { return Chip(*board, id); }
};

Configured Configure(const std::string& json, MonitorSettings s = FirstRunSettings()) {
  Configured c(BoardFromJson(json));
  c.s = s;
  if (c.board) RunDetection(c.board->machine(), c.s, c.st);
  return c;
}

MonitorSettings LaterRun() {
  MonitorSettings s;
  s.SettingsDefaulted = false;
  return s;
}

TEST(DivisorSearch, Lm78OverflowingFanStepsUpUntilTheCountFits) {
  // 2000 RPM: count 675 at /1, 337 at /2, 168 at /4.
  Configured c = Configure(PiixBoard(R"({"kind": "LM78", "isa": "0x290", "fans": [)" + Fan(2000) +
                                     "," + Fan(5000) + "]}"));
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.st.FanDivisor[0], 4);
  EXPECT_EQ((c.chip("LM78")->reg(0, kLmFanDiv) >> 4) & 3, 2);
  EXPECT_EQ(c.st.FanDivisor[1], 2);  // fits at the power-on /2: untouched
  EXPECT_EQ(c.st.FanDivisor[2], 2);  // fan 3 has a fixed divisor
  EXPECT_LE(c.chip("LM78")->reg(0, 0x28), 254);
}

TEST(DivisorSearch, FanThatNeverStopsOverflowingKeepsTheLargestCode) {
  Configured c = Configure(PiixBoard(R"({"kind": "LM78", "isa": "0x290", "fans": [null]})"));
  ASSERT_TRUE(c.board);
  EXPECT_EQ((c.chip("LM78")->reg(0, kLmFanDiv) >> 4) & 3, 3);
  EXPECT_EQ(c.st.FanDivisor[0], 8);
}

TEST(DivisorSearch, W83782dStalledFan3TriesAllEightCodes) {
  // 500 RPM on fan 1: count 337 at /8, 168 at /16 (extension bit needed).
  Configured c = Configure(PiixBoard(R"({"kind": "W83782D", "isa": "0x290", "fans": [)" + Fan(500) +
                                     "," + Fan(4000) + ", null]}"));
  ASSERT_TRUE(c.board);
  sim::MonitorChip* chip = c.chip("W83782D");
  EXPECT_EQ(c.st.chip.ChipKind, kind::W83782D);
  EXPECT_EQ(c.st.FanDivisor[0], 16);
  EXPECT_EQ(chip->reg(0, kWbVbat) & 0x20, 0x20);
  EXPECT_EQ(c.st.FanDivisor[2], 128);
  EXPECT_EQ(chip->reg(0, kWbPinCtl) & 0xC0, 0xC0);
  EXPECT_EQ(chip->reg(0, kWbVbat) & 0x80, 0x80);
}

TEST(DivisorSearch, PulseFactorMultipliesAndIsGuardedAgainstZero) {
  MonitorSettings s = FirstRunSettings();
  s.Fan1PPR = 2;
  s.Fan2PPR = 0;
  s.Fan3PPR = -5;
  Configured c = Configure(PiixBoard(R"({"kind": "W83781D", "isa": "0x290", "fans": [)" +
                                     Fan(4000) + "," + Fan(4000) + "," + Fan(4000) + "]}"),
                           s);
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.st.FanDivisor[0], 4);
  EXPECT_EQ(c.st.FanDivisor[1], 2);
  EXPECT_EQ(c.st.FanDivisor[2], 2);
  EXPECT_EQ(EffectiveFanDivisor(128, 1 << 30), 0x7FFFFFFF);
}

TEST(DivisorSearch, IteFan3BitSixChoosesDivideByEight) {
  // 1000 RPM on fan 3: 675 at /2, 168 at /8; fan 1 stalled walks its 3-bit field.
  Configured c = Configure(PiixBoard(R"({"kind": "IT8712F", "isa": "0x290", "fans": [null, )" +
                                     Fan(5000) + "," + Fan(1000) + "]}"));
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.st.chip.ChipKind, kind::IT8712F);
  EXPECT_EQ(c.st.FanDivisor[0], 128);
  EXPECT_EQ(c.st.FanDivisor[1], 2);
  EXPECT_EQ(c.st.FanDivisor[2], 8);
}

TEST(DivisorSearch, Gl518WordCountAndTheFinalMiscWrite) {
  Configured c = Configure(PiixBoard(
      R"({"kind": "GL518SM", "smbus": "0x2C", "fans": [null], "registers": {"0x0F": "0x08"}})"));
  ASSERT_TRUE(c.board);
  sim::MonitorChip* chip = c.chip("GL518SM");
  EXPECT_EQ(c.st.chip.ChipKind, kind::GL518SM);
  EXPECT_EQ(chip->reg(0, 0x0F) & 0xC0, 0xC0);  // fan 1 walked to its last code
  EXPECT_EQ(chip->reg(0, 0x0F) & 0x08, 0);     // bit 3 cleared by the final write
  EXPECT_EQ(c.st.FanDivisor[0], 8);
  EXPECT_EQ(c.st.FanDivisor[2], 2);
  EXPECT_TRUE(c.st.chip.MainSmbOnly);
}

TEST(DivisorSearch, Pc87366SearchesThreeFansInTheFanDevice) {
  Configured c = Configure(
      PiixBoard(R"({"kind": "PC87366", "config_port": "0x2E", "fans": [)" + Fan(6000) + "]}"));
  ASSERT_TRUE(c.board);
  auto* sio = dynamic_cast<sim::Pc87366*>(c.board->chipInputs("PC87366"));
  ASSERT_NE(sio, nullptr);
  EXPECT_EQ(c.st.chip.ChipKind, kind::PC87366);
  EXPECT_EQ(c.st.FanDivisor[1], 8);  // no fan: every code overflows
  EXPECT_EQ((sio->fsmReg(0x0B) >> 5) & 3, 3);
  EXPECT_EQ(c.st.FanDivisor[2], 8);
  EXPECT_FALSE(c.s.MainChipSMBUse);
  for (int ch = 0; ch < 14; ++ch) EXPECT_EQ(sio->vlmChannelReg(ch, 0x0A) & 1, 1) << ch;
  for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(sio->tmsChannelReg(ch, 0x0A) & 1, 1) << ch;
}

// The chip's register writes during set-up, in order; the bank-0 restores
// of the banked path (4Eh := 80h) are left out.
std::vector<std::string> SetUpWrites(const std::string& json, uint16_t base, bool direct) {
  auto b = BoardFromJson(json);
  if (!b) return {};
  sim::SimMachine& m = b->machine();
  MonitorSettings s = LaterRun();
  DetectState st;
  EnableIchSmbus(m);
  DetectPmDevice(m, s, 0, st);
  DetectChip(m, s, st);
  m.startTrace();
  ConfigureChip(m, s, st);
  std::vector<std::string> out;
  char text[16];
  if (direct) {  // registers mapped straight into I/O space
    for (const sim::TraceEntry& e : m.trace()) {
      if (e.dir != sim::TraceEntry::Dir::Out || e.port < base || e.port > base + 0xFF) continue;
      std::snprintf(text, sizeof text, "W%02X=%02X", e.port - base, e.value);
      out.emplace_back(text);
    }
    return out;
  }
  for (const std::string& w : PairAccesses(m, base, true)) {
    if (w != "W4E=80") out.push_back(w);
  }
  return out;
}

TEST(StartAndFinalWrites, GoInTheKindsOrder) {
  const std::string fans = R"("fans": [{"rpm": 4000}, {"rpm": 4000}, {"rpm": 4000}])";
  const std::string fans2 = R"("fans": [{"rpm": 4000}, {"rpm": 4000}])";
  using W = std::vector<std::string>;
  EXPECT_EQ(
      SetUpWrites(PiixBoard(R"({"kind": "LM78", "isa": "0x290", )" + fans + "}"), 0x290, false),
      (W{"W40=01", "W40=01", "W43=FF", "W44=7F"}));
  EXPECT_EQ(
      SetUpWrites(PiixBoard(R"({"kind": "W83697HF", "isa": "0x290", )" + fans + "}"), 0x290, false),
      (W{"W40=01", "W5D=01", "W40=01", "W43=FF", "W44=17", "W4E=81", "W52=00", "W4E=82", "W52=00",
         "W5D=01"}));
  EXPECT_EQ(SetUpWrites(R"({"south_bridge": {"kind": "SiS5595"}, "chips": [{"kind": "SiS5595", )"
                        R"("isa": "0x290", )" +
                            fans2 + "}]}",
                        0x290, false),
            (W{"W40=01", "W40=01", "W43=FF", "W44=80"}));
  EXPECT_EQ(SetUpWrites(R"({"south_bridge": {"kind": "VT82C686A"}, "chips": [{"kind": )"
                        R"("VT82C686A", "isa": "0xEC00", )" +
                            fans2 + "}]}",
                        0xEC00, true),
            (W{"W43=FF", "W44=FF", "W40=01"}));
}

TEST(AccessMode, SmbusOnlyChipsLockTheSmbusPath) {
  MonitorSettings s = LaterRun();
  s.MainChipPortAddressUse = true;
  Configured c = Configure(PiixBoard(R"({"kind": "LM80", "smbus": "0x2D"})"), s);
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.st.chip.ChipKind, kind::LM80);
  EXPECT_TRUE(c.st.chip.MainSmbOnly);
  EXPECT_TRUE(c.s.MainChipSMBUse);
  EXPECT_FALSE(c.s.MainChipPortAddressUse);
  EXPECT_EQ(c.st.FanDivisor[2], 2);
}

TEST(AccessMode, IsaChipAlsoOnTheSmbusIsConfiguredOverTheSmbusKeepingTheSetting) {
  for (bool smbUse : {false, true}) {
    MonitorSettings s = LaterRun();
    s.MainChipSMBUse = smbUse;
    Configured c =
        Configure(PiixBoard(R"({"kind": "W83781D", "isa": "0x290", "smbus": "0x2D"})"), s);
    ASSERT_TRUE(c.board);
    EXPECT_TRUE(c.st.chip.FoundOnPort);
    EXPECT_TRUE(c.st.chip.MainSmbFound);
    EXPECT_EQ(c.s.MainChipSMBUse, smbUse);
    EXPECT_FALSE(c.st.chip.MainSmbOnly);
  }
}

TEST(AccessMode, PortChipsClearTheSmbusSetting) {
  for (const char* json :
       {R"({"south_bridge": {"kind": "VT82C686A"}, "chips": [{"kind": "VT82C686A"}]})",
        R"({"south_bridge": {"kind": "SiS5595"}, "chips": [{"kind": "SiS5595"}]})"}) {
    MonitorSettings s = LaterRun();
    s.MainChipSMBUse = true;
    Configured c = Configure(json, s);
    ASSERT_TRUE(c.board);
    EXPECT_FALSE(c.s.MainChipSMBUse) << json;
    EXPECT_FALSE(c.st.chip.MainSmbOnly);
  }
}

TEST(AccessMode, UnknownChipGetsPlainDivisorsAndNoLock) {
  MonitorSettings s = LaterRun();
  s.Fan1PPR = 2;
  s.Sensor1OnDieDiode = true;
  Configured c = Configure(PiixBoard(""), s);
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.st.chip.ChipKind, kind::Unknown);
  EXPECT_EQ(c.st.FanDivisor, (std::array<int32_t, 3>{4, 2, 2}));
  EXPECT_FALSE(c.st.chip.MainSmbOnly);
  EXPECT_FALSE(c.s.Sensor1OnDieDiode);
}

TEST(SubClients, FirstRunOnW83782dOverSmbusTakesBothSubClientAddresses) {
  Configured c = Configure(
      PiixBoard(R"({"kind": "W83782D", "smbus": "0x2D", "registers": {"0x4A": "0x01"}})"));
  ASSERT_TRUE(c.board);
  EXPECT_TRUE(c.s.Temp2SMBUse);
  EXPECT_TRUE(c.s.Temp3SMBUse);
  EXPECT_EQ(c.s.Temp2SMBAddress, 7);  // 49h
  EXPECT_EQ(c.s.Temp3SMBAddress, 6);  // 48h
  EXPECT_EQ(c.chip("W83782D")->reg(0, kWbSubClients), 0x01);
}

TEST(SubClients, RegisterBitsThreeAndSevenAreClearedOnWriteBack) {
  Configured c = Configure(
      PiixBoard(R"({"kind": "W83781D", "smbus": "0x2D", "registers": {"0x4A": "0x9A"}})"));
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.chip("W83781D")->reg(0, kWbSubClients), 0x12);
  EXPECT_EQ(c.s.Temp2SMBAddress, 8);  // 48h + 2
  EXPECT_EQ(c.s.Temp3SMBAddress, 7);  // 48h + 1
}

TEST(SubClients, IsaPathLeavesTheSensorSettingsOnAFirstRun) {
  Configured c = Configure(PiixBoard(R"({"kind": "W83782D", "isa": "0x290"})"));
  ASSERT_TRUE(c.board);
  EXPECT_FALSE(c.s.Temp2SMBUse);
  EXPECT_FALSE(c.s.Temp3SMBUse);
  EXPECT_EQ(c.s.Temp2SMBAddress, -1);
  EXPECT_EQ(c.s.Temp3SMBAddress, -1);
}

TEST(SubClients, As99127fRemembersItsFirstSubClientAndSensorType) {
  for (auto [model, kindCode] :
       {std::pair{"AS99127F-WB", kind::AS99127F_WB}, std::pair{"AS99127F-AS", kind::AS99127F_AS}}) {
    MonitorSettings s = LaterRun();
    s.Temp2SMBAddress = 9;  // chosen by the user: kept
    Configured c = Configure(PiixBoard(std::string(R"({"kind": ")") + model +
                                       R"(", "smbus": "0x2D", "registers": {"0x4A": "0x21"}})"),
                             s);
    ASSERT_TRUE(c.board);
    EXPECT_EQ(c.st.chip.ChipKind, kindCode);
    EXPECT_EQ(c.st.SubClientIndex, 7);
    EXPECT_EQ(c.st.chip.SmbTempSensorType, kindCode);
    EXPECT_TRUE(c.st.chip.MainSmbOnly);
    EXPECT_EQ(c.s.Temp2SMBAddress, 9);
    EXPECT_FALSE(c.s.Temp3SMBUse);
  }
}

TEST(SubClients, W83783sTakesTemp2FromItsSubClientAndSearchesTemp3) {
  MonitorSettings s = FirstRunSettings();
  s.Temp3SMBUse = true;
  Configured c = Configure(PiixBoard(R"({"kind": "W83783S", "smbus": "0x2D", )"
                                     R"("registers": {"0x4A": "0x01"}}, )"
                                     R"({"kind": "LM75", "smbus": "0x4B"})"),
                           s);
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.st.chip.ChipKind, kind::W83783S);
  EXPECT_TRUE(c.s.Temp2SMBUse);
  EXPECT_EQ(c.s.Temp2SMBAddress, 7);  // 49h
  EXPECT_EQ(c.s.Temp3SMBAddress, 9);  // the LM75 at 4Bh
  EXPECT_EQ(c.chip("LM75")->reg(0, 0x01), 0x00);
}

TEST(WinbondBanks, ExtraTemperatureInputsAreSwitchedOnInBanks1And2OverEitherBus) {
  for (const char* place : {R"("isa": "0x290")", R"("smbus": "0x2D")"}) {
    auto b = BoardFromJson(PiixBoard(std::string(R"({"kind": "W83782D", )") + place + "}"));
    ASSERT_TRUE(b);
    sim::MonitorChip* chip = Chip(*b, "W83782D");
    chip->setReg(1, 0x52, 0x01);  // sensor 2 shut down
    chip->setReg(2, 0x52, 0x01);  // sensor 3 shut down
    MonitorSettings s = LaterRun();
    DetectState st;
    RunDetection(b->machine(), s, st);
    EXPECT_EQ(chip->reg(1, 0x52), 0x00) << place;
    EXPECT_EQ(chip->reg(2, 0x52), 0x00) << place;
    EXPECT_EQ(chip->reg(0, 0x4E), 0x80) << place;  // left in bank 0, high byte
    EXPECT_EQ(chip->reg(0, 0x43), 0xFF) << place;  // interrupts masked
    EXPECT_EQ(chip->reg(0, 0x44), 0x3F) << place;
  }
}

TEST(Diodes, FirstRunTakesTheChipsModes) {
  Configured c = Configure(
      PiixBoard(R"({"kind": "W83627HF", "isa": "0x290", "registers": {"0x5D": "0x04"}})"));
  ASSERT_TRUE(c.board);
  EXPECT_FALSE(c.s.Sensor1OnDieDiode);
  EXPECT_TRUE(c.s.Sensor2OnDieDiode);
  EXPECT_FALSE(c.s.Sensor3OnDieDiode);
}

TEST(Diodes, LaterRunWritesTheSettingsKeepingOtherBits) {
  MonitorSettings s = LaterRun();
  s.Sensor2OnDieDiode = true;
  Configured c =
      Configure(PiixBoard(R"({"kind": "W83627HF", "isa": "0x290", "fans": [)" + Fan(4000) + "," +
                          Fan(4000) + "," + Fan(4000) + R"(], "registers": {"0x5D": "0x1A"}})"),
                s);
  ASSERT_TRUE(c.board);
  // Bits 1 and 3 cleared, bit 2 set, bit 4 kept, bit 0 set by the start;
  // running fans leave the divisor extension bits 5-7 alone.
  EXPECT_EQ(c.chip("W83627HF")->reg(0, kWbVbat), 0x15);
}

TEST(Diodes, W83783sHasOnlyTwoSensors) {
  MonitorSettings s = LaterRun();
  s.Sensor1OnDieDiode = s.Sensor2OnDieDiode = s.Sensor3OnDieDiode = true;
  Configured c = Configure(
      PiixBoard(R"({"kind": "W83783S", "smbus": "0x2D", "registers": {"0x5D": "0x00"}})"), s);
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.chip("W83783S")->reg(0, kWbVbat) & 0x0E, 0x06);
}

TEST(FirstRunPresets, IteVoltageLimits) {
  Configured c = Configure(PiixBoard(R"({"kind": "IT8712F", "isa": "0x290"})"));
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.s.Volt6ULimit, 1);
  EXPECT_EQ(c.s.Volt6LLimit, 255);
  EXPECT_EQ(c.s.Volt7ULimit, 1);
  EXPECT_EQ(c.s.Volt7LLimit, 255);

  Configured c5 = Configure(PiixBoard(R"({"kind": "IT8705F", "isa": "0x290"})"));
  EXPECT_EQ(c5.s.Volt6ULimit, 255);
  EXPECT_EQ(c5.s.Volt7ULimit, 1);

  Configured later = Configure(PiixBoard(R"({"kind": "IT8712F", "isa": "0x290"})"), LaterRun());
  EXPECT_EQ(later.s.Volt7ULimit, 255);
  EXPECT_EQ(later.s.Volt7LLimit, 1);
}

// ---- Auxiliary SMBus temperature sensors -----------------------------------

TEST(AuxSensors, ByteSensorAt4ChIsSetUpAndShared) {
  MonitorSettings s = LaterRun();
  s.Temp2SMBUse = true;
  Configured c = Configure(
      PiixBoard(R"({"kind": "LM78", "isa": "0x290"}, {"kind": "MAX1617", "smbus": "0x4C"})"), s);
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.s.Temp2SMBAddress, 10);
  EXPECT_EQ(c.st.chip.SmbTempSensorType, kSensorByte);
  EXPECT_EQ(c.s.Temp3SMBAddress, -1);  // Temp 3 not in use on a later run
  sim::MonitorChip* max = c.chip("MAX1617");
  EXPECT_EQ(max->reg(0, 0x03), 0x00);  // configuration, read address
  EXPECT_EQ(max->reg(0, 0x04), 0x07);  // conversion rate
  EXPECT_EQ(max->reg(0, 0x07), 0x48);  // remote high limit
  EXPECT_EQ(max->reg(0, 0x08), 0xBF);  // remote low limit
}

TEST(AuxSensors, ByteSensorGivesTemp3TooWhenBothAreUsed) {
  MonitorSettings s = LaterRun();
  s.Temp2SMBUse = s.Temp3SMBUse = true;
  Configured c = Configure(
      PiixBoard(R"({"kind": "LM78", "isa": "0x290"}, {"kind": "MAX1617", "smbus": "0x18"})"), s);
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.s.Temp2SMBAddress, 0);
  EXPECT_EQ(c.s.Temp3SMBAddress, 0);
  EXPECT_EQ(c.st.chip.SmbTempSensorType, kSensorByte);
}

TEST(AuxSensors, WordSensorServesTemp3WhenOnlyTemp3IsUsed) {
  MonitorSettings s = LaterRun();
  s.Temp3SMBUse = true;
  Configured c = Configure(
      PiixBoard(R"({"kind": "LM78", "isa": "0x290"}, {"kind": "LM75", "smbus": "0x48"})"), s);
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.st.chip.SmbTempSensorType, kSensorWord);
  EXPECT_EQ(c.s.Temp3SMBAddress, 6);
  EXPECT_EQ(c.s.Temp2SMBAddress, -1);
}

TEST(AuxSensors, WordSensorAtAByteOnlyAddressIsDiscarded) {
  MonitorSettings s = LaterRun();
  s.Temp2SMBUse = true;
  Configured c = Configure(
      PiixBoard(R"({"kind": "LM78", "isa": "0x290"}, {"kind": "LM75", "smbus": "0x1A"})"), s);
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.st.chip.SmbTempSensorType, kSensorWord);
  EXPECT_EQ(c.s.Temp2SMBAddress, -1);
}

TEST(AuxSensors, StoredIndexOutsideTheListCountsAsAutomatic) {
  MonitorSettings s = LaterRun();
  s.Temp2SMBUse = true;
  s.Temp2SMBAddress = 99;
  s.Temp3SMBAddress = -7;
  Configured c = Configure(
      PiixBoard(R"({"kind": "LM78", "isa": "0x290"}, {"kind": "LM75", "smbus": "0x49"})"), s);
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.s.Temp2SMBAddress, 7);
  EXPECT_EQ(c.s.Temp3SMBAddress, -1);
}

TEST(AuxSensors, WinbondKindsSkipTheSensorProbe) {
  MonitorSettings s = LaterRun();
  s.Temp2SMBUse = true;
  s.Temp2SMBAddress = 10;  // a byte sensor the user chose
  Configured c = Configure(
      PiixBoard(R"({"kind": "W83781D", "isa": "0x290"}, {"kind": "MAX1617", "smbus": "0x4C"})"), s);
  ASSERT_TRUE(c.board);
  EXPECT_EQ(c.st.chip.SmbTempSensorType, kSensorWord);
  EXPECT_EQ(c.s.Temp2SMBAddress, 10);
  EXPECT_EQ(c.chip("MAX1617")->reg(0, 0x04), 0x02);  // conversion rate never written
}

}  // namespace
}  // namespace kev::test
