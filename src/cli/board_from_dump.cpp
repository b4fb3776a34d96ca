#include "cli/board_from_dump.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "cli/cli.h"
#include "cli/dump/dump_board.h"
#include "cli/dump/dump_lines.h"
#include "cli/dump/readable_json.h"
#include "settings/atomic_file.h"

namespace kev::cli {
namespace {

constexpr size_t kMaxDumpBytes = size_t{1} << 20;  // a profile is about 60 KiB
constexpr mode_t kBoardFileMode = 0644;
constexpr uint32_t kFirstAddress = 0x03;  // 7-bit addresses a device may have
constexpr uint32_t kLastAddress = 0x77;
constexpr uint32_t kLastPort = 0xFFFF;

// The text of one input file, or a problem naming it.
std::optional<std::string> ReadInput(const std::string& path, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    const bool there = errno != ENOENT || S_ISDIR(st.st_mode);
    error = path + ": " +
            (S_ISDIR(st.st_mode) ? "is a directory"
             : there             ? "is not a plain file"
                                 : std::strerror(ENOENT));
    return std::nullopt;
  }
  FileRead file = ReadFileCapped(path, kMaxDumpBytes + 1);
  if (!file.error.empty() || !file.exists) {
    error = file.error.empty() ? path + ": cannot be read" : file.error;
    return std::nullopt;
  }
  if (file.bytes.size() > kMaxDumpBytes) {
    error = path + ": is larger than 1 MiB, which no dump is";
    return std::nullopt;
  }
  return std::move(file.bytes);
}

}  // namespace

std::string ParseChipAddress(CliOptions& o, const std::string& text) {
  const auto a = dump::ParseHex(text, kLastAddress);
  if (!a || *a < kFirstAddress)
    return "--address needs a 7-bit SMBus address 0x03-0x77 such as 0x2D, not "
           "'" +
           text + "'";
  o.dumpFacts.address = static_cast<uint8_t>(*a);
  return {};
}

std::string ParseIsaPort(CliOptions& o, const std::string& text) {
  const auto p = dump::ParseHex(text, kLastPort);
  if (!p) return "--isa needs the chip's I/O base in hex such as 0x290, not '" + text + "'";
  o.dumpFacts.isa = static_cast<uint16_t>(*p);
  return {};
}

std::string ParseSmbusBase(CliOptions& o, const std::string& text) {
  const auto p = dump::ParseHex(text, kLastPort);
  if (!p) return "--smbus-base needs an I/O base in hex such as 0x5000, not '" + text + "'";
  o.dumpFacts.smbusBase = static_cast<uint16_t>(*p);
  return {};
}

int RunBoardFromDump(const CliOptions& o, std::ostream& out, std::ostream& err) {
  std::vector<dump::NamedFile> files;
  std::string error;
  for (const std::string& path : o.files) {
    std::optional<std::string> text = ReadInput(path, error);
    std::optional<dump::ParsedFile> parsed;
    if (text) parsed = dump::ParseDumpText(*text, error);
    if (!parsed) {
      err << "kevatra-cli: " << (text ? path + ": " : "") << error << '\n';
      return kExitFailure;
    }
    files.push_back({path, std::move(*parsed)});
  }
  const std::optional<nlohmann::json> board = dump::BoardFromDumps(files, o.dumpFacts, error);
  if (!board) {
    err << "kevatra-cli: " << error << '\n';
    return kExitFailure;
  }
  const std::string text = dump::ReadableJson(*board);
  if (!o.output) {
    out << text;
    return kExitOk;
  }
  // Never through a link someone planted, and never half written.
  const SaveResult saved = ReplaceFileExclusively(*o.output, text, kBoardFileMode);
  if (!saved) {
    err << "kevatra-cli: " << saved.error << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace kev::cli
