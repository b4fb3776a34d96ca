// One pasted file, whatever it holds: a hardware monitoring profile, or the
// output of i2cdump, isadump or lspci.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "replay/dumps.h"

namespace kev::replay {

struct ParsedFile {
  std::optional<nlohmann::json> profileBoard;  // a profile, already a board
  std::optional<RegisterDump> registers;       // i2cdump or isadump
  std::optional<PciDump> pci;                  // lspci
};

// Tells the kind from the first line that shows it and parses the whole
// text as that kind. On failure nullopt and error "line N: expected ...".
std::optional<ParsedFile> ParseDumpText(std::string_view text, std::string& error);

}  // namespace kev::replay
