#include "monitor/row_model.h"

#include <algorithm>
#include <stdexcept>

namespace kev {
namespace {

constexpr std::array<ChannelGroup, kGroupCount> kAllGroups{ChannelGroup::Fan, ChannelGroup::Temp,
                                                           ChannelGroup::Volt};

}  // namespace

RowModel::RowModel(MonitorSettings& settings, const DetectState& detect, ChannelSet& channels)
    : settings_(settings), detect_(detect), channels_(channels) {
  for (int ch = 1; ch <= kChannelCount; ++ch) {
    RowView& r = at(ch);
    r.channel = ch;
    const ChannelGroup g = GroupOfChannel(ch).group;
    const int n = GroupRow(ch);
    r.slotTop = SlotTop(g, n);
    r.tabPosition = TabPosition(g, n);
    r.caption = CaptionFor(ch, 0).caption;
  }
}

RowView& RowModel::at(int channel) {
  if (channel < 1 || channel > kChannelCount) throw std::out_of_range("channel out of range");
  return rows_[static_cast<size_t>(channel - 1)];
}

const RowView& RowModel::row(int channel) const {
  if (channel < 1 || channel > kChannelCount) throw std::out_of_range("channel out of range");
  return rows_[static_cast<size_t>(channel - 1)];
}

std::vector<int> RowModel::ChannelsInRowOrder() const {
  std::vector<int> order(kChannelCount);
  for (int ch = 1; ch <= kChannelCount; ++ch) order[static_cast<size_t>(ch - 1)] = ch;
  // Slot tops grow down the window across all three groups.
  std::stable_sort(order.begin(), order.end(),
                   [this](int a, int b) { return row(a).slotTop < row(b).slotTop; });
  return order;
}

void RowModel::UpdateRowEnables() {
  for (int ch = 1; ch <= kChannelCount; ++ch) {
    at(ch).enabled =
        ChannelChecked(settings_, ch) || ChannelCaptionIndex(settings_, ch) != kHiddenCaptionIndex;
  }
}

// A stored index outside the table falls back to the row's default caption.
void RowModel::repairCaptionIndexes(ChannelGroup g) {
  const RowGroupInfo& info = GroupInfo(g);
  for (int n = 0; n < info.rowCount; ++n) {
    const int ch = info.firstChannel + n;
    int32_t& index = ChannelCaptionIndex(settings_, ch);
    if (!CaptionIndexValid(ch, index)) index = DefaultCaptionIndex(ch, detect_.DualCoreVoltage);
  }
}

void RowModel::applyCaptions(ChannelGroup g) {
  repairCaptionIndexes(g);
  const RowGroupInfo& info = GroupInfo(g);
  for (int n = 0; n < info.rowCount; ++n) {
    const int ch = info.firstChannel + n;
    const CaptionEntry e = CaptionFor(ch, ChannelCaptionIndex(settings_, ch));
    at(ch).caption = e.caption;
    at(ch).label = e.label;
    channels_[static_cast<size_t>(ch - 1)].ChannelLabel = e.label;
  }
}

void RowModel::ApplyVoltCaptions() {
  if (settings_.SettingsDefaulted) {
    const VoltPreset& p = FirstStartVoltPreset(detect_.chip.ChipKind, detect_.DualCoreVoltage);
    for (int n = 0; n < 9; ++n) {
      ChannelCaptionIndex(settings_, ChannelNumber(ChannelGroup::Volt, n)) =
          p.captionIndexes[static_cast<size_t>(n)];
    }
  }
  applyCaptions(ChannelGroup::Volt);
}

void RowModel::ApplyAllCaptions() {
  ApplyFanCaptions();
  ApplyTempCaptions();
  ApplyVoltCaptions();
}

// Position indexes that are not a permutation of the slots go back to the
// natural order, so that no two rows share a slot.
void RowModel::repairPositions(ChannelGroup g) {
  const RowGroupInfo& info = GroupInfo(g);
  std::array<bool, kMaxGroupRows> taken{};
  bool valid = true;
  for (int n = 0; n < info.rowCount && valid; ++n) {
    const int32_t pos = ChannelPositionIndex(settings_, info.firstChannel + n);
    valid = pos >= 0 && pos < info.rowCount && !taken[static_cast<size_t>(pos)];
    if (valid) taken[static_cast<size_t>(pos)] = true;
  }
  if (valid) return;
  for (int n = 0; n < info.rowCount; ++n)
    ChannelPositionIndex(settings_, info.firstChannel + n) = n;
}

void RowModel::layout(ChannelGroup g) {
  repairPositions(g);
  const RowGroupInfo& info = GroupInfo(g);
  for (int n = 0; n < info.rowCount; ++n) {
    const int ch = info.firstChannel + n;
    const int slot = ChannelPositionIndex(settings_, ch);
    at(ch).tabPosition = TabPosition(g, slot);
    at(ch).slotTop = SlotTop(g, slot);
  }
}

void RowModel::applyVoltPresetOrder() {
  if (!settings_.SettingsDefaulted) return;
  const VoltPreset& p = FirstStartVoltPreset(detect_.chip.ChipKind, detect_.DualCoreVoltage);
  if (!p.positionIndexes) return;
  for (int n = 0; n < 9; ++n) {
    ChannelPositionIndex(settings_, ChannelNumber(ChannelGroup::Volt, n)) =
        (*p.positionIndexes)[static_cast<size_t>(n)];
  }
}

void RowModel::ApplyRowLayout() {
  for (ChannelGroup g : kAllGroups) {
    marks_[static_cast<size_t>(GroupIndex(g))] = -1;
    SetGroupCursor(g, PanelCursor::Default);
  }
  LayoutFanRows();
  LayoutTempRows();
  applyVoltPresetOrder();
  LayoutVoltRows();
}

void RowModel::ResetOrder(ChannelGroup g) {
  const RowGroupInfo& info = GroupInfo(g);
  for (int n = 0; n < info.rowCount; ++n)
    ChannelPositionIndex(settings_, info.firstChannel + n) = n;
  marks_[static_cast<size_t>(GroupIndex(g))] = -1;
  SetGroupCursor(g, PanelCursor::Default);
  layout(g);
}

void RowModel::SwapRows(ChannelGroup g, int a, int b) {
  const RowGroupInfo& info = GroupInfo(g);
  if (a < 0 || b < 0 || a >= info.rowCount || b >= info.rowCount) {
    throw std::out_of_range("row out of range");
  }
  RowView& ra = at(info.firstChannel + a);
  RowView& rb = at(info.firstChannel + b);
  std::swap(ra.slotTop, rb.slotTop);
  std::swap(ra.tabPosition, rb.tabPosition);
  std::swap(ChannelPositionIndex(settings_, ra.channel),
            ChannelPositionIndex(settings_, rb.channel));
}

void RowModel::SetGroupCursor(ChannelGroup g, PanelCursor cursor) {
  const RowGroupInfo& info = GroupInfo(g);
  for (int n = 0; n < info.rowCount; ++n) at(info.firstChannel + n).cursor = cursor;
}

void RowModel::hideIfBlankUnchecked(int channel) {
  if (!ChannelChecked(settings_, channel) &&
      ChannelCaptionIndex(settings_, channel) == kHiddenCaptionIndex) {
    at(channel).enabled = false;
  }
}

void RowModel::SetChecked(int channel, bool checked) {
  at(channel);  // validates the channel number
  ChannelChecked(settings_, channel) = checked;
  hideIfBlankUnchecked(channel);
}

void RowModel::ResetCaption(int channel) {
  if (!at(channel).enabled) return;
  ChannelCaptionIndex(settings_, channel) = DefaultCaptionIndex(channel, detect_.DualCoreVoltage);
  applyCaptions(GroupOfChannel(channel).group);
}

void RowModel::CycleCaption(int channel) {
  if (!at(channel).enabled) return;
  const ChannelGroup g = GroupOfChannel(channel).group;
  int32_t& index = ChannelCaptionIndex(settings_, channel);
  index = CaptionIndexValid(channel, index) && index < LastCaptionIndex(g) ? index + 1 : 0;
  applyCaptions(g);
  hideIfBlankUnchecked(channel);
}

void RowModel::SwapStep(int channel) {
  const ChannelGroup g = GroupOfChannel(channel).group;
  const auto gi = static_cast<size_t>(GroupIndex(g));
  bool otherPending = false;
  for (ChannelGroup other : kAllGroups) {
    if (other != g && marks_[static_cast<size_t>(GroupIndex(other))] != -1) otherPending = true;
  }
  if (otherPending) {
    // A click in another group only cancels the pending swap.
    for (ChannelGroup other : kAllGroups) {
      if (other == g) continue;
      marks_[static_cast<size_t>(GroupIndex(other))] = -1;
      SetGroupCursor(other, PanelCursor::Default);
    }
  } else if (marks_[gi] == -1) {
    marks_[gi] = GroupRow(channel);
    SetGroupCursor(g, PanelCursor::Drag);
  } else {
    SetGroupCursor(g, PanelCursor::Default);
    SwapRows(g, marks_[gi], GroupRow(channel));
    marks_[gi] = -1;
  }
}

void RowModel::RestoreHiddenRow(int channel) {
  if (at(channel).enabled) return;
  ChannelCaptionIndex(settings_, channel) = DefaultCaptionIndex(channel, detect_.DualCoreVoltage);
  applyCaptions(GroupOfChannel(channel).group);
  at(channel).enabled = true;
}

void RowModel::CheckBoxMouseDown(int channel, const RowPress& press) {
  if (!press.rightButton) return;
  if (press.ctrl) {
    ResetCaption(channel);
  } else if (press.shift) {
    CycleCaption(channel);
  }
}

void RowModel::PanelMouseDown(int channel, const RowPress& press) {
  if (press.ctrl) {
    if (press.doubleClick) {
      RestoreHiddenRow(channel);
    } else if (press.rightButton) {
      ResetOrder(GroupOfChannel(channel).group);
    }
  } else if (press.shift && press.rightButton) {
    SwapStep(channel);
  }
}

}  // namespace kev
