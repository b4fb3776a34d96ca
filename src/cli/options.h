// The command line of kevatra-cli.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "replay/dumps.h"

namespace kev::cli {

enum class Command { Report, Watch, Serve, Info, Profile, Check, BoardFromDump, Help, Version };

struct CliOptions {
  Command command = Command::Help;
  std::optional<std::string> board;         // catalogue name or board file
  std::optional<std::string> settingsFile;  // hive file instead of the user's own
  bool save = false;                        // write the settings back at the end
  bool json = false;                        // report as JSON
  bool actions = false;                     // let error actions run
  bool log = false;                         // let channel logging run
  bool all = false;                         // sample every channel, checked or not, for this run
  bool force = false;                       // go on beside kernel drivers of the same hardware
  std::optional<uint64_t> intervalMs;       // watch, serve: instead of IntervalTime
  std::optional<uint64_t> count;            // watch: stop after this many samples
  std::optional<std::string> metricsFile;   // watch, serve: exposition text after each sample
  std::optional<std::string> listen;        // serve: ADDR:PORT instead of the loopback default
  std::vector<std::string> switches;        // "/asms0".."/asms2", handed to the start-up
  std::vector<std::string> files;           // board-from-dump: the pasted dumps
  replay::DumpFacts dumpFacts;              // board-from-dump: what the dumps cannot tell
  std::optional<std::string> output;        // board-from-dump: the board file to write
};

struct ParsedOptions {
  CliOptions options;
  std::string error;  // one line; empty when the command line is good
  bool ok() const { return error.empty(); }
};

ParsedOptions ParseOptions(const std::vector<std::string>& args);

std::string UsageText();
inline constexpr const char* kVersionText = "kevatra-cli 2.10";
inline constexpr const char* kVersionNumber = "2.10";

}  // namespace kev::cli
