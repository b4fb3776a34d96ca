#include "settings/autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace kev {
namespace {

constexpr std::string_view kEntryRelativePath = "autostart/Kevatra.desktop";
constexpr std::string_view kGroupHeader = "[Desktop Entry]";
constexpr size_t kMaxEntryBytes = 64 * 1024;
// Characters that make an Exec argument need double quotes.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
// Characters escaped with a backslash inside the double quotes.
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

// The Exec value's first argument: quoting undone, then %% taken as %.
std::string FirstArgument(std::string_view exec) {
  std::string arg;
  if (!exec.empty() && exec.front() == '"') {
    size_t i = 1;
    for (; i < exec.size() && exec[i] != '"'; ++i) {
      if (exec[i] == '\\' && i + 1 < exec.size() &&
          kEscapedInQuotes.find(exec[i + 1]) != std::string_view::npos) {
        ++i;
      }
      arg += exec[i];
    }
    if (i >= exec.size()) return {};  // no closing quote
  } else {
    arg.assign(exec.substr(0, exec.find_first_of(" \t")));
  }
  std::string out;
  for (size_t i = 0; i < arg.size(); ++i) {
    out += arg[i];
    if (arg[i] == '%' && i + 1 < arg.size() && arg[i + 1] == '%') ++i;
  }
  return out;
}

// Undoes the escapes of a desktop-entry string value; an unknown escape
// keeps its backslash for the Exec quoting rules.
std::string UnescapeString(std::string_view v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    char next = i + 1 < v.size() ? v[i + 1] : '\0';
    if (v[i] != '\\' || std::string_view("sntr\\").find(next) == std::string_view::npos) {
      out += v[i];
      continue;
    }
    ++i;
    out += next == 's' ? ' ' : next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : '\\';
  }
  return out;
}

std::string EscapeString(std::string_view v) {
  std::string out;
  for (char c : v) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// The value of a key of the [Desktop Entry] group, if present.
std::optional<std::string> EntryValue(std::string_view text, std::string_view key) {
  bool inGroup = false;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = TrimSpaces(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.front() == '[') {
      inGroup = line == kGroupHeader;
      continue;
    }
    size_t eq = line.find('=');
    if (!inGroup || eq == std::string_view::npos || TrimSpaces(line.substr(0, eq)) != key) continue;
    return UnescapeString(TrimSpaces(line.substr(eq + 1)));
  }
  return std::nullopt;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string DefaultAutostartPath(const EnvLookup& env) {
  std::string base = ConfigHome(env);
  return base.empty() ? base : base + '/' + std::string(kEntryRelativePath);
}

std::string RunningExecutable() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) return {};
  return std::string(buf, static_cast<size_t>(n));
}

AutostartPlace DefaultAutostartPlace() {
  return {DefaultAutostartPath(ProcessEnv()), RunningExecutable()};
}

std::string AutostartEntryText(const std::string& executable) {
  std::string arg;
  for (char c : executable) arg += c == '%' ? std::string("%%") : std::string(1, c);
  if (arg.find_first_of(kReserved) != std::string::npos) {
    std::string quoted = "\"";
    for (char c : arg) {
      if (kEscapedInQuotes.find(c) != std::string_view::npos) quoted += '\\';
      quoted += c;
    }
    arg = quoted + '"';
  }
  return std::string(kGroupHeader) + "\nType=Application\nName=Kevatra\nExec=" + EscapeString(arg) +
         "\n";
}

std::string AutostartEntryExecutable(const std::string& text) {
  std::optional<std::string> exec = EntryValue(text, "Exec");
  return exec ? FirstArgument(*exec) : std::string();
}

SaveResult ReadStartWithWindows(MonitorSettings& s, const AutostartPlace& place) {
  s.StartWithWindows = false;
  FileRead file = ReadFileCapped(place.entryPath, kMaxEntryBytes);
  // Without knowing its own path the program cannot tell a stale entry.
  if (!file.exists || !file.error.empty() || place.executable.empty()) return {};
  std::string target = file.truncated ? std::string() : AutostartEntryExecutable(file.bytes);
  if (target != place.executable) return RemoveFile(place.entryPath);
  // A desktop that switched the entry off marks it hidden.
  std::optional<std::string> hidden = EntryValue(file.bytes, "Hidden");
  s.StartWithWindows = !hidden || *hidden != "true";
  return {};
}

SaveResult WriteStartWithWindows(bool on, const AutostartPlace& place) {
  if (place.entryPath.empty()) return SaveResult::Failed("No configuration folder is known.");
  if (!on) return Exists(place.entryPath) ? RemoveFile(place.entryPath) : SaveResult{};
  if (place.executable.empty()) {
    return SaveResult::Failed("The program's own path is unknown; cannot start it at login.");
  }
  return WriteFileAtomically(place.entryPath, AutostartEntryText(place.executable));
}

}  // namespace kev
