// Row captions and labels of the monitor window, the geometry of its three
// row groups and the voltage presets applied on a first start.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "monitor/channels.h"

namespace kev {

inline constexpr int kGroupCount = 3;
inline constexpr int kMaxGroupRows = 9;
// Caption index that hides an unchecked row; its caption is all blanks.
inline constexpr int32_t kHiddenCaptionIndex = 1;
inline constexpr int kSlotPitch = 19;  // pixels between slot tops

struct CaptionEntry {
  std::string_view caption;  // check-box caption, padded with blanks to look centred
  std::string_view label;    // ChannelLabel; empty for indexes 0 and 1
};

// Index 0 of each table is the row's own caption (see RowOwnCaptions); the
// entry kept there is only a placeholder. Indexes 1 and up serve every row.
extern const std::array<CaptionEntry, 13> FanCaptionTable;
extern const std::array<CaptionEntry, 21> TempCaptionTable;
extern const std::array<CaptionEntry, 17> VoltCaptionTable;

// One group of rows: which channels, where its slots sit, its tab positions
// and its caption table.
struct RowGroupInfo {
  ChannelGroup group;
  int firstChannel;  // SensorChannel number of the group's row 0
  int rowCount;
  int firstTab;      // tab position of slot 0
  int firstSlotTop;  // client y of slot 0
  std::span<const CaptionEntry> captions;
  std::span<const std::string_view> ownCaptions;  // index-0 caption per row
  std::string_view title;                         // heads the group in reports and plots
};

const RowGroupInfo& GroupInfo(ChannelGroup g);
const RowGroupInfo& GroupOfChannel(int channel);  // channel 1..15
int GroupRow(int channel);                        // 0-based row within its group
int GroupIndex(ChannelGroup g);                   // 0 fans, 1 temperatures, 2 voltages
int LastCaptionIndex(ChannelGroup g);

int SlotTop(ChannelGroup g, int slot);
int TabPosition(ChannelGroup g, int slot);

bool CaptionIndexValid(int channel, int32_t index);
// Caption and label of a row at a caption index; the index must be valid.
CaptionEntry CaptionFor(int channel, int32_t index);
// The index the reset gestures return a row to.
int32_t DefaultCaptionIndex(int channel, bool dualCoreVoltage);

// Captions and (for some chips) order of the nine voltage rows on a first start.
struct VoltPreset {
  std::array<int32_t, 9> captionIndexes;
  std::optional<std::array<int32_t, 9>> positionIndexes;  // none: keep as loaded
};

const VoltPreset& FirstStartVoltPreset(int32_t chipKind, bool dualCoreVoltage);

}  // namespace kev
