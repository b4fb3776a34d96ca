// Fuzzes the hive file reader. Besides never crashing, whatever it reads
// must be written and read back to the same tree without a problem, and the
// settings loader and saver must cope with any tree it yields.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/hive_file.h"
#include "settings/settings_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  kev::HiveParseResult first = kev::ParseHive(bytes);
  std::string text = kev::FormatHive(first.tree);
  kev::HiveParseResult second = kev::ParseHive(text);
  if (!second.problems.empty() || !(second.tree == first.tree) ||
      kev::FormatHive(second.tree) != text) {
    __builtin_trap();
  }
  kev::MemoryRegistry reg;
  reg.tree() = std::move(first.tree);
  kev::MonitorSettings settings;
  kev::LoadSettings(reg, settings, {1024, 768, 200, 300});
  if (!kev::SaveSettings(reg, settings)) __builtin_trap();
  kev::MonitorSettings again;
  kev::LoadSettings(reg, again, {1024, 768, 200, 300});
  again.SettingsDefaulted = settings.SettingsDefaulted;
  if (!(again == settings)) __builtin_trap();
  return 0;
}
