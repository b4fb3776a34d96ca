// What happens while a channel is in error: show the window, play the
// kind's sound, shut down or suspend after a count-down.
#pragma once

#include "monitor/monitor_context.h"

namespace kev {

// kind: 1 fan, 2 temperature, 3 voltage.
void RunErrorActions(MonitorContext& ctx, int kind);

// Whether the system lets this process perform the power action.
bool EnableShutdownPrivilege(MonitorContext& ctx, PowerAction action);

inline constexpr const char* kShutdownMessage = "This system is shut down after 10 seconds.";
inline constexpr const char* kSuspendMessage = "This system is suspended after 10 seconds.";

}  // namespace kev
