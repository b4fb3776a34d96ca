// The whole profile of catalogue boards against texts worked out by hand:
// fixed parts literal (data/*.txt), register values from the chip models'
// own register files, the PCI section from the boards' configuration bytes.
#include <gtest/gtest.h>

#include "report/expected_text.h"
#include "report/profile.h"
#include "sim/board.h"
#include "sim/chips.h"
#include "sim/superio.h"

namespace kev::report {
namespace {

using expect::Format;
using expect::RegLine;

std::unique_ptr<sim::SimBoard> Load(const std::string& name) {
  auto r = sim::LoadCatalogueBoard(name);
  if (!r.ok()) ADD_FAILURE() << r.error().text();
  return r.ok() ? r.take() : nullptr;
}

MonitorWindowText SampleRows() {
  MonitorWindowText rows;
  rows.labels[0] = "CPU Fan";
  rows.labels[3] = "CPU Temp.";
  rows.labels[6] = "VCORE";
  rows.texts = {"4500RPM", "2700RPM", "N/A",    "33C / 91F", "Ignore",        "",
                "+2.00V",  "+2.00V",  "+3.30V", "+5.00V",    "+12.00V [Err]", "-12.00V",
                "-5.00V",  "Ignore",  "Ignore"};
  return rows;
}

struct Profiled {
  std::unique_ptr<sim::SimBoard> board;
  InfoSummary summary;
  std::string text;
};

Profiled Profile(const std::string& name, const MonitorSettings& set, const DetectState& st) {
  Profiled p;
  p.board = Load(name);
  if (!p.board) return p;
  p.summary = GatherSummary(p.board->machine());
  p.text = BuildProfileText(p.board->machine(), p.summary, set, st, SampleRows());
  return p;
}

constexpr const char* kRule = "--------------------------------------------------------------\n\n";

TEST(ProfileBoards, IsaWinbondW83781D) {
  DetectState st;
  st.pm = {7, 3, 0x71138086, 0x01, 0x5000};
  st.chip.ChipVendor = 0x5CA3;
  st.chip.ChipRevision = 0x10;
  st.chip.ChipKind = kind::W83781D;
  st.chip.FoundOnPort = true;
  MonitorSettings set;
  set.Temp2SMBUse = set.Temp3SMBUse = true;
  set.Temp2SMBAddress = 7;
  set.Temp3SMBAddress = 6;
  Profiled p = Profile("p2b-piix4-w83781d", set, st);
  ASSERT_TRUE(p.board);
  auto* chip = dynamic_cast<sim::MonitorChip*>(p.board->chipInputs("main"));
  ASSERT_NE(chip, nullptr);

  std::string regs;
  for (unsigned r = 0x20; r <= 0x4D; ++r) regs += RegLine(r, chip->reg(0, static_cast<uint8_t>(r)));
  regs += "  REG 4Eh : 80h\n";
  regs += "  REG 4Fh : 5Ch  (HBACS : 1)\n  REG 4Fh : A3h  (HBACS : 0)\n";
  for (int bank = 0; bank < 8; ++bank) {
    for (unsigned r = 0x50; r <= 0x5F; ++r) {
      regs += Format("  REG %02Xh : %02Xh  (BANK  : %d)\n", r,
                     chip->reg(bank, static_cast<uint8_t>(r)), bank);
    }
  }
  const std::string expected = expect::ReadDataFile("p2b-piix4-w83781d.head.txt") + regs + kRule +
                               expect::ReadDataFile("p2b-piix4-w83781d.devices.txt") +
                               expect::ReadDataFile("monitor-window.txt") +
                               expect::PciSection(p.board->pci());
  EXPECT_EQ(p.text, expected);
  // The ISA path ends with bank 0, low byte of the vendor ID.
  EXPECT_EQ(chip->reg(0, 0x4E) & 0x87, 0x00);
}

TEST(ProfileBoards, SmbusGl518smWithLm75) {
  DetectState st;
  st.pm = {7, 3, 0x71138086, 0x01, 0x5000};
  st.chip.MainSmbAddress = 0x2C;
  st.chip.MainSmbFound = true;
  st.chip.MainSmbOnly = true;
  st.chip.ChipVendor = 2;
  st.chip.ChipRevision = 0x80;
  st.chip.ChipKind = kind::GL518SM;
  st.FanDivisor = {4, 2, 2};
  MonitorSettings set;
  set.MainChipSMBUse = true;
  set.Temp2SMBUse = true;
  set.Temp2SMBAddress = 6;
  Profiled p = Profile("440lx-gl518sm-lm75", set, st);
  ASSERT_TRUE(p.board);
  auto* chip = dynamic_cast<sim::MonitorChip*>(p.board->chipInputs("main"));
  ASSERT_NE(chip, nullptr);

  std::string regs;
  for (unsigned r = 0x00; r <= 0x1F; ++r) {
    const auto r8 = static_cast<uint8_t>(r);
    if (r >= 0x07 && r <= 0x0C) {
      regs += Format("  REG %02Xh : %02X%02Xh\n", r, chip->reg(0, r8), chip->reg(1, r8));
    } else {
      regs += RegLine(r, chip->reg(0, r8));
    }
  }
  const std::string expected = expect::ReadDataFile("440lx-gl518sm-lm75.head.txt") + regs + kRule +
                               expect::ReadDataFile("440lx-gl518sm-lm75.devices.txt") +
                               expect::ReadDataFile("monitor-window.txt") +
                               expect::PciSection(p.board->pci());
  EXPECT_EQ(p.text, expected);
}

TEST(ProfileBoards, SuperIoPc87366) {
  DetectState st;
  st.pm = {7, 3, 0x71138086, 0x02, 0x5000};
  st.chip.ChipVendor = 1;
  st.chip.ChipRevision = 0xE9;
  st.chip.ChipKind = kind::PC87366;
  st.chip.FoundOnPort = true;
  st.chip.FsmBase = 0x0680;
  st.chip.VlmBase = 0x0690;
  st.chip.TmsBase = 0x06A0;
  MonitorSettings set;
  set.MainChipPortAddress = 0x4E;
  set.Sensor1OnDieDiode = set.Sensor2OnDieDiode = true;
  Profiled p = Profile("440bx-pc87366-4e", set, st);
  ASSERT_TRUE(p.board);
  auto* sio = dynamic_cast<sim::Pc87366*>(p.board->chipInputs("main"));
  ASSERT_NE(sio, nullptr);

  // Register values are taken after the dump: reading a count or a channel
  // value latches a fresh measurement, which the model then holds.
  std::string regs;
  for (unsigned r :
       {0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E}) {
    regs += RegLine(r, sio->global(static_cast<uint8_t>(r)));
  }
  const unsigned deviceRegs[] = {0x30, 0x60, 0x61, 0x62, 0x63, 0x70,
                                 0x71, 0x74, 0x75, 0xF0, 0xF1, 0xF2};
  const auto ldnPart = [&](unsigned ldn) {
    std::string s = Format("\n  LDN : %02Xh\n", ldn);
    for (unsigned r : deviceRegs) {
      s += RegLine(r, sio->ldnReg(static_cast<uint8_t>(ldn), static_cast<uint8_t>(r)));
    }
    return s;
  };
  regs += ldnPart(0x09);
  for (unsigned o = 0; o < 16; ++o) {
    regs += Format("  OFS %02Xh : %02Xh\n", o, sio->fsmReg(static_cast<uint8_t>(o)));
  }
  // Module registers 00h-09h are untouched since power-on (channel select 0).
  const auto banked = [](unsigned channels, auto channelReg) {
    std::string s;
    for (unsigned o = 0; o < 10; ++o) s += Format("  OFS %02Xh : 00h  (BANK  : 0)\n", o);
    for (unsigned ch = 0; ch < channels; ++ch) {
      for (unsigned o = 0x0A; o <= 0x0F; ++o) {
        s += Format("  OFS %02Xh : %02Xh  (BANK  : %u)\n", o,
                    channelReg(static_cast<int>(ch), static_cast<uint8_t>(o)), ch);
      }
    }
    return s;
  };
  regs += ldnPart(0x0D);
  regs += banked(14, [&](int ch, uint8_t o) { return sio->vlmChannelReg(ch, o); });
  regs += ldnPart(0x0E);
  regs += banked(3, [&](int ch, uint8_t o) { return sio->tmsChannelReg(ch, o); });

  const std::string expected = expect::ReadDataFile("440bx-pc87366-4e.head.txt") + regs + kRule +
                               expect::ReadDataFile("monitor-window.txt") +
                               expect::PciSection(p.board->pci());
  EXPECT_EQ(p.text, expected);
}

}  // namespace
}  // namespace kev::report
