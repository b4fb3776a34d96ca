#include "replay/lspci.h"

#include "replay/dump_lines.h"

namespace kev::replay {
namespace {

constexpr int kBytesPerRow = 16;
constexpr int kExtendedBytes = 4096;  // lspci -xxxx
constexpr int kUserBytes = 64;        // what lspci shows a user other than root
constexpr uint32_t kLastDevice = 0x1F;
constexpr uint32_t kLastBus = 0xFF;
constexpr uint32_t kLastFunction = 7;
constexpr uint8_t kAllOnes = 0xFF;
constexpr int kIdBytes = 4;

// "0000:00:07.3 ..." or "00:07.3 ...": bus, device, function.
std::optional<PciFunctionDump> Heading(std::string_view line) {
  std::string_view loc = Words(line)[0];
  if (loc.size() > 7 && loc[4] == ':') loc.remove_prefix(5);
  const auto bus = ParseHex(loc.substr(0, 2), kLastBus);
  const auto dev = ParseHex(loc.substr(3, 2), kLastDevice);
  const auto fn = ParseHex(loc.substr(6, 1), kLastFunction);
  if (!bus || !dev || !fn) return std::nullopt;
  PciFunctionDump f;
  f.bus = static_cast<uint8_t>(*bus);
  f.device = static_cast<uint8_t>(*dev);
  f.function = static_cast<uint8_t>(*fn);
  return f;
}

// One function in the making.
class FunctionReader {
 public:
  FunctionReader(PciFunctionDump f, std::string location) : f_(f), location_(std::move(location)) {}

  bool row(std::string_view line, int n, DumpError& error) {
    const std::vector<std::string_view> w = Words(line);
    const std::string expected = RowText(static_cast<unsigned>(next_)) + ":";
    if (w[0] != expected) {
      error = {n, "row " + expected + " of " + location_ + ", got row " + std::string(w[0])};
      return false;
    }
    if (w.size() != kBytesPerRow + 1) {
      error = {n, std::to_string(kBytesPerRow) + " bytes in row " +
                      RowText(static_cast<unsigned>(next_)) + " of " + location_ +
                      " (a row cut short or wrapped?)"};
      return false;
    }
    for (int k = 0; k < kBytesPerRow; ++k) {
      const auto b = w[static_cast<size_t>(k) + 1].size() == 2
                         ? ParseHex(w[static_cast<size_t>(k) + 1], kAllOnes)
                         : std::nullopt;
      if (!b) {
        error = {n, "2 hex digits for byte " + RowText(static_cast<unsigned>(next_ + k)) + " of " +
                        location_ + ", got '" + std::string(w[static_cast<size_t>(k) + 1]) + "'"};
        return false;
      }
      if (next_ + k < kPciConfigBytes) f_.bytes[static_cast<size_t>(next_ + k)] = uint8_t(*b);
    }
    next_ += kBytesPerRow;
    return true;
  }

  // The function ends at line n.
  std::optional<PciFunctionDump> finish(int n, DumpError& error) {
    if (next_ == kPciConfigBytes || next_ == kExtendedBytes) {
      f_.unreadable = true;
      for (int i = 0; i < kIdBytes; ++i)
        f_.unreadable = f_.unreadable && f_.bytes[size_t(i)] == kAllOnes;
      return f_;
    }
    std::string why =
        " (the dump stops after row " + RowText(static_cast<unsigned>(next_ - kBytesPerRow)) + ")";
    if (next_ == 0) why = " (run lspci with -xxx)";
    if (next_ == kUserBytes)
      why = " (lspci shows 64 bytes only to root: run it with sudo and -xxx)";
    error = {n, "row " + RowText(static_cast<unsigned>(next_)) + " of " + location_ + why};
    return std::nullopt;
  }

 private:
  PciFunctionDump f_;
  std::string location_;
  int next_ = 0;
};

}  // namespace

std::optional<PciDump> ParseLspci(const std::vector<std::string_view>& lines, DumpError& error) {
  PciDump dump;
  std::optional<FunctionReader> reader;
  bool rowsBegun = false;
  const auto finish = [&](int n) {
    auto f = reader->finish(n, error);
    reader.reset();
    if (f) dump.functions.push_back(*f);
    return f.has_value();
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const int n = static_cast<int>(i) + 1;
    const std::string_view line = TrimRight(lines[i]);
    const LineKind kind = ClassifyLine(line);
    if (reader && kind == LineKind::GridRow) {
      rowsBegun = true;
      if (!reader->row(line, n, error)) return std::nullopt;
      continue;
    }
    // lspci -v details, or the rest of a heading a mail program wrapped,
    // between the heading and the bytes.
    if (reader && !rowsBegun && (line.starts_with('\t') || kind == LineKind::Other)) continue;
    if (reader && !finish(n)) return std::nullopt;
    if (kind == LineKind::PciHeading) {
      auto f = Heading(line);
      if (!f) {
        error = {n, "a function on device 00-1f, got '" + std::string(Words(line)[0]) + "'"};
        return std::nullopt;
      }
      f->line = n;
      reader.emplace(*f, std::string(Words(line)[0]));
      rowsBegun = false;
    } else if (kind != LineKind::Blank && kind != LineKind::LspciCommand &&
               kind != LineKind::Other) {
      error = {n, "an lspci function heading such as '00:07.3 Bridge: ...', got " +
                      std::string(DescribeKind(kind)) + " (one kind of dump per file)"};
      return std::nullopt;
    }
  }
  if (reader && !finish(static_cast<int>(lines.size()) + 1)) return std::nullopt;
  if (dump.functions.empty()) {
    error = {static_cast<int>(lines.size()) + 1, "an lspci function heading"};
    return std::nullopt;
  }
  return dump;
}

}  // namespace kev::replay
