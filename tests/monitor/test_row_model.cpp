#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/row_model.h"

namespace kev {
namespace {

struct Rows {
  MonitorSettings settings;
  DetectState detect;
  ChannelSet channels = MakeChannels();
  RowModel model{settings, detect, channels};

  void start() {
    model.UpdateRowEnables();
    model.ApplyRowLayout();
    model.ApplyAllCaptions();
  }
  // Voltage labels top to bottom.
  std::vector<std::string> voltLabelsTopDown() const {
    std::vector<std::string> out;
    for (int ch : model.ChannelsInRowOrder()) {
      if (ch >= 7) out.emplace_back(model.row(ch).label);
    }
    return out;
  }
};

constexpr RowPress kShiftRight{.rightButton = true, .shift = true};
constexpr RowPress kCtrlRight{.rightButton = true, .ctrl = true};
constexpr RowPress kCtrlDouble{.doubleClick = true, .ctrl = true};

TEST(CaptionTables, CaptionsHaveTheirExactPaddedLengths) {
  const std::vector<size_t> fan{0, 23, 15, 16, 16, 14, 17, 17, 16, 16, 18, 17, 17};
  const std::vector<size_t> temp{0,  23, 12, 14, 17, 17, 16, 16, 19, 16, 14,
                                 16, 18, 17, 17, 16, 15, 15, 15, 13, 13};
  const std::vector<size_t> volt{0, 23, 15, 16, 18, 18, 17, 18, 19, 17, 16, 13, 13, 20, 18, 17, 20};
  for (size_t i = 1; i < fan.size(); ++i) EXPECT_EQ(FanCaptionTable[i].caption.size(), fan[i]) << i;
  for (size_t i = 1; i < temp.size(); ++i)
    EXPECT_EQ(TempCaptionTable[i].caption.size(), temp[i]) << i;
  for (size_t i = 1; i < volt.size(); ++i)
    EXPECT_EQ(VoltCaptionTable[i].caption.size(), volt[i]) << i;
  EXPECT_EQ(FanCaptionTable[1].caption, std::string(23, ' '));
  EXPECT_EQ(CaptionFor(2, 0).caption, "      Fan 2        ");
  EXPECT_EQ(CaptionFor(6, 0).caption, "    Temp. 3     ");
  EXPECT_EQ(CaptionFor(15, 0).caption, "      Volt. 9     ");
  EXPECT_EQ(CaptionFor(15, 0).label, "");
  EXPECT_EQ(CaptionFor(5, 2).label, "Mother Board Temp.");
}

TEST(RowModel, DefaultCaptionIndexDependsOnDualCoreVoltage) {
  Rows r;
  r.start();
  r.model.CheckBoxMouseDown(7, kCtrlRight);
  EXPECT_EQ(r.model.row(7).caption, "    VCORE      ");
  EXPECT_EQ(r.channels[6].ChannelLabel, "VCORE");

  r.detect.DualCoreVoltage = true;
  r.model.CheckBoxMouseDown(7, kCtrlRight);
  r.model.CheckBoxMouseDown(8, kCtrlRight);
  EXPECT_EQ(r.model.row(7).caption, "    VCORE1   ");
  EXPECT_EQ(r.model.row(8).caption, "    VCORE2   ");
  EXPECT_EQ(DefaultCaptionIndex(9, true), 4);
  EXPECT_EQ(DefaultCaptionIndex(1, true), 0);
}

TEST(RowModelPresets, Pc87366ReordersAndRenamesVoltages) {
  Rows r;
  r.settings.SettingsDefaulted = true;
  r.detect.chip.ChipKind = kind::PC87366;
  r.start();
  EXPECT_EQ(r.voltLabelsTopDown(),
            (std::vector<std::string>{"VCORE", "+3.3V", "+5.0V", "+12.0V", "-12.0V", "VDD", "3VSB",
                                      "5VSB", "VBAT"}));
  EXPECT_EQ(r.settings.Volt1CaptionIndex, 10);
  EXPECT_EQ(r.settings.Volt1PositionIndex, 8);
  EXPECT_EQ(r.model.row(12).slotTop, 169);  // Volt 6 (VCORE) at the top
  EXPECT_EQ(r.model.row(12).tabPosition, 6);
}

TEST(RowModelPresets, It8705fShowsVolt7AboveVolt6) {
  Rows r;
  r.settings.SettingsDefaulted = true;
  r.detect.chip.ChipKind = kind::IT8705F;
  r.start();
  EXPECT_EQ(r.model.ChannelLabel(12), "3VSB");
  EXPECT_EQ(r.model.ChannelLabel(13), "-12.0V");
  EXPECT_LT(r.model.row(13).slotTop, r.model.row(12).slotTop);
  EXPECT_EQ(r.voltLabelsTopDown(),
            (std::vector<std::string>{"VCORE", "+2.5V", "+3.3V", "+5.0V", "+12.0V", "-12.0V",
                                      "3VSB", "5VSB", "VBAT"}));
}

TEST(RowModelPresets, OtherChipsKeepTheLoadedOrder) {
  for (bool dual : {false, true}) {
    Rows r;
    r.settings.SettingsDefaulted = true;
    r.detect.chip.ChipKind = dual ? kind::W83782D : -1;
    r.detect.DualCoreVoltage = dual;
    r.settings.Volt1PositionIndex = 1;  // a loaded, valid order
    r.settings.Volt2PositionIndex = 0;
    r.start();
    EXPECT_EQ(
        r.voltLabelsTopDown(),
        (std::vector<std::string>{dual ? "VCORE2" : "VINR0", dual ? "VCORE1" : "VCORE", "+3.3V",
                                  "+5.0V", "+12.0V", "-12.0V", "-5.0V", "5VSB", "VBAT"}))
        << dual;
  }
}

TEST(RowModelPresets, NotAppliedWhenSettingsWereLoaded) {
  Rows r;
  r.detect.chip.ChipKind = kind::PC87366;
  r.start();
  EXPECT_EQ(r.model.row(7).caption, "      Volt. 1     ");
  EXPECT_EQ(r.model.row(7).slotTop, 169);
  EXPECT_EQ(r.settings.Volt1PositionIndex, 0);
}

TEST(RowModelGestures, CaptionCyclingWrapsAfterTheLastIndex) {
  Rows r;
  r.settings.CheckBoxFan1 = r.settings.CheckBoxTemp1 = r.settings.CheckBoxVolt1 = true;
  r.start();
  for (auto [channel, presses] : {std::pair{1, 13}, {4, 21}, {7, 17}}) {
    const std::string first(r.model.row(channel).caption);
    for (int i = 1; i <= presses; ++i) {
      r.model.CheckBoxMouseDown(channel, kShiftRight);
      if (i < presses) {
        EXPECT_NE(r.model.row(channel).caption, first) << channel << " " << i;
      }
    }
    EXPECT_EQ(r.model.row(channel).caption, first) << channel;
    // A checked row at index 1 keeps its box enabled under a blank caption.
    r.model.CheckBoxMouseDown(channel, kShiftRight);
    EXPECT_TRUE(r.model.row(channel).enabled);
  }
}

TEST(RowModelGestures, HidingAndRestoringAnUncheckedRow) {
  Rows r;
  r.start();
  r.model.CheckBoxMouseDown(2, kShiftRight);  // index 1, unchecked: hides
  EXPECT_FALSE(r.model.row(2).enabled);
  EXPECT_EQ(r.model.row(2).caption, std::string(23, ' '));

  r.model.CheckBoxMouseDown(2, kShiftRight);  // a disabled box takes no presses
  EXPECT_EQ(r.settings.Fan2CaptionIndex, 1);
  r.model.PanelMouseDown(2, kCtrlRight);  // not the restore gesture

  r.model.PanelMouseDown(2, kCtrlDouble);
  EXPECT_TRUE(r.model.row(2).enabled);
  EXPECT_EQ(r.model.row(2).caption, "      Fan 2        ");
  r.model.PanelMouseDown(2, kCtrlDouble);  // enabled rows ignore it
  EXPECT_EQ(r.settings.Fan2CaptionIndex, 0);

  // Unchecking a row whose caption is blank hides it at once.
  r.settings.Temp1CaptionIndex = 1;
  r.model.SetChecked(4, true);
  r.model.UpdateRowEnables();
  EXPECT_TRUE(r.model.row(4).enabled);
  r.model.SetChecked(4, false);
  EXPECT_FALSE(r.model.row(4).enabled);
}

TEST(RowModelGestures, CtrlWinsOverShift) {
  Rows r;
  r.settings.CheckBoxFan1 = true;
  r.start();
  r.model.CheckBoxMouseDown(1, kShiftRight);
  r.model.CheckBoxMouseDown(1, {.rightButton = true, .shift = true, .ctrl = true});
  EXPECT_EQ(r.settings.Fan1CaptionIndex, 0);
  r.model.CheckBoxMouseDown(1, {.shift = true});  // left button: nothing
  EXPECT_EQ(r.settings.Fan1CaptionIndex, 0);
}

TEST(RowModelSwap, SecondClickSwapsRowsAndTabOrder) {
  Rows r;
  r.start();
  r.model.PanelMouseDown(2, kShiftRight);
  EXPECT_EQ(r.model.swapMark(ChannelGroup::Fan), 1);
  EXPECT_EQ(r.model.row(1).cursor, PanelCursor::Drag);
  r.model.PanelMouseDown(3, kShiftRight);
  EXPECT_EQ(r.settings.Fan2PositionIndex, 2);
  EXPECT_EQ(r.settings.Fan3PositionIndex, 1);
  EXPECT_EQ(r.model.row(2).slotTop, 53);
  EXPECT_EQ(r.model.row(3).slotTop, 34);
  EXPECT_EQ(r.model.row(2).tabPosition, 2);
  EXPECT_EQ(r.model.row(3).tabPosition, 1);
  EXPECT_EQ(r.model.swapMark(ChannelGroup::Fan), -1);
  for (int ch : {1, 2, 3}) EXPECT_EQ(r.model.row(ch).cursor, PanelCursor::Default);
  EXPECT_EQ(r.model.ChannelsInRowOrder()[1], 3);
}

TEST(RowModelSwap, SameRowTwiceChangesNothing) {
  Rows r;
  r.start();
  r.model.PanelMouseDown(8, kShiftRight);
  r.model.PanelMouseDown(8, kShiftRight);
  EXPECT_EQ(r.settings.Volt2PositionIndex, 1);
  EXPECT_EQ(r.model.row(8).slotTop, 188);
  EXPECT_EQ(r.model.swapMark(ChannelGroup::Volt), -1);
  EXPECT_EQ(r.model.row(8).cursor, PanelCursor::Default);
}

TEST(RowModelSwap, ClickInAnotherGroupOnlyCancels) {
  Rows r;
  r.start();
  r.model.PanelMouseDown(2, kShiftRight);
  r.model.PanelMouseDown(5, kShiftRight);
  EXPECT_EQ(r.model.swapMark(ChannelGroup::Fan), -1);
  EXPECT_EQ(r.model.swapMark(ChannelGroup::Temp), -1);
  EXPECT_EQ(r.model.row(2).cursor, PanelCursor::Default);
  EXPECT_EQ(r.model.row(5).cursor, PanelCursor::Default);
  EXPECT_EQ(r.settings.Fan2PositionIndex, 1);

  r.model.PanelMouseDown(5, kShiftRight);
  EXPECT_EQ(r.model.swapMark(ChannelGroup::Temp), 1);
  EXPECT_EQ(r.model.row(4).cursor, PanelCursor::Drag);
}

TEST(RowModelSwap, OrderResetClearsAPendingMark) {
  Rows r;
  r.start();
  r.model.SwapRows(ChannelGroup::Volt, 0, 8);
  r.model.PanelMouseDown(8, kShiftRight);
  r.model.PanelMouseDown(11, kCtrlRight);
  EXPECT_EQ(r.model.swapMark(ChannelGroup::Volt), -1);
  for (int ch = 7; ch <= 15; ++ch) {
    EXPECT_EQ(r.model.row(ch).slotTop, 169 + 19 * (ch - 7));
    EXPECT_EQ(r.model.row(ch).tabPosition, ch - 1);
    EXPECT_EQ(r.model.row(ch).cursor, PanelCursor::Default);
  }
}

TEST(RowModelRepair, BadStoredCaptionIndexesFallBackToTheDefault) {
  Rows r;
  r.detect.DualCoreVoltage = true;
  r.settings.Fan1CaptionIndex = 13;
  r.settings.Temp3CaptionIndex = -1;
  r.settings.Volt1CaptionIndex = 17;
  r.settings.Volt3CaptionIndex = 16;  // valid: kept
  r.start();
  EXPECT_EQ(r.settings.Fan1CaptionIndex, 0);
  EXPECT_EQ(r.settings.Temp3CaptionIndex, 0);
  EXPECT_EQ(r.settings.Volt1CaptionIndex, 11);
  EXPECT_EQ(r.model.row(7).caption, "    VCORE1   ");
  EXPECT_EQ(r.model.ChannelLabel(9), "VDD");
  EXPECT_TRUE(r.model.row(6).enabled);
}

TEST(RowModelRepair, PositionsThatAreNoPermutationGoBackToNaturalOrder) {
  Rows r;
  r.settings.Fan1PositionIndex = 1;   // two fans in slot 1
  r.settings.Temp1PositionIndex = 3;  // outside the group
  r.settings.Volt1PositionIndex = 8;  // a valid permutation: kept
  r.settings.Volt9PositionIndex = 0;
  r.start();
  EXPECT_EQ(r.settings.Fan1PositionIndex, 0);
  EXPECT_EQ(r.settings.Fan2PositionIndex, 1);
  EXPECT_EQ(r.settings.Temp1PositionIndex, 0);
  EXPECT_EQ(r.model.row(1).slotTop, 15);
  EXPECT_EQ(r.model.row(4).slotTop, 92);
  EXPECT_EQ(r.model.row(7).slotTop, 321);
  EXPECT_EQ(r.model.row(15).slotTop, 169);
}

}  // namespace
}  // namespace kev
