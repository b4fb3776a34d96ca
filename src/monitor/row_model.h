// The fifteen rows of the monitor window without any widget: captions,
// labels, enabled states, slots, tab order, the swap protocol and the mouse
// gestures as operations. A window binds its check boxes and value panels to
// this model and re-reads the rows after each operation.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "detect/records.h"
#include "monitor/caption_tables.h"
#include "settings/monitor_settings.h"

namespace kev {

enum class PanelCursor : uint8_t { Default, Drag };

struct RowView {
  int channel = 0;                            // SensorChannel number 1..15
  std::string_view caption;                   // check-box caption
  std::string_view label;                     // ChannelLabel
  bool enabled = true;                        // check box enabled; false = hidden row
  int slotTop = 0;                            // client y of check box and value panel
  int tabPosition = 0;                        // keyboard tab position of the check box
  PanelCursor cursor = PanelCursor::Default;  // over the value panel
};

// A mouse press on a check box or value panel: button and modifier state.
struct RowPress {
  bool rightButton = false;
  bool doubleClick = false;
  bool shift = false;
  bool ctrl = false;
};

class RowModel {
 public:
  // Reads and writes the row settings (checked, caption and position
  // indexes, SettingsDefaulted); reads ChipKind and DualCoreVoltage; keeps
  // each channel's ChannelLabel in step with its caption.
  RowModel(MonitorSettings& settings, const DetectState& detect, ChannelSet& channels);

  const RowView& row(int channel) const;
  std::string_view ChannelLabel(int channel) const { return row(channel).label; }
  int32_t swapMark(ChannelGroup g) const { return marks_[static_cast<size_t>(GroupIndex(g))]; }
  // Channels top to bottom: fans, temperatures, voltages, each by slot.
  std::vector<int> ChannelsInRowOrder() const;

  void UpdateRowEnables();
  void ApplyFanCaptions() { applyCaptions(ChannelGroup::Fan); }
  void ApplyTempCaptions() { applyCaptions(ChannelGroup::Temp); }
  void ApplyVoltCaptions();  // first-start presets, then the captions
  void ApplyAllCaptions();
  void LayoutFanRows() { layout(ChannelGroup::Fan); }
  void LayoutTempRows() { layout(ChannelGroup::Temp); }
  void LayoutVoltRows() { layout(ChannelGroup::Volt); }
  void ApplyRowLayout();  // clears swap marks; first-start voltage order
  void ResetFanOrder() { ResetOrder(ChannelGroup::Fan); }
  void ResetTempOrder() { ResetOrder(ChannelGroup::Temp); }
  void ResetVoltOrder() { ResetOrder(ChannelGroup::Volt); }
  void ResetOrder(ChannelGroup g);
  void SwapRows(ChannelGroup g, int a, int b);  // group-relative row numbers
  void SetGroupCursor(ChannelGroup g, PanelCursor cursor);

  // Check-box click: the checked state changed (by the user or a load).
  // For fan rows the window also hands the new state to SetFanCounter.
  void SetChecked(int channel, bool checked);
  // Gestures on an enabled check box.
  void ResetCaption(int channel);  // Ctrl + right button
  void CycleCaption(int channel);  // Shift + right button
  // Gestures on a value panel.
  void SwapStep(int channel);          // Shift + right button
  void RestoreHiddenRow(int channel);  // Ctrl + double click, disabled rows only

  // Button-down dispatch with the Ctrl test first; unmatched presses do nothing.
  void CheckBoxMouseDown(int channel, const RowPress& press);
  void PanelMouseDown(int channel, const RowPress& press);

 private:
  RowView& at(int channel);
  void applyCaptions(ChannelGroup g);
  void layout(ChannelGroup g);
  void repairCaptionIndexes(ChannelGroup g);
  void repairPositions(ChannelGroup g);
  void applyVoltPresetOrder();
  void hideIfBlankUnchecked(int channel);

  MonitorSettings& settings_;
  const DetectState& detect_;
  ChannelSet& channels_;
  std::array<RowView, kChannelCount> rows_;
  std::array<int32_t, kGroupCount> marks_{-1, -1, -1};
};

}  // namespace kev
