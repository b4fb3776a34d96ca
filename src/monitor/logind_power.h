// Power off and suspend through the login manager on the system bus.
#pragma once

#include <cstdint>

#include "monitor/system_power.h"

namespace kev {

// Each call opens its own connection to the system bus (the address in
// DBUS_SYSTEM_BUS_ADDRESS when set), so a login manager that starts or stops
// later is noticed. Without sd-bus support every request is refused.
class LogindPower : public SystemPower {
 public:
  explicit LogindPower(uint64_t callTimeoutUsec = 5'000'000) : timeoutUsec_(callTimeoutUsec) {}
  // True when CanPowerOff / CanSuspend answers "yes".
  bool MayRequest(PowerAction action) override;
  // PowerOff(false) / Suspend(false); true when the call returned without error.
  bool Request(PowerAction action) override;

 private:
  uint64_t timeoutUsec_;
};

}  // namespace kev
