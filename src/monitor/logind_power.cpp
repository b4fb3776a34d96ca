#include "monitor/logind_power.h"

#ifdef KEV_HAVE_SDBUS
#include <systemd/sd-bus.h>

#include <cstring>
#endif

namespace kev {

#ifdef KEV_HAVE_SDBUS

namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

// One system-bus connection for the length of a call.
class BusConnection {
 public:
  explicit BusConnection(uint64_t timeoutUsec) {
    if (sd_bus_open_system(&bus_) < 0) {
      bus_ = nullptr;
      return;
    }
    sd_bus_set_method_call_timeout(bus_, timeoutUsec);
  }
  ~BusConnection() {
    if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
  }
  BusConnection(const BusConnection&) = delete;
  BusConnection& operator=(const BusConnection&) = delete;
  sd_bus* get() const { return bus_; }

 private:
  sd_bus* bus_ = nullptr;
};

}  // namespace

bool LogindPower::MayRequest(PowerAction action) {
  BusConnection conn(timeoutUsec_);
  if (conn.get() == nullptr) return false;
  const char* method = action == PowerAction::PowerOff ? "CanPowerOff" : "CanSuspend";
  sd_bus_error error{};  // all empty, as SD_BUS_ERROR_NULL
  sd_bus_message* reply = nullptr;
  bool yes = false;
  if (sd_bus_call_method(conn.get(), kService, kPath, kManager, method, &error, &reply, "") >= 0) {
    const char* answer = nullptr;
    yes = sd_bus_message_read(reply, "s", &answer) >= 0 && answer != nullptr &&
          std::strcmp(answer, "yes") == 0;
  }
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  return yes;
}

bool LogindPower::Request(PowerAction action) {
  BusConnection conn(timeoutUsec_);
  if (conn.get() == nullptr) return false;
  const char* method = action == PowerAction::PowerOff ? "PowerOff" : "Suspend";
  sd_bus_error error{};  // all empty, as SD_BUS_ERROR_NULL
  const int interactive = 0;
  const int r = sd_bus_call_method(conn.get(), kService, kPath, kManager, method, &error, nullptr,
                                   "b", interactive);
  sd_bus_error_free(&error);
  return r >= 0;
}

#else

bool LogindPower::MayRequest(PowerAction) { return false; }
bool LogindPower::Request(PowerAction) { return false; }

#endif

}  // namespace kev
