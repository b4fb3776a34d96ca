#include "monitor/channels.h"

#include <stdexcept>

namespace kev {

namespace {

struct GroupInfo {
  ChannelGroup group;
  int first;  // number of the group's first channel
  int count;
  int errorKind;
  const char* logPrefix;
};

constexpr std::array<GroupInfo, 3> kGroups{{
    {ChannelGroup::Fan, 1, kFanCount, kErrorKindFan, "FAN_"},
    {ChannelGroup::Temp, 4, kTempCount, kErrorKindTemp, "TEMP_"},
    {ChannelGroup::Volt, 7, kVoltCount, kErrorKindVolt, "VOLT_"},
}};

const GroupInfo& Info(ChannelGroup group) { return kGroups[static_cast<size_t>(group)]; }

}  // namespace

ChannelSet MakeChannels() {
  ChannelSet set;
  for (const GroupInfo& g : kGroups) {
    for (int n = 0; n < g.count; ++n) {
      SensorChannel& c = set[static_cast<size_t>(g.first - 1 + n)];
      c.group = g.group;
      c.number = g.first + n;
      c.n = n;
    }
  }
  return set;
}

int ChannelNumber(ChannelGroup group, int n) {
  const GroupInfo& g = Info(group);
  if (n < 0 || n >= g.count) throw std::out_of_range("channel index outside its group");
  return g.first + n;
}

SensorChannel& ChannelOf(ChannelSet& channels, ChannelGroup group, int n) {
  return channels[static_cast<size_t>(ChannelNumber(group, n) - 1)];
}

int ErrorKind(ChannelGroup group) { return Info(group).errorKind; }

std::string LogFileName(const SensorChannel& channel) {
  return Info(channel.group).logPrefix + std::to_string(channel.n + 1) + ".LOG";
}

bool AnyChannelInError(const ChannelSet& channels) {
  for (const SensorChannel& c : channels) {
    if (c.inError) return true;
  }
  return false;
}

}  // namespace kev
