#include "replay/readable_json.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kev::replay {
namespace {

using nlohmann::json;

constexpr size_t kEntriesPerLine = 8;
constexpr size_t kIndent = 2;

// Fields in the order board files are written by hand; others follow.
constexpr std::array<std::string_view, 17> kFieldOrder{
    "name",     "description", "host_bridge", "south_bridge", "superio", "chips",
    "id",       "kind",        "smbus",       "isa",          "bus",     "device",
    "function", "config",      "image",       "banks",        "pci"};

size_t Rank(const std::string& key) {
  const auto it = std::find(kFieldOrder.begin(), kFieldOrder.end(), key);
  return static_cast<size_t>(it - kFieldOrder.begin());
}

bool Flat(const json& j) {
  return std::all_of(j.begin(), j.end(), [](const json& v) { return v.is_primitive(); });
}

void Write(std::string& out, const json& j, size_t depth);

void WriteObject(std::string& out, const json& j, size_t depth) {
  std::vector<std::string> keys;
  for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
  std::stable_sort(keys.begin(), keys.end(),
                   [](const std::string& a, const std::string& b) { return Rank(a) < Rank(b); });
  const std::string pad((depth + 1) * kIndent, ' ');
  // A register image: several entries to a line.
  const size_t perLine = Flat(j) && keys.size() > kEntriesPerLine / 2 ? kEntriesPerLine : 1;
  out += "{";
  for (size_t i = 0; i < keys.size(); ++i) {
    out += i == 0 ? "" : ",";
    out += i % perLine == 0 ? "\n" + pad : " ";
    out += json(keys[i]).dump() + ": ";
    Write(out, j[keys[i]], depth + 1);
  }
  out += "\n" + std::string(depth * kIndent, ' ') + "}";
}

void WriteArray(std::string& out, const json& j, size_t depth) {
  const std::string pad((depth + 1) * kIndent, ' ');
  out += "[";
  for (size_t i = 0; i < j.size(); ++i) {
    out += (i == 0 ? "\n" : ",\n") + pad;
    Write(out, j[i], depth + 1);
  }
  out += "\n" + std::string(depth * kIndent, ' ') + "]";
}

void Write(std::string& out, const json& j, size_t depth) {
  if (j.is_object() && !j.empty()) return WriteObject(out, j, depth);
  if (j.is_array() && !j.empty()) return WriteArray(out, j, depth);
  out += j.dump();
}

}  // namespace

std::string ReadableJson(const json& board) {
  std::string out;
  Write(out, board, 0);
  return out + "\n";
}

}  // namespace kev::replay
