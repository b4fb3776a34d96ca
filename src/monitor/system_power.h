// The system's power requests, separate from the window so that both the
// desktop program and the command-line tool can use one implementation.
#pragma once

#include "monitor/monitor_host.h"

namespace kev {

class SystemPower {
 public:
  virtual ~SystemPower() = default;
  // True when the system says this process may perform the action.
  virtual bool MayRequest(PowerAction action) = 0;
  // Sends the request without interaction; true when the system accepted it.
  virtual bool Request(PowerAction action) = 0;
};

}  // namespace kev
