#include "settings/registry.h"

#include <algorithm>

namespace kev {
namespace {

bool ValidPath(std::string_view path) {
  if (path.empty() || path.front() == '\\' || path.back() == '\\') return false;
  return path.find("\\\\") == std::string_view::npos &&
         path.find_first_of("\r\n") == std::string_view::npos;
}

std::string UnderRoot(std::string_view path) {
  std::string full(kCurrentUserRoot);
  if (!path.empty()) {
    full += '\\';
    full += path;
  }
  return full;
}

template <class Slot, class T>
std::vector<const T*> InOrder(const std::map<std::string, Slot>& slots, const T Slot::*member) {
  std::vector<const Slot*> sorted;
  sorted.reserve(slots.size());
  for (const auto& [folded, slot] : slots) sorted.push_back(&slot);
  std::sort(sorted.begin(), sorted.end(),
            [](const Slot* a, const Slot* b) { return a->order < b->order; });
  std::vector<const T*> out;
  out.reserve(sorted.size());
  for (const Slot* slot : sorted) out.push_back(&(slot->*member));
  return out;
}

}  // namespace

std::string FoldCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

RegValue DwordValue(uint32_t v) {
  return {REG_DWORD,
          {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
           static_cast<uint8_t>(v >> 24)}};
}

RegValue TextValue(std::string_view text, uint32_t type) {
  RegValue v{type, std::vector<uint8_t>(text.begin(), text.end())};
  v.data.push_back(0);
  return v;
}

const RegValue* HiveKey::find(std::string_view name) const {
  auto it = values_.find(FoldCase(name));
  return it == values_.end() ? nullptr : &it->second.entry.value;
}

void HiveKey::set(std::string_view name, RegValue value) {
  auto [it, added] = values_.try_emplace(FoldCase(name), Slot{next_, Entry{std::string(name), {}}});
  if (added) ++next_;
  it->second.entry.value = std::move(value);
}

bool HiveKey::erase(std::string_view name) { return values_.erase(FoldCase(name)) > 0; }

std::vector<const HiveKey::Entry*> HiveKey::entries() const {
  return InOrder(values_, &Slot::entry);
}

HiveKey* HiveTree::find(std::string_view path) {
  auto it = keys_.find(FoldCase(path));
  return it == keys_.end() ? nullptr : &it->second.key;
}

const HiveKey* HiveTree::find(std::string_view path) const {
  auto it = keys_.find(FoldCase(path));
  return it == keys_.end() ? nullptr : &it->second.key;
}

HiveKey* HiveTree::create(std::string_view path) {
  if (!ValidPath(path)) return nullptr;
  HiveKey* key = nullptr;
  // Parents first, so a key always follows the keys above it.
  for (size_t end = 0; end != std::string_view::npos;) {
    end = path.find('\\', end + 1);
    std::string_view prefix = path.substr(0, end);
    auto [it, added] =
        keys_.try_emplace(FoldCase(prefix), Slot{next_, HiveKey(std::string(prefix))});
    if (added) ++next_;
    key = &it->second.key;
  }
  return key;
}

bool HiveTree::remove(std::string_view path) {
  std::string folded = FoldCase(path);
  auto first = keys_.find(folded);
  if (first == keys_.end()) return false;
  // Keys below share the prefix "path\" and so sit together in the map.
  std::string below = folded + '\\';
  auto last = keys_.lower_bound(below);
  while (last != keys_.end() && last->first.compare(0, below.size(), below) == 0) ++last;
  keys_.erase(first);
  keys_.erase(keys_.lower_bound(below), last);
  return true;
}

std::vector<const HiveKey*> HiveTree::keys() const { return InOrder(keys_, &Slot::key); }

bool operator==(const HiveTree& a, const HiveTree& b) {
  auto ka = a.keys(), kb = b.keys();
  if (ka.size() != kb.size()) return false;
  for (size_t i = 0; i < ka.size(); ++i) {
    if (ka[i]->path() != kb[i]->path()) return false;
    auto ea = ka[i]->entries(), eb = kb[i]->entries();
    if (ea.size() != eb.size()) return false;
    for (size_t j = 0; j < ea.size(); ++j) {
      if (ea[j]->name != eb[j]->name || ea[j]->value != eb[j]->value) return false;
    }
  }
  return true;
}

bool MemoryRegistry::openKey(std::string_view path) const {
  return tree_.find(UnderRoot(path)) != nullptr;
}

bool MemoryRegistry::createKey(std::string_view path) {
  return tree_.create(UnderRoot(path)) != nullptr;
}

std::optional<RegValue> MemoryRegistry::queryValue(std::string_view path,
                                                   std::string_view name) const {
  const HiveKey* key = tree_.find(UnderRoot(path));
  if (key == nullptr) return std::nullopt;
  const RegValue* v = key->find(name);
  if (v == nullptr) return std::nullopt;
  return *v;
}

bool MemoryRegistry::setValue(std::string_view path, std::string_view name, const RegValue& value) {
  // A line break cannot be written in a name of the hive file.
  if (name.find('\n') != std::string_view::npos) return false;
  HiveKey* key = tree_.find(UnderRoot(path));
  if (key == nullptr) return false;
  key->set(name, value);
  return true;
}

bool MemoryRegistry::deleteValue(std::string_view path, std::string_view name) {
  HiveKey* key = tree_.find(UnderRoot(path));
  return key != nullptr && key->erase(name);
}

}  // namespace kev
