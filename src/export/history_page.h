// The page serve answers at "/": the current readings in the monitor
// window's three groups and the last 10 minutes, hour or 24 hours of each
// checked channel as a server-drawn graph with its limits and its alarms
// shaded, with plain links between the three. Self-contained (no scripts,
// no outside styles or fonts); it reloads itself every interval.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "export/history_view.h"

namespace kev::metrics {

// The headers the page goes out with: nothing but its own inline style runs.
inline constexpr const char* kPageSecurityPolicy =
    "default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

// Text made safe for HTML text and attribute values; bytes that are no
// UTF-8 become U+FFFD.
std::string HtmlEscape(std::string_view raw);

// spanMs: the graphs' span; 0 for the shortest that holds what is recorded.
std::string FormatHistoryPage(const HistoryView& view, int64_t spanMs = 0);

// The span "/?minutes=N" asks for (null: the default, 0); nullopt with a
// message for a 400 when N is no whole number from 1 to 1440.
std::optional<int64_t> ParsePageSpan(const char* minutes, std::string& error);

}  // namespace kev::metrics
