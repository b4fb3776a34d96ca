// The page serve answers at "/": the current readings in the monitor
// window's three groups and the last hour of each checked channel as a
// server-drawn graph with its limits and its alarms shaded. Self-contained
// (no scripts, no outside styles or fonts); it reloads itself every interval.
#pragma once

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

std::string FormatHistoryPage(const HistoryView& view);

}  // namespace kev::metrics
