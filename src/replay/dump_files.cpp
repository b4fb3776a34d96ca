#include "replay/dump_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "replay/dump_board.h"
#include "replay/readable_json.h"
#include "settings/atomic_file.h"

namespace kev::replay {
namespace {

constexpr size_t kMaxDumpBytes = size_t{1} << 20;  // a profile is about 60 KiB

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

std::optional<std::string> BoardFromDumpFiles(const std::vector<std::string>& paths,
                                              const DumpFacts& facts, std::string& error) {
  std::vector<NamedFile> files;
  for (const std::string& path : paths) {
    const std::optional<std::string> text = ReadInput(path, error);
    if (!text) return std::nullopt;
    std::optional<ParsedFile> parsed = ParseDumpText(*text, error);
    if (!parsed) {
      error = path + ": " + error;
      return std::nullopt;
    }
    files.push_back({path, std::move(*parsed)});
  }
  const std::optional<nlohmann::json> board = BoardFromDumps(files, facts, error);
  if (!board) return std::nullopt;
  return ReadableJson(*board);
}

}  // namespace kev::replay
