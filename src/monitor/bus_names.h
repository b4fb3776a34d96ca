// Whether a well-known name on a D-Bus bus has an owner: the tray host on
// the session bus and the login manager on the system bus.
#pragma once

#include <cstdint>
#include <string>

namespace kev {

enum class BusKind { Session, System };

struct BusNameAnswer {
  bool reached = false;  // the bus answered at all
  bool owned = false;    // someone holds the name
};

class BusNames {
 public:
  virtual ~BusNames() = default;
  virtual BusNameAnswer HasOwner(BusKind bus, const std::string& name) = 0;
};

// Asks the bus daemon through sd-bus (DBUS_SESSION_BUS_ADDRESS and
// DBUS_SYSTEM_BUS_ADDRESS are honoured); without sd-bus no bus is reached.
class SdBusNames : public BusNames {
 public:
  explicit SdBusNames(uint64_t callTimeoutUsec = 2'000'000) : timeoutUsec_(callTimeoutUsec) {}
  BusNameAnswer HasOwner(BusKind bus, const std::string& name) override;

 private:
  uint64_t timeoutUsec_;
};

inline constexpr const char* kTrayWatcherName = "org.kde.StatusNotifierWatcher";
inline constexpr const char* kLoginManagerName = "org.freedesktop.login1";

}  // namespace kev
