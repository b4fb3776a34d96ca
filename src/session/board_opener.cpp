#include "session/board_opener.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "replay/board_text.h"
#include "settings/atomic_file.h"

namespace kev::session {
namespace {

bool LooksLikeFile(const std::string& name) {
  std::error_code ec;
  return name.find('/') != std::string::npos || name.ends_with(".json") ||
         std::filesystem::exists(name, ec);
}

std::string CatalogueList() {
  std::string list;
  for (const std::string& n : sim::CatalogueBoardNames()) list += (list.empty() ? "" : ", ") + n;
  return list;
}

}  // namespace

std::string PlainFileProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return "is a directory";
  if (!S_ISREG(st.st_mode)) return "is not a regular file";
  return {};
}

std::optional<std::string> ReadBoardFile(const std::string& path, std::string& error) {
  std::string problem = PlainFileProblem(path);
  FileRead file;
  if (problem.empty()) {
    file = ReadFileCapped(path, kMaxBoardFileBytes + 1);
    if (!file.error.empty()) {
      error = "bad board: " + file.error;  // names the file itself
      return std::nullopt;
    }
    if (file.bytes.size() > kMaxBoardFileBytes) problem = "is larger than 1 MiB";
  }
  if (!problem.empty()) {
    error = "bad board: " + path + ": " + problem;
    return std::nullopt;
  }
  return std::move(file.bytes);
}

std::unique_ptr<sim::SimBoard> OpenBoard(const std::string& name, std::string& error) {
  const std::vector<std::string> names = sim::CatalogueBoardNames();
  const bool inCatalogue = std::find(names.begin(), names.end(), name) != names.end();
  if (!inCatalogue && !LooksLikeFile(name)) {
    error = "unknown board '" + name + "' (catalogue: " + CatalogueList() + ")";
    return nullptr;
  }
  std::optional<std::string> text;
  if (!inCatalogue) {
    text = ReadBoardFile(name, error);
    if (!text) return nullptr;
  }
  sim::BoardResult r =
      inCatalogue ? sim::LoadCatalogueBoard(name) : replay::LoadBoardText(*text, name);
  if (!r) {
    error = "bad board: " + r.error().text();
    return nullptr;
  }
  return r.take();
}

}  // namespace kev::session
