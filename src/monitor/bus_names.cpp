#include "monitor/bus_names.h"

#ifdef KEV_HAVE_SDBUS
#include <systemd/sd-bus.h>
#endif

namespace kev {

#ifdef KEV_HAVE_SDBUS

BusNameAnswer SdBusNames::HasOwner(BusKind kind, const std::string& name) {
  sd_bus* bus = nullptr;
  const int opened = kind == BusKind::System ? sd_bus_open_system(&bus) : sd_bus_open_user(&bus);
  if (opened < 0) return {};
  sd_bus_set_method_call_timeout(bus, timeoutUsec_);
  BusNameAnswer answer;
  sd_bus_error error{};  // all empty, as SD_BUS_ERROR_NULL
  sd_bus_message* reply = nullptr;
  if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "NameHasOwner", &error, &reply, "s",
                         name.c_str()) >= 0) {
    int owned = 0;
    answer.reached = sd_bus_message_read(reply, "b", &owned) >= 0;
    answer.owned = answer.reached && owned != 0;
  }
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  sd_bus_flush_close_unref(bus);
  return answer;
}

#else

BusNameAnswer SdBusNames::HasOwner(BusKind, const std::string&) { return {}; }

#endif

}  // namespace kev
