#include "cli/options.h"

#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <string_view>

#include "cli/board_from_dump.h"
#include "export/metrics_server.h"

namespace kev::cli {
namespace {

constexpr double kMaxIntervalSeconds = 86400.0;

struct CommandName {
  std::string_view name;
  Command command;
};
constexpr std::array<CommandName, 9> kCommands{{{"report", Command::Report},
                                                {"watch", Command::Watch},
                                                {"serve", Command::Serve},
                                                {"info", Command::Info},
                                                {"profile", Command::Profile},
                                                {"check", Command::Check},
                                                {"board-from-dump", Command::BoardFromDump},
                                                {"help", Command::Help},
                                                {"version", Command::Version}}};

// An option, whether it takes a value, and the commands it belongs to
// (empty: all of them).
struct OptionSpec {
  std::string_view name;
  bool takesValue;
  std::vector<Command> onlyFor;
  std::function<std::string(CliOptions&, const std::string&)> apply;  // error, or empty
};

std::string ParseSeconds(const std::string& text, CliOptions& o) {
  double seconds = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, seconds);
  if (ec != std::errc() || p != end || !(seconds > 0) || seconds > kMaxIntervalSeconds) {
    return "--interval needs a number of seconds above 0 and at most 86400, not '" + text + "'";
  }
  const auto ms = static_cast<uint64_t>(std::llround(seconds * 1000.0));
  if (ms == 0) return "--interval is shorter than a millisecond";
  o.intervalMs = ms;
  return {};
}

std::string ParseCount(const std::string& text, CliOptions& o) {
  uint64_t n = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, n);
  if (ec != std::errc() || p != end || n == 0) {
    return "--count needs a whole number above 0, not '" + text + "'";
  }
  o.count = n;
  return {};
}

// The commands that start the monitor on the machine (check only looks).
const std::vector<Command> kStartingCommands{Command::Report, Command::Watch, Command::Serve,
                                             Command::Info, Command::Profile};

using Apply = std::function<std::string(CliOptions&, const std::string&)>;

Apply Flag(bool CliOptions::*field) {
  return [field](CliOptions& o, const std::string&) {
    o.*field = true;
    return std::string();
  };
}

Apply Text(std::optional<std::string> CliOptions::*field) {
  return [field](CliOptions& o, const std::string& v) {
    o.*field = v;
    return std::string();
  };
}

const std::vector<OptionSpec>& Options() {
  static const std::vector<OptionSpec> specs{
      {"--board", true, {}, Text(&CliOptions::board)},
      {"--settings", true, {}, Text(&CliOptions::settingsFile)},
      {"--save", false, kStartingCommands, Flag(&CliOptions::save)},
      {"--force", false, kStartingCommands, Flag(&CliOptions::force)},
      {"--json", false, {Command::Report}, Flag(&CliOptions::json)},
      {"--actions",
       false,
       {Command::Report, Command::Watch, Command::Serve},
       Flag(&CliOptions::actions)},
      {"--log", false, {Command::Report, Command::Watch, Command::Serve}, Flag(&CliOptions::log)},
      {"--all", false, {}, Flag(&CliOptions::all)},
      {"--interval",
       true,
       {Command::Watch, Command::Serve},
       [](CliOptions& o, const std::string& v) { return ParseSeconds(v, o); }},
      {"--count",
       true,
       {Command::Watch},
       [](CliOptions& o, const std::string& v) { return ParseCount(v, o); }},
      {"--metrics", true, {Command::Watch, Command::Serve}, Text(&CliOptions::metricsFile)},
      {"--chip",
       true,
       {Command::BoardFromDump},
       [](CliOptions& o, const std::string& v) {
         o.dumpFacts.chip = v;
         return std::string();
       }},
      {"--address", true, {Command::BoardFromDump}, Apply(ParseChipAddress)},
      {"--isa", true, {Command::BoardFromDump}, Apply(ParseIsaPort)},
      {"--south-bridge",
       true,
       {Command::BoardFromDump},
       [](CliOptions& o, const std::string& v) {
         o.dumpFacts.southBridge = v;
         return std::string();
       }},
      {"--smbus-base", true, {Command::BoardFromDump}, Apply(ParseSmbusBase)},
      {"--output", true, {Command::BoardFromDump}, Text(&CliOptions::output)},
      {"--listen",
       true,
       {Command::Serve},
       [](CliOptions& o, const std::string& v) {
         metrics::ListenAddress where;
         std::string error;
         if (metrics::ParseListenAddress(v, where, error)) o.listen = v;
         return error;
       }},
  };
  return specs;
}

bool IsBoardSwitch(std::string_view arg) {
  if (arg.size() != 6 || arg[0] != '/') return false;
  std::string lower(arg);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower == "/asms0" || lower == "/asms1" || lower == "/asms2";
}

std::string_view CommandText(Command c) {
  for (const CommandName& n : kCommands) {
    if (n.command == c) return n.name;
  }
  return {};
}

// An option meant for other commands only is an error, not silently ignored.
std::string CheckOptionsFit(const std::vector<const OptionSpec*>& used, Command command) {
  for (const OptionSpec* s : used) {
    if (s->onlyFor.empty()) continue;
    bool fits = false;
    for (Command c : s->onlyFor) fits = fits || c == command;
    if (!fits)
      return std::string(s->name) + " does not apply to " + std::string(CommandText(command));
  }
  return {};
}

ParsedOptions& Fail(ParsedOptions& out, std::string error) {
  out.error = std::move(error);
  return out;
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
  ParsedOptions out;
  CliOptions& o = out.options;
  bool haveCommand = false;
  std::vector<const OptionSpec*> used;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h" || arg == "--version") {
      o.command = arg == "--version" ? Command::Version : Command::Help;
      return out;
    }
    if (IsBoardSwitch(arg)) {
      o.switches.push_back(arg);
      continue;
    }
    if (arg.rfind("--", 0) == 0) {
      const size_t eq = arg.find('=');
      const std::string name = arg.substr(0, eq);
      const OptionSpec* spec = nullptr;
      for (const OptionSpec& s : Options()) {
        if (s.name == name) spec = &s;
      }
      if (spec == nullptr) return Fail(out, "unknown option '" + name + "'");
      std::string value;
      if (spec->takesValue && eq != std::string::npos) {
        value = arg.substr(eq + 1);
      } else if (spec->takesValue) {
        if (i + 1 >= args.size()) return Fail(out, name + " needs a value");
        value = args[++i];
      } else if (eq != std::string::npos) {
        return Fail(out, name + " takes no value");
      }
      if (spec->takesValue && value.empty()) return Fail(out, name + " needs a value");
      if (std::string e = spec->apply(o, value); !e.empty()) return Fail(out, e);
      used.push_back(spec);
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return Fail(out, "unknown option '" + arg + "'");
    const CommandName* command = nullptr;
    for (const CommandName& c : kCommands) {
      if (c.name == arg) command = &c;
    }
    if (haveCommand && o.command == Command::BoardFromDump) {
      o.files.push_back(arg);
      continue;
    }
    if (command == nullptr) return Fail(out, "unknown command '" + arg + "'");
    if (haveCommand) return Fail(out, "only one command at a time ('" + arg + "')");
    o.command = command->command;
    haveCommand = true;
  }
  if (!haveCommand)
    return Fail(out, "no command given (report, watch, serve, info, profile or check)");
  if (std::string e = CheckOptionsFit(used, o.command); !e.empty()) return Fail(out, e);
  if (o.command == Command::BoardFromDump && o.files.empty())
    return Fail(out, "board-from-dump needs the files to read");
  return out;
}

std::string UsageText() {
  return R"(Usage: kevatra-cli [OPTIONS] COMMAND

Reads the board's fans, temperatures and voltages as the Kevatra monitor
window shows them.

Commands:
  report          start up once and print the 15 rows with their readings
  watch           print one line of readings per sample until interrupted
  serve           sample on a timer and answer HTTP scrapes: GET /metrics
                  (Prometheus text) and GET /readings.json (report --json)
  info            the eight lines of the hardware information summary
  profile         the hardware monitoring profile text
  board-from-dump FILE...
                  write a board file (see docs/boards.md) from what a user
                  posted: a hardware monitoring profile, i2cdump or isadump
                  output of the chip, lspci -xxx output
  check           what stands between this machine and real monitoring, one
                  line per item with what to do; writes no port
  help, version

Options:
  --board NAME|FILE  run on a simulated board: a catalogue name or a board file
                     (without it the real hardware is used; that needs root or
                     CAP_SYS_RAWIO)
  --settings FILE    use this settings file instead of your own
  --force            start even though a kernel driver drives the same SMBus
                     host or chip (readings of both may be garbled)
  --save             write the settings back at the end, as the monitor does
                     on exit (otherwise nothing is written)
  --all              sample all 15 channels, checked or not, for this run
                     (also the case while no settings were ever saved)
  --json             report: print the rows as JSON
  --interval SECS    watch, serve: sample every SECS seconds instead of
                     IntervalTime
  --metrics FILE     watch, serve: after each sample replace FILE with the
                     readings in the Prometheus text format
  --chip KIND        board-from-dump: the kind of the dumped chip (W83782D, ...)
  --address ADDR     board-from-dump: its SMBus address (0x2D) when the dump
                     does not show it
  --isa PORT         board-from-dump: its ISA base (0x290) when the dump does
                     not show it
  --south-bridge KIND  board-from-dump: the south bridge (PIIX4E, ...) when no
                     lspci dump shows it
  --smbus-base PORT  board-from-dump: the SMBus host's base (default 0x5000)
  --output FILE      board-from-dump: write the board there instead of to
                     standard output (a file there is replaced)
  --listen ADDR:PORT serve: listen there instead of 127.0.0.1:9715 (:PORT: every
                     interface; port 0: any free port; the address is printed
                     on stderr)
  --count N          watch: stop after N samples
  --actions          report, watch, serve: run the error actions; otherwise they never
                     fire. There is no window or dialog: the window action is
                     a note on stderr, the sound is the terminal bell, and a
                     shutdown or suspend counts down 10 seconds on stderr
                     (Ctrl+C cancels) before asking the login manager; on a
                     simulated board the real machine is never asked
  --log              report, watch, serve: append to the channel log files as set up
  /asms0 /asms1 /asms2  board-switch override, as for the monitor
  -h, --help         this text
  --version          print the version
)";
}

}  // namespace kev::cli
