// Reading and writing the registry export text format.
#include <cstdio>
#include <optional>

#include "settings/hive_file.h"
#include "settings/utf16.h"

namespace kev {
namespace {

constexpr std::string_view kHeaderV5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeaderV4 = "REGEDIT4";
constexpr size_t kHexLineWidth = 77;  // wrap long hex data like the registry editor
// Every key is stored with its full path, so depth costs memory quadratically;
// the program's own keys are five levels deep, root included.
constexpr size_t kMaxKeyDepth = 32;
constexpr size_t kMaxKeyNameBytes = 255;  // one level's name, as the registry allows

// Keeps the first few problems word for word and counts the rest.
class Problems {
 public:
  void add(size_t line, const std::string& what) {
    if (list_.size() < kMaxHiveProblems) {
      list_.push_back(line == 0 ? what : "line " + std::to_string(line) + ": " + what);
    } else {
      ++more_;
    }
  }
  std::vector<std::string> take() {
    if (more_ > 0) list_.push_back("... and " + std::to_string(more_) + " more problems");
    return std::move(list_);
  }

 private:
  std::vector<std::string> list_;
  size_t more_ = 0;
};

// The file's bytes as 8-bit text: UTF-16 (with or without a byte-order mark)
// is converted, a UTF-8 byte-order mark dropped.
std::string DecodeFile(std::string_view bytes, Problems& problems) {
  auto u8 = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
  bool le = bytes.size() >= 2 && u8(0) == 0xFF && u8(1) == 0xFE;
  bool be = bytes.size() >= 2 && u8(0) == 0xFE && u8(1) == 0xFF;
  bool bare_le = !le && !be && bytes.size() >= 2 && u8(0) != 0 && u8(1) == 0;
  if (!le && !be && !bare_le) {
    if (bytes.size() >= 3 && u8(0) == 0xEF && u8(1) == 0xBB && u8(2) == 0xBF) {
      bytes.remove_prefix(3);
    }
    return std::string(bytes);
  }
  if (!bare_le) bytes.remove_prefix(2);
  std::string swapped;
  if (be) {
    swapped.assign(bytes);
    for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    bytes = swapped;
  }
  bool odd = false;
  std::u16string units =
      LeToUtf16(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &odd);
  if (odd) problems.add(0, "the file ends in the middle of a UTF-16 character");
  return Utf16ToBytes(units);
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && FoldCase(s.substr(0, prefix.size())) == prefix;
}

std::optional<uint32_t> ParseHexNumber(std::string_view s, size_t min_digits) {
  if (s.size() < min_digits || s.size() > 8) return std::nullopt;
  uint32_t v = 0;
  for (char c : s) {
    int d = (c >= '0' && c <= '9')   ? c - '0'
            : (c >= 'a' && c <= 'f') ? c - 'a' + 10
            : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                     : -1;
    if (d < 0) return std::nullopt;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  return v;
}

// A quoted string starting at s[0] == '"': its unescaped text and the rest
// after the closing quote, or nothing when it is not closed.
std::optional<std::string> TakeQuoted(std::string_view& s) {
  std::string out;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] == '"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) ++i;
    out += s[i];
  }
  return std::nullopt;
}

// Physical lines of the text; the reader joins continued hex lines.
struct Lines {
  std::vector<std::string_view> lines;
  bool lastUnterminated = false;

  explicit Lines(std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string_view::npos) {
        lines.push_back(text.substr(start));
        lastUnterminated = true;
        break;
      }
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
  }
};

class HiveReader {
 public:
  HiveReader(std::string_view text, HiveTree& tree, Problems& problems)
      : lines_(text), tree_(tree), problems_(problems) {}

  void run() {
    size_t i = 0;
    while (i < lines_.lines.size() && Trim(lines_.lines[i]).empty()) ++i;
    std::string_view header = i < lines_.lines.size() ? Trim(lines_.lines[i]) : "";
    if (header == kHeaderV5 || header == kHeaderV4) {
      unicode_ = header == kHeaderV5;
      ++i;
    } else {
      problems_.add(i + 1, "the file does not start with a registry file header");
    }
    for (; i < lines_.lines.size(); ++i) readLine(i);
  }

 private:
  bool strict(size_t i) const { return lines_.lastUnterminated && i + 1 == lines_.lines.size(); }

  void readLine(size_t& i) {
    std::string_view line = Trim(lines_.lines[i]);
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') return readSection(i, line);
    if (line.front() == '"' || line.front() == '@') return readValue(i, line);
    problems_.add(i + 1, "unreadable line");
  }

  // A key that cannot be taken is one problem; its values go with it unreported.
  void readSection(size_t i, std::string_view line) {
    key_ = nullptr;
    refused_ = true;
    size_t close = line.rfind(']');
    if (close == std::string_view::npos) {
      return problems_.add(i + 1, "a key name without its closing bracket");
    }
    std::string_view path = line.substr(1, close - 1);
    if (!path.empty() && path.front() == '-') {
      tree_.remove(path.substr(1));
      refused_ = false;
      return;
    }
    if (std::string why = KeyPathProblem(path); !why.empty()) return problems_.add(i + 1, why);
    key_ = tree_.create(path);
    if (key_ == nullptr) return problems_.add(i + 1, "a malformed key name");
    refused_ = false;
  }

  static std::string KeyPathProblem(std::string_view path) {
    size_t depth = 1, name = 0;
    for (char c : path) {
      name = c == '\\' ? 0 : name + 1;
      if (c == '\\' && ++depth > kMaxKeyDepth) {
        return "a key path deeper than " + std::to_string(kMaxKeyDepth) + " levels";
      }
      if (name > kMaxKeyNameBytes) {
        return "a key name part longer than " + std::to_string(kMaxKeyNameBytes) + " bytes";
      }
    }
    return {};
  }

  void readValue(size_t& i, std::string_view line) {
    const size_t first = i;
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else if (auto quoted = TakeQuoted(line)) {
      name = std::move(*quoted);
    } else {
      return problems_.add(i + 1, "a value name without its closing quote");
    }
    line = Trim(line);
    if (line.empty() || line.front() != '=') return problems_.add(i + 1, "a value without '='");
    line = Trim(line.substr(1));
    std::string joined;
    if (StartsWithNoCase(line, "hex:") || StartsWithNoCase(line, "hex(")) {
      if (!joinContinued(i, line, joined)) {
        return problems_.add(first + 1, "hex data cut short at the end of the file");
      }
      line = joined;
    }
    if (key_ == nullptr) {
      if (!refused_) problems_.add(first + 1, "a value outside any key");
      return;
    }
    if (line == "-") {
      key_->erase(name);
      return;
    }
    std::optional<RegValue> value = parseData(line, strict(i));
    if (!value && strict(i)) {
      return problems_.add(first + 1, "the file ends inside \"" + name + "\" (cut short?)");
    }
    if (!value) return problems_.add(first + 1, "unreadable data of \"" + name + "\"");
    key_->set(name, std::move(*value));
  }

  // Joins hex data continued with a trailing backslash; false when the
  // file ends while more is announced.
  bool joinContinued(size_t& i, std::string_view line, std::string& out) {
    out.assign(line);
    while (!out.empty() && out.back() == '\\') {
      out.pop_back();
      if (++i >= lines_.lines.size()) return false;
      out += Trim(lines_.lines[i]);
    }
    return true;
  }

  // On a last line without its line end (a file cut short?) only forms
  // that show they are complete are taken: a closed text, eight dword digits.
  std::optional<RegValue> parseData(std::string_view s, bool strict) const {
    if (s.empty()) return std::nullopt;
    if (s.front() == '"') {
      auto text = TakeQuoted(s);
      if (!text || !s.empty()) return std::nullopt;
      return TextValue(*text);
    }
    if (StartsWithNoCase(s, "dword:")) {
      auto v = ParseHexNumber(s.substr(6), strict ? 8 : 1);
      if (!v) return std::nullopt;
      return DwordValue(*v);
    }
    if (strict) return std::nullopt;
    if (StartsWithNoCase(s, "hex:")) return parseHex(REG_BINARY, s.substr(4));
    if (StartsWithNoCase(s, "hex(")) {
      size_t close = s.find("):");
      if (close == std::string_view::npos) return std::nullopt;
      auto type = ParseHexNumber(s.substr(4, close - 4), 1);
      if (!type) return std::nullopt;
      return parseHex(*type, s.substr(close + 2));
    }
    return std::nullopt;
  }

  std::optional<RegValue> parseHex(uint32_t type, std::string_view list) const {
    RegValue v{type, {}};
    while (!Trim(list).empty()) {
      size_t comma = list.find(',');
      std::string_view token = Trim(list.substr(0, comma));
      auto byte = ParseHexNumber(token, 1);
      if (!byte || *byte > 0xFF) return std::nullopt;
      v.data.push_back(static_cast<uint8_t>(*byte));
      list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    // Version 5 files hold texts as UTF-16; the registry here holds 8-bit text.
    if (unicode_ && (type == REG_SZ || type == REG_EXPAND_SZ)) {
      bool odd = false;
      std::string text = Utf16ToBytes(LeToUtf16(v.data.data(), v.data.size(), &odd));
      if (odd) return std::nullopt;
      v.data.assign(text.begin(), text.end());
    }
    return v;
  }

  Lines lines_;
  HiveTree& tree_;
  Problems& problems_;
  HiveKey* key_ = nullptr;
  bool refused_ = false;  // the current key was refused; its values are dropped
  bool unicode_ = true;
};

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

// A REG_SZ that the quoted form carries exactly: one zero byte, at the end,
// and no line breaks.
bool QuotableText(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] == 0 || data[i] == '\n' || data[i] == '\r') return false;
  }
  return true;
}

void AppendHex(std::string& out, std::string_view prefix, const std::vector<uint8_t>& data) {
  out += prefix;
  size_t width = out.size() - out.rfind('\n') - 1;
  char byte[4];
  for (size_t i = 0; i < data.size(); ++i) {
    if (i > 0) {
      out += ',';
      ++width;
      if (width + 3 > kHexLineWidth) {
        out += "\\\n  ";
        width = 2;
      }
    }
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    out += byte;
    width += 2;
  }
}

void AppendData(std::string& out, const RegValue& v) {
  if (v.type == REG_SZ && QuotableText(v.data)) {
    out += Quote(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
    return;
  }
  if (v.type == REG_DWORD && v.data.size() == 4) {
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x",
                  v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (uint32_t{v.data[3]} << 24));
    out += text;
    return;
  }
  if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) {
    std::string_view text(reinterpret_cast<const char*>(v.data.data()), v.data.size());
    return AppendHex(out, v.type == REG_SZ ? "hex(1):" : "hex(2):", Utf16ToLe(BytesToUtf16(text)));
  }
  if (v.type == REG_BINARY) return AppendHex(out, "hex:", v.data);
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "hex(%x):", v.type);
  AppendHex(out, prefix, v.data);
}

}  // namespace

HiveParseResult ParseHive(std::string_view bytes, size_t max_bytes) {
  HiveParseResult result;
  Problems problems;
  if (bytes.size() > max_bytes) {
    std::string limit = max_bytes % (1u << 20) == 0 ? std::to_string(max_bytes >> 20) + " MiB"
                                                    : std::to_string(max_bytes) + " bytes";
    problems.add(0, "the file is larger than " + limit + "; only its start was read");
    bytes = bytes.substr(0, max_bytes);
  }
  std::string text = DecodeFile(bytes, problems);
  HiveReader(text, result.tree, problems).run();
  result.problems = problems.take();
  return result;
}

std::string FormatHive(const HiveTree& tree) {
  std::string out(kHeaderV5);
  out += "\n\n";
  for (const HiveKey* key : tree.keys()) {
    out += '[' + key->path() + "]\n";
    for (const HiveKey::Entry* e : key->entries()) {
      out += e->name.empty() ? std::string("@") : Quote(e->name);
      out += '=';
      AppendData(out, e->value);
      out += '\n';
    }
    out += '\n';
  }
  return out;
}

}  // namespace kev
