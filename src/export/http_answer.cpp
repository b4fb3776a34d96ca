#include "export/http_answer.h"

#include <string>
#include <string_view>

#include "export/history_page.h"

namespace kev::metrics {
namespace {

constexpr const char* kMetricsType = "text/plain; version=0.0.4; charset=utf-8";
constexpr const char* kJsonType = "application/json";
constexpr const char* kTextType = "text/plain; charset=utf-8";
constexpr const char* kHtmlType = "text/html; charset=utf-8";
constexpr const char* kAllowed = "GET, HEAD";
// Bytes a header line takes besides its name and value: ": " and CRLF.
constexpr size_t kHeaderLineOverhead = 4;

struct Answer {
  unsigned status = MHD_HTTP_OK;
  std::string_view body;
  const char* type = kTextType;
};

// Served to browsers: run nothing but the page's own style, guess no types.
void BrowserHeaders(MHD_Response* r) {
  MHD_add_response_header(r, "Content-Security-Policy", kPageSecurityPolicy);
  MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
  MHD_add_response_header(r, "Referrer-Policy", "no-referrer");
  MHD_add_response_header(r, "Cache-Control", "no-store");
}

struct HeaderTally {
  size_t lines = 0;
  size_t bytes = 0;
};

MHD_Result CountHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  auto* t = static_cast<HeaderTally*>(cls);
  ++t->lines;
  t->bytes += std::string_view(key).size() + kHeaderLineOverhead +
              (value == nullptr ? 0 : std::string_view(value).size());
  return MHD_YES;
}

// A body announced by Content-Length or sent in chunks.
bool HasBody(MHD_Connection* c) {
  const char* length = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Content-Length");
  if (length != nullptr && std::string_view(length) != "0") return true;
  return MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Transfer-Encoding") != nullptr;
}

std::optional<Answer> Refusal(MHD_Connection* c, std::string_view method, bool lineTooLong) {
  if (lineTooLong) return Answer{MHD_HTTP_URI_TOO_LONG, "request line too long\n"};
  HeaderTally tally;
  MHD_get_connection_values(c, MHD_HEADER_KIND, CountHeader, &tally);
  if (tally.lines > kMaxHeaderLines || tally.bytes > kMaxHeaderBytes)
    return Answer{MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE, "headers too large\n"};
  if (method != "GET" && method != "HEAD")
    return Answer{MHD_HTTP_METHOD_NOT_ALLOWED, "only GET and HEAD\n"};
  if (HasBody(c)) return Answer{MHD_HTTP_CONTENT_TOO_LARGE, "no request body taken\n"};
  return std::nullopt;
}

MHD_Result Queue(MHD_Connection* c, const Answer& a) {
  // The text is copied: a later sample may replace it while this is sent.
  MHD_Response* r = MHD_create_response_from_buffer(a.body.size(), const_cast<char*>(a.body.data()),
                                                    MHD_RESPMEM_MUST_COPY);
  if (r == nullptr) return MHD_NO;
  MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, a.type);
  if (a.status == MHD_HTTP_METHOD_NOT_ALLOWED) MHD_add_response_header(r, "Allow", kAllowed);
  BrowserHeaders(r);
  const MHD_Result queued = MHD_queue_response(c, a.status, r);
  MHD_destroy_response(r);
  return queued;
}

MHD_Result QueueHistory(MHD_Connection* c, const Published& texts) {
  if (!texts.history) return Queue(c, {MHD_HTTP_NOT_FOUND, "no history kept\n"});
  std::string error;
  const std::optional<HistoryQuery> q =
      ParseHistoryQuery(MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, "channel"),
                        MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, "minutes"), error);
  if (!q) return Queue(c, {MHD_HTTP_BAD_REQUEST, error});
  const std::string json = FormatHistoryJson(*texts.history, *q);
  return Queue(c, {MHD_HTTP_OK, json, kJsonType});
}

}  // namespace

std::optional<MHD_Result> QueueRefusal(MHD_Connection* c, const char* method, bool lineTooLong) {
  const std::optional<Answer> refusal = Refusal(c, method, lineTooLong);
  if (!refusal) return std::nullopt;
  return Queue(c, *refusal);
}

MHD_Result QueueAnswer(MHD_Connection* c, const char* url, const Published& texts) {
  const std::string_view path(url);
  if (path == "/") {
    // Drawn when asked for, not on every sample: only browsers ask.
    if (!texts.history) return Queue(c, {MHD_HTTP_NOT_FOUND, "no history kept\n"});
    std::string error;
    const std::optional<int64_t> span =
        ParsePageSpan(MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, "minutes"), error);
    if (!span) return Queue(c, {MHD_HTTP_BAD_REQUEST, error});
    const std::string page = FormatHistoryPage(*texts.history, *span);
    return Queue(c, {MHD_HTTP_OK, page, kHtmlType});
  }
  if (path == "/history.json") return QueueHistory(c, texts);
  if (path == "/metrics") return Queue(c, {MHD_HTTP_OK, texts.metrics, kMetricsType});
  if (path == "/readings.json") return Queue(c, {MHD_HTTP_OK, texts.json, kJsonType});
  return Queue(c, {MHD_HTTP_NOT_FOUND,
                   "not found: try /, /metrics, /readings.json or /history.json?channel=N\n"});
}

}  // namespace kev::metrics
