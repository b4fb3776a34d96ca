// The information window's fresh probe on hand-built boards.
#include "report/summary.h"

#include <gtest/gtest.h>

#include <map>

#include "sim/board.h"
#include "sim/bridge.h"
#include "sim/chips.h"

namespace kev::report {
namespace {

using sim::ChipModelKind;

using Regs = std::map<uint8_t, uint8_t>;

// An SMBus device with a plain register file: reads of unset registers fail.
class RegisterSlave : public sim::SmbusSlave {
 public:
  explicit RegisterSlave(Regs regs) : regs_(std::move(regs)) {}
  std::optional<uint8_t> smbReadByte(uint8_t command) override {
    auto it = regs_.find(command);
    if (it == regs_.end()) return std::nullopt;
    return it->second;
  }
  bool smbWriteByte(uint8_t command, uint8_t value) override {
    regs_[command] = value;
    return true;
  }

 private:
  Regs regs_;
};

struct Board {
  sim::SimBoard b{"summary-test"};
  sim::SouthBridge south;

  void addSouth(const std::string& kind, uint16_t monitorBase = 0) {
    sim::SouthBridgeSetup setup;
    setup.kind = kind;
    setup.monitorBase = monitorBase;
    south = sim::AddSouthBridge(b, setup);
  }
  sim::MonitorChip& addChip(ChipModelKind kind, int isa, int smb) {
    return sim::AddMonitorChip(b.machine(), kind, &b.smbus(), isa, smb);
  }
  InfoSummary gather() { return GatherSummary(b.machine()); }
};

TEST(Summary, CaptionsAreExact) {
  EXPECT_EQ(kSummaryCaptions[0], "PM Device Chip");
  EXPECT_EQ(kSummaryCaptions[5], "SMBus  1st  Address");
  EXPECT_EQ(kSummaryCaptions[6], "SMBus  2nd Address");
  EXPECT_EQ(kSummaryCaptions[7], "SMBus  3rd  Address");
}

TEST(Summary, NoPmDeviceShowsStarsAndIsaChip) {
  Board t;
  t.addChip(ChipModelKind::W83781D, 0x290, -1);
  const InfoSummary s = t.gather();
  EXPECT_EQ(s.PmId, 0xFFFFFFFFu);
  EXPECT_EQ(s.PmBase, -1);
  EXPECT_TRUE(s.IsaFlag);
  EXPECT_EQ(s.ChipKind, kind::W83781D);
  EXPECT_EQ(s.ChipPort, 0x290);
  // Without an SMBus host neither 4Ah nor the sensor list is consulted.
  const std::array<std::string, 8> want{"Unknown",         "*****", "*****", "*****",
                                        "Winbond W83781D", "*****", "*****", "*****"};
  EXPECT_EQ(s.texts, want);
}

TEST(Summary, NothingAnywhereShowsUnknownChip) {
  Board t;
  const InfoSummary s = t.gather();
  EXPECT_FALSE(s.IsaFlag);
  EXPECT_EQ(s.texts[kLinePmChip], "Unknown");
  EXPECT_EQ(s.texts[kLineChip], "Unknown");
}

TEST(Summary, Piix4eWithSmbusChip) {
  Board t;
  t.addSouth("PIIX4E");
  t.addChip(ChipModelKind::Gl518SM, -1, 0x2C);
  const InfoSummary s = t.gather();
  EXPECT_EQ(s.PmId, 0x71138086u);
  const std::array<std::string, 8> want{"intel 82371EB (PIIX4E)", "7",   "3",     "5000h",
                                        "Genesys Logic GL518SM",  "2Ch", "*****", "*****"};
  EXPECT_EQ(s.texts, want);
  EXPECT_FALSE(s.IsaFlag);
  EXPECT_EQ(s.MainSmbAddress, 0x2C);
}

TEST(Summary, PlainPiix4Name) {
  Board t;
  t.addSouth("PIIX4");
  EXPECT_EQ(t.gather().texts[kLinePmChip], "intel 82371AB (PIIX4)");
}

TEST(Summary, WinbondSubClientsFromRegister4AOverSmbus) {
  Board t;
  t.addSouth("PIIX4");
  sim::MonitorChip& chip = t.addChip(ChipModelKind::W83782D, -1, 0x2D);
  chip.setReg(0, 0x4A, 0x01);
  InfoSummary s = t.gather();
  EXPECT_EQ(s.ChipKind, kind::W83782D);
  EXPECT_EQ(s.SecondSmbAddress, 0x49);
  EXPECT_EQ(s.ThirdSmbAddress, 0x48);
  EXPECT_EQ(s.texts[kLineMainAddress], "2Dh");
  EXPECT_EQ(s.texts[kLineSecondAddress], "49h");
  EXPECT_EQ(s.texts[kLineThirdAddress], "48h");
  // The probe leaves bank 0 with the high-byte bit selected.
  EXPECT_EQ(chip.reg(0, 0x4E), 0x80);

  chip.setReg(0, 0x4A, 0x88);
  s = t.gather();
  EXPECT_EQ(s.SecondSmbAddress, -1);
  EXPECT_EQ(s.ThirdSmbAddress, -1);
  EXPECT_EQ(s.texts[kLineSecondAddress], "*****");

  chip.setReg(0, 0x4A, 0x5B);  // sub-client 1 off, sub-client 2 at 4Dh
  s = t.gather();
  EXPECT_EQ(s.SecondSmbAddress, -1);
  EXPECT_EQ(s.ThirdSmbAddress, 0x4D);
}

TEST(Summary, WinbondSubClientsOverBankedIsa) {
  Board t;
  t.addSouth("PIIX4");
  sim::MonitorChip& chip = t.addChip(ChipModelKind::W83627HF, 0x290, -1);
  chip.setReg(0, 0x4A, 0x32);
  // A sensor the list search would find must not be looked for.
  RegisterSlave other(Regs{{0x00, 0x19}, {0xFE, 0x4D}});
  t.b.smbus().attach(0x18, &other);
  const InfoSummary s = t.gather();
  EXPECT_TRUE(s.IsaFlag);
  EXPECT_EQ(s.MainSmbAddress, -1);
  EXPECT_EQ(s.SecondSmbAddress, 0x4A);
  EXPECT_EQ(s.ThirdSmbAddress, 0x4B);
}

TEST(Summary, W83783SHasOnlyASecondAddress) {
  Board t;
  t.addSouth("PIIX4");
  sim::MonitorChip& chip = t.addChip(ChipModelKind::W83783S, -1, 0x2D);
  chip.setReg(0, 0x4A, 0x03);
  const InfoSummary s = t.gather();
  EXPECT_EQ(s.ChipKind, kind::W83783S);
  EXPECT_EQ(s.SecondSmbAddress, 0x4B);
  EXPECT_EQ(s.ThirdSmbAddress, -1);
}

TEST(Summary, SensorListNeedsManufacturerIdOnlyForFirstSix) {
  Board t;
  t.addSouth("PIIX4");
  t.addChip(ChipModelKind::Lm78, 0x290, -1);
  RegisterSlave at19(Regs{{0x00, 0x20}, {0xFE, 0x41}});  // another maker's device
  RegisterSlave at2A(Regs{{0x00, 0x20}, {0xFE, 0x49}});
  RegisterSlave at4C(Regs{{0x00, 0x20}});  // no FEh at all
  RegisterSlave at4E(Regs{{0x00, 0x20}});
  t.b.smbus().attach(0x19, &at19);
  t.b.smbus().attach(0x2A, &at2A);
  t.b.smbus().attach(0x4C, &at4C);
  t.b.smbus().attach(0x4E, &at4E);
  const InfoSummary s = t.gather();
  EXPECT_EQ(s.ChipKind, kind::LM78);
  EXPECT_EQ(s.SecondSmbAddress, 0x2A);
  EXPECT_EQ(s.ThirdSmbAddress, 0x4C);
}

TEST(Summary, Device19WithForeignIdIsPassedOver) {
  Board t;
  t.addSouth("PIIX4");
  RegisterSlave at19(Regs{{0x00, 0x20}, {0xFE, 0x41}});
  RegisterSlave at1A(Regs{{0x00, 0x20}, {0xFE, 0x4D}});
  t.b.smbus().attach(0x19, &at19);
  t.b.smbus().attach(0x1A, &at1A);
  const InfoSummary s = t.gather();
  EXPECT_EQ(s.SecondSmbAddress, 0x1A);
  EXPECT_EQ(s.ThirdSmbAddress, -1);
  EXPECT_EQ(s.texts[kLineThirdAddress], "*****");
}

InfoSummary GatherOnCatalogueBoard(const std::string& name) {
  auto r = sim::LoadCatalogueBoard(name);
  if (!r.ok()) {
    ADD_FAILURE() << r.error().text();
    return {};
  }
  return GatherSummary(r->machine());
}

TEST(Summary, ViaMonitorRevisionRule) {
  InfoSummary s = GatherOnCatalogueBoard("kt133-vt82c686a");
  EXPECT_EQ(s.ChipKind, kind::VT82C686A);
  EXPECT_EQ(s.texts[kLinePmChip], "VIA VT82C686A");
  EXPECT_EQ(s.texts[kLineChip], "VIA VT82C686A");
  EXPECT_TRUE(s.IsaFlag);

  // Revision 40h: the same chip kind from detection, shown as the B part.
  s = GatherOnCatalogueBoard("kt133a-vt82c686b");
  EXPECT_EQ(s.ChipKind, kind::VT82C686B);
  EXPECT_EQ(s.texts[kLinePmChip], "VIA VT82C686B");
  EXPECT_EQ(s.texts[kLineChip], "VIA VT82C686B");
  EXPECT_EQ(s.ChipPort, 0xE800);
  EXPECT_EQ(s.texts[kLinePmDevice], "7");
  EXPECT_EQ(s.texts[kLinePmFunction], "4");
  EXPECT_EQ(s.texts[kLineSmbBase], "5000h");
}

}  // namespace
}  // namespace kev::report
