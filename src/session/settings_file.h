// The settings file a run reads and saves, and what is checked before it is used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "settings/hive_file.h"
#include "settings/registry.h"

namespace kev::session {

// The file given on the command line, else the user's own; empty when
// neither XDG_CONFIG_HOME nor HOME says where that is. An empty env is the
// process environment.
std::string SettingsPath(const std::optional<std::string>& given, const EnvLookup& env);

// A settings file that is missing is a first run; one that is there but
// cannot be read is an error, since a save would replace it with defaults.
// Empty when the file can be used.
std::string SettingsFileProblem(const std::string& path);

// The ISA base the chip would be probed at, from the settings in reg.
int32_t ChipPortSetting(const Registry& reg);

inline constexpr const char* kNoSettingsPlace =
    "no place for the settings file: neither XDG_CONFIG_HOME nor HOME is set";

}  // namespace kev::session
