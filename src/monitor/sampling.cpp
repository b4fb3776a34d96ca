#include "monitor/sampling.h"

#include "monitor/channel_history.h"
#include "monitor/error_actions.h"
#include "monitor/fan_channel.h"
#include "monitor/temp_channel.h"
#include "monitor/volt_channel.h"

namespace kev {

namespace {

constexpr uint32_t kTickBatch = 1;

// Caption index that hides a row.
constexpr int32_t kHiddenCaption = 1;

using ReadChannel = std::string (*)(MonitorContext&, int);

// Hands the channel's line to the log writer. A write that failed since the
// last tick switches the channel's logging off.
void LogValue(MonitorContext& ctx, const SensorChannel& ch) {
  bool& logging = ChannelLogging(ctx.settings, ch.number);
  if (ctx.logWriter && ctx.logWriter->TakeFailure(ch.number)) logging = false;
  if (!logging) return;
  if (!ctx.logWriter) ctx.logWriter = std::make_unique<LogWriter>(ctx.log);
  const LocalTime now = ctx.log.now ? ctx.log.now() : SystemLocalTime();
  ctx.logWriter->Submit(ch.number, LogFilePath(ctx, ch), ctx.settings.LogFileSizeLimit,
                        FormatLogLine(now, ch.ChannelLabel, ch.valueText));
}

void SampleChannel(MonitorContext& ctx, SensorChannel& ch, ReadChannel read) {
  MonitorSettings& s = ctx.settings;
  if (!ChannelChecked(s, ch.number)) {
    ch.inError = false;
    ch.value.reset();
    ch.valueText = ChannelCaptionIndex(s, ch.number) == kHiddenCaption ? "" : kTextIgnore;
    ctx.host.SetPanelText(ch.number, ch.valueText);
    return;
  }
  ch.valueText = read(ctx, ch.n);
  ctx.host.SetPanelText(ch.number, ch.valueText);
  LogValue(ctx, ch);
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

void FlushLogs(MonitorContext& ctx, std::optional<std::chrono::milliseconds> deadline) {
  if (!ctx.logWriter) return;
  if (deadline) {
    ctx.logWriter->Flush(*deadline);
  } else {
    ctx.logWriter->Flush();
  }
  for (int c = 1; c <= kChannelCount; ++c) {
    if (ctx.logWriter->TakeFailure(c)) ChannelLogging(ctx.settings, c) = false;
  }
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
  // One batch, so that a port backend that pays per request reads a
  // steady tick's registers in one go.
  ctx.io.beginBatch(kTickBatch);
  SampleFanGroup(ctx);
  SampleTempGroup(ctx);
  SampleVoltGroup(ctx);
  ctx.io.endBatch();
  if (ctx.history != nullptr) ctx.history->RecordCycle(ctx.channels, ctx.settings);
}

}  // namespace kev
