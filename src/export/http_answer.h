// What the metrics server answers one request, the limits on requests
// included. Runs on the server's own thread, inside the HTTP library.
#pragma once

#include <microhttpd.h>

#include <cstddef>
#include <optional>

#include "export/metrics_server.h"

namespace kev::metrics {

// The longest request line and header block taken, and the most header lines.
inline constexpr size_t kMaxRequestLineBytes = 8 * 1024;
inline constexpr size_t kMaxHeaderBytes = 8 * 1024;
inline constexpr size_t kMaxHeaderLines = 100;

// Right after the headers: queues 414, 431, 405 or 413 for a request that
// is not served. Queued this early, the library ends the connection after
// the answer and never reads a body. None when the request is served.
// lineTooLong: the request line was over its limit.
std::optional<MHD_Result> QueueRefusal(MHD_Connection* c, const char* method, bool lineTooLong);

// Once the whole request is in, keeping the connection: the published
// texts for /metrics and /readings.json, 404 for anything else.
MHD_Result QueueAnswer(MHD_Connection* c, const char* url, const Published& texts);

}  // namespace kev::metrics
