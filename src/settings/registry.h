// A small registry: keys named by backslash paths, each holding typed values.
// Key paths and value names compare without regard to ASCII letter case and
// keep the case they were created with. The settings code sees only the
// Registry interface; MemoryRegistry keeps everything in memory and the hive
// file (hive_file.h) adds loading and saving as one text file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kev {

// Value types. Types not named here are kept as their raw bytes.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_MULTI_SZ = 7;

// Text values (REG_SZ, REG_EXPAND_SZ) hold the program's 8-bit text (UTF-8 on
// this platform) including the terminating zero byte; DWORDs hold 4 bytes,
// least significant first.
struct RegValue {
  uint32_t type = REG_NONE;
  std::vector<uint8_t> data;

  bool operator==(const RegValue&) const = default;
};

RegValue DwordValue(uint32_t v);
RegValue TextValue(std::string_view text, uint32_t type = REG_SZ);

// Outcome of an operation that writes: ok, or an error in words a user can act on.
struct SaveResult {
  bool ok = true;
  std::string error;

  explicit operator bool() const { return ok; }
  static SaveResult Failed(std::string why) { return {false, std::move(why)}; }
};

// The registry operations the settings code needs. Paths are relative to the
// current user's root (e.g. "Software\\Tolvenor\\Kevatra\\General"); the
// value name "" is the key's default value.
class Registry {
 public:
  virtual ~Registry() = default;

  // True when the key exists; never creates it.
  virtual bool openKey(std::string_view path) const = 0;
  // Creates the key and every key above it; false for a malformed path.
  virtual bool createKey(std::string_view path) = 0;
  // The value's type and data, or nothing when the key or the value is missing.
  virtual std::optional<RegValue> queryValue(std::string_view path,
                                             std::string_view name) const = 0;
  // Sets a value of an existing key; false when the key does not exist.
  virtual bool setValue(std::string_view path, std::string_view name, const RegValue& value) = 0;
  // Deletes a value; false when it was not there.
  virtual bool deleteValue(std::string_view path, std::string_view name) = 0;
  // Makes the changes so far durable. The in-memory registry has nothing to do.
  virtual SaveResult flush() { return {}; }
};

// Lower-cases ASCII letters: the comparison key of paths and names.
std::string FoldCase(std::string_view s);

// One key of a hive: its path as written and its values in the order they
// were first set.
class HiveKey {
 public:
  struct Entry {
    std::string name;
    RegValue value;
  };

  explicit HiveKey(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  const RegValue* find(std::string_view name) const;
  void set(std::string_view name, RegValue value);
  bool erase(std::string_view name);
  // Values in the order they were first set.
  std::vector<const Entry*> entries() const;

 private:
  struct Slot {
    uint64_t order;
    Entry entry;
  };
  std::string path_;
  std::map<std::string, Slot> values_;  // by folded name
  uint64_t next_ = 0;
};

// Every key of a hive by full path (root included), in the order created.
class HiveTree {
 public:
  HiveKey* find(std::string_view path);
  const HiveKey* find(std::string_view path) const;
  // Creates the key and its parents; nullptr for a malformed path (an empty
  // component, a leading or trailing backslash).
  HiveKey* create(std::string_view path);
  // Removes the key and everything below it; false when it was not there.
  bool remove(std::string_view path);
  std::vector<const HiveKey*> keys() const;
  bool empty() const { return keys_.empty(); }

  friend bool operator==(const HiveTree& a, const HiveTree& b);

 private:
  struct Slot {
    uint64_t order;
    HiveKey key;
  };
  std::map<std::string, Slot> keys_;  // by folded path
  uint64_t next_ = 0;
};

// The root every Registry path is taken under.
inline constexpr std::string_view kCurrentUserRoot = "HKEY_CURRENT_USER";

// A registry held in memory; tests use it directly.
class MemoryRegistry : public Registry {
 public:
  bool openKey(std::string_view path) const override;
  bool createKey(std::string_view path) override;
  std::optional<RegValue> queryValue(std::string_view path, std::string_view name) const override;
  bool setValue(std::string_view path, std::string_view name, const RegValue& value) override;
  bool deleteValue(std::string_view path, std::string_view name) override;

  HiveTree& tree() { return tree_; }
  const HiveTree& tree() const { return tree_; }

 private:
  HiveTree tree_;
};

}  // namespace kev
