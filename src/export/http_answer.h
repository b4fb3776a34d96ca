// What the metrics server answers one request, the limits on requests
// included. Runs on the server's own thread, inside the HTTP library.
#pragma once

#include <microhttpd.h>

#include <cstddef>

#include "export/metrics_server.h"

namespace kev::metrics {

// The longest request line and header block taken, and the most header lines.
inline constexpr size_t kMaxRequestLineBytes = 8 * 1024;
inline constexpr size_t kMaxHeaderBytes = 8 * 1024;
inline constexpr size_t kMaxHeaderLines = 100;

// Queues the answer: the published texts for GET or HEAD of /metrics and
// /readings.json; 414, 431, 405, 413 (a request body is never read) or 404
// otherwise. lineTooLong: the request line was over its limit.
MHD_Result QueueAnswer(MHD_Connection* c, const char* url, const char* method, bool lineTooLong,
                       const Published& texts);

}  // namespace kev::metrics
