#include "cli/board_from_dump.h"

#include <ostream>

#include "cli/cli.h"
#include "replay/dump_board.h"
#include "replay/dump_lines.h"
#include "settings/atomic_file.h"

namespace kev::cli {
namespace {

constexpr mode_t kBoardFileMode = 0644;
constexpr uint32_t kFirstAddress = 0x03;  // 7-bit addresses a device may have
constexpr uint32_t kLastAddress = 0x77;
constexpr uint32_t kLastPort = 0xFFFF;

}  // namespace

std::string ParseChipAddress(CliOptions& o, const std::string& text) {
  const auto a = replay::ParseHex(text, kLastAddress);
  if (!a || *a < kFirstAddress)
    return "--address needs a 7-bit SMBus address 0x03-0x77 such as 0x2D, not "
           "'" +
           text + "'";
  o.dumpFacts.address = static_cast<uint8_t>(*a);
  return {};
}

std::string ParseIsaPort(CliOptions& o, const std::string& text) {
  const auto p = replay::ParseHex(text, kLastPort);
  if (!p) return "--isa needs the chip's I/O base in hex such as 0x290, not '" + text + "'";
  o.dumpFacts.isa = static_cast<uint16_t>(*p);
  return {};
}

std::string ParseSmbusBase(CliOptions& o, const std::string& text) {
  const auto p = replay::ParseHex(text, kLastPort);
  if (!p) return "--smbus-base needs an I/O base in hex such as 0x5000, not '" + text + "'";
  o.dumpFacts.smbusBase = static_cast<uint16_t>(*p);
  return {};
}

int RunBoardFromDump(const CliOptions& o, std::ostream& out, std::ostream& err) {
  std::string error;
  std::vector<std::string> notes;
  const std::optional<std::string> text =
      replay::BoardFromDumpFiles(o.files, o.dumpFacts, notes, error);
  if (!text) {
    err << "kevatra-cli: " << error << '\n';
    return kExitFailure;
  }
  for (const std::string& note : notes) err << "kevatra-cli: " << note << '\n';
  if (!o.output) {
    out << *text;
    return kExitOk;
  }
  // Never through a link someone planted, and never half written.
  const SaveResult saved = ReplaceFileExclusively(*o.output, *text, kBoardFileMode);
  if (!saved) {
    err << "kevatra-cli: " << saved.error << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace kev::cli
