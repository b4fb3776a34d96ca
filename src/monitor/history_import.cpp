#include "monitor/history_import.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <ctime>

#include "monitor/reading_text.h"
#include "monitor/sampling.h"
#include "monitor/value_text.h"

namespace kev {
namespace {

constexpr size_t kStampLength = 19;  // "yyyy/mm/dd hh:nn:ss"
constexpr int64_t kMsPerSecond = 1000;
constexpr int kFirstYear = 1900;
constexpr int kLastYear = 9999;

struct StampField {
  size_t at, length;
  int min, max;
};
constexpr std::array<StampField, 6> kStampFields{{{0, 4, kFirstYear, kLastYear},
                                                  {5, 2, 1, 12},
                                                  {8, 2, 1, 31},
                                                  {11, 2, 0, 23},
                                                  {14, 2, 0, 59},
                                                  {17, 2, 0, 59}}};

// Digits with any one separator between the fields, in local time.
std::optional<int64_t> ParseStamp(std::string_view s) {
  std::array<int, kStampFields.size()> v{};
  for (size_t i = 0; i < kStampFields.size(); ++i) {
    const StampField& f = kStampFields[i];
    const char* first = s.data() + f.at;
    const auto [end, ec] = std::from_chars(first, first + f.length, v[i]);
    if (ec != std::errc() || end != first + f.length || v[i] < f.min || v[i] > f.max) return {};
    if (f.at > 0 && s[f.at - 1] >= '0' && s[f.at - 1] <= '9') return {};
  }
  std::tm tm{};
  tm.tm_year = v[0] - kFirstYear;
  tm.tm_mon = v[1] - 1;
  tm.tm_mday = v[2];
  tm.tm_hour = v[3];
  tm.tm_min = v[4];
  tm.tm_sec = v[5];
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) return {};
  return static_cast<int64_t>(t) * kMsPerSecond;
}

// The tail of a plain file, at most kMaxLogImportBytes; none when unreadable.
std::optional<std::string> ReadTail(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  std::optional<std::string> out;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    const auto size = static_cast<size_t>(st.st_size);
    const size_t want = std::min(size, kMaxLogImportBytes);
    std::string text(want, '\0');
    const ssize_t got = pread(fd, text.data(), want, static_cast<off_t>(size - want));
    if (got >= 0) {
      text.resize(static_cast<size_t>(got));
      // Cut into the middle of a line: start after its end.
      if (want < size)
        text.erase(0, text.find('\n') == std::string::npos ? text.size() : text.find('\n') + 1);
      out = std::move(text);
    }
  }
  close(fd);
  return out;
}

}  // namespace

std::optional<LogReading> ParseLogLine(std::string_view line, char decimalPoint) {
  if (line.size() < kStampLength || line.size() > kMaxLogLineBytes) return {};
  const std::optional<int64_t> time = ParseStamp(line.substr(0, kStampLength));
  if (!time) return {};
  std::string_view rest = line.substr(kStampLength);
  if (rest.starts_with(" [")) {
    const size_t close = rest.find("] : ");
    if (close == std::string_view::npos) return {};
    rest.remove_prefix(close + 1);
  }
  if (!rest.starts_with(" : ")) return {};
  rest.remove_prefix(3);
  LogReading r{*time, std::nullopt, rest.ends_with(kTextErrorSuffix)};
  if (rest == kTextNoReading) return r;
  r.value = ParseReading(rest, decimalPoint).value;
  if (!r.value) return {};
  return r;
}

LogImport ImportLogFile(const std::string& path, char decimalPoint, int64_t fromMs, int64_t toMs,
                        const std::function<void(const LogReading&)>& take) {
  LogImport result;
  const std::optional<std::string> text = ReadTail(path);
  if (!text) return result;
  std::string_view rest(*text);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) continue;
    const std::optional<LogReading> r = ParseLogLine(line, decimalPoint);
    if (!r) {
      ++result.skipped;
    } else if (r->timeMs >= fromMs && r->timeMs <= toMs) {
      ++result.readings;
      take(*r);
    }
  }
  return result;
}

LogImport ImportChannelLogs(MonitorContext& ctx, ChannelHistory& history) {
  LogImport total;
  const int64_t now = history.Now();
  for (const SensorChannel& ch : ctx.channels) {
    if (!ChannelLogging(ctx.settings, ch.number)) continue;
    const LogImport one = ImportLogFile(
        LogFilePath(ctx, ch), ctx.numbers.decimalPoint, now - kHistorySpanMs, now,
        [&](const LogReading& r) { history.Record(ch.number, r.timeMs, r.value, r.alarm); });
    total.readings += one.readings;
    total.skipped += one.skipped;
  }
  return total;
}

}  // namespace kev
