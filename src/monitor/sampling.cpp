#include "monitor/sampling.h"

#include "monitor/error_actions.h"
#include "monitor/fan_channel.h"
#include "monitor/temp_channel.h"
#include "monitor/volt_channel.h"

namespace kev {

namespace {

// Caption index that hides a row.
constexpr int32_t kHiddenCaption = 1;

using ReadChannel = std::string (*)(MonitorContext&, int);

void SampleChannel(MonitorContext& ctx, SensorChannel& ch, ReadChannel read) {
  MonitorSettings& s = ctx.settings;
  if (!ChannelChecked(s, ch.number)) {
    ch.inError = false;
    ch.valueText = ChannelCaptionIndex(s, ch.number) == kHiddenCaption ? "" : kTextIgnore;
    ctx.host.SetPanelText(ch.number, ch.valueText);
    return;
  }
  ch.valueText = read(ctx, ch.n);
  ctx.host.SetPanelText(ch.number, ch.valueText);
  if (ChannelLogging(s, ch.number)) {
    ChannelLogging(s, ch.number) = AppendLogLine(ctx.log, s.LogFileSizeLimit, LogFilePath(ctx, ch),
                                                 ch.ChannelLabel, ch.valueText);
  }
  if (ch.inError) RunErrorActions(ctx, ErrorKind(ch.group));
}

// The group step. Error actions may run further cycles inside a modal
// count-down, so each channel is looked up afresh and nothing is carried
// across that call but the channels' own state.
void SampleGroup(MonitorContext& ctx, ChannelGroup group, int count, ReadChannel read) {
  for (int n = 0; n < count; ++n) SampleChannel(ctx, ChannelOf(ctx.channels, group, n), read);
  ctx.host.SetTrayImage(AnyChannelInError(ctx.channels));
}

}  // namespace

std::string LogFilePath(const MonitorContext& ctx, const SensorChannel& channel) {
  const std::string& dir =
      ctx.settings.LogFileDirectory.empty() ? ctx.StartDirectory : ctx.settings.LogFileDirectory;
  return dir + LogFileName(channel);
}

void SampleFanGroup(MonitorContext& ctx) {
  SampleGroup(ctx, ChannelGroup::Fan, kFanCount, ReadFanChannel);
}

void SampleTempGroup(MonitorContext& ctx) {
  SampleGroup(ctx, ChannelGroup::Temp, kTempCount, ReadTempChannel);
}

void SampleVoltGroup(MonitorContext& ctx) {
  SampleGroup(ctx, ChannelGroup::Volt, kVoltCount, ReadVoltChannel);
}

void SampleAllChannels(MonitorContext& ctx) {
  SampleFanGroup(ctx);
  SampleTempGroup(ctx);
  SampleVoltGroup(ctx);
}

}  // namespace kev
