#include "replay/text_lines.h"

namespace kev::replay {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kBlanksAndReturns = " \t\r";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string_view Trim(std::string_view s) {
  const size_t first = s.find_first_not_of(kBlanksAndReturns);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanksAndReturns) - first + 1);
}

std::string_view TrimRight(std::string_view s) {
  const size_t last = s.find_last_not_of(kBlanks);
  return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

std::string Squeeze(std::string_view s) {
  std::string out;
  for (char c : Trim(s)) {
    if (IsBlank(c) && !out.empty() && out.back() == ' ') continue;
    out.push_back(IsBlank(c) ? ' ' : c);
  }
  return out;
}

std::vector<std::string_view> Words(std::string_view s) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    const size_t start = i;
    while (i < s.size() && !IsBlank(s[i])) ++i;
    if (i > start) words.push_back(s.substr(start, i - start));
  }
  return words;
}

}  // namespace kev::replay
