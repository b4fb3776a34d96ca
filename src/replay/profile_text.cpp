#include "replay/profile_text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "detect/detect.h"
#include "replay/text_lines.h"
#include "report/dump_layout.h"
#include "report/registers.h"

namespace kev::replay::profile {

namespace {

constexpr std::string_view kSummaryTitle = "Hardware Monitoring Profile";
constexpr size_t kSectionRuleWidth = 62;
constexpr size_t kPciRuleWidth = 31;
constexpr size_t kMaxShown = 40;      // characters of an offending line in a message
constexpr size_t kLeadingLines = 64;  // how far down the summary banner is looked for
constexpr std::string_view kNotFound = "*****";
constexpr std::string_view kFailedRead = "FFFFFFFF";
constexpr int kPciLines = 32;
constexpr int kPciBytesPerLine = 8;

// Thrown inside the reader only.
struct Bad {
  size_t line;
  std::string message;
};

bool IsBanner(std::string_view line, std::string_view title) {
  const std::string head = "--[ " + std::string(title) + " ]";
  const std::string_view t = Trim(line);
  if (t.substr(0, head.size()) != head) return false;
  return t.find_first_not_of('-', head.size()) == std::string_view::npos;
}

bool IsRule(std::string_view line, size_t width) {
  const std::string_view t = Trim(line);
  return t.size() == width && t.find_first_not_of('-') == std::string_view::npos;
}

std::string Hex2(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02Xh", v & 0xFFu);
  return buf;
}

// "5000h" -> 5000h; digits must all be hexadecimal.
std::optional<uint32_t> HexH(std::string_view s, size_t minDigits = 1, size_t maxDigits = 8) {
  if (s.size() < 2 || s.back() != 'h') return std::nullopt;
  const std::string digits(s.substr(0, s.size() - 1));
  if (digits.size() < minDigits || digits.size() > maxDigits) return std::nullopt;
  if (digits.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) return std::nullopt;
  return static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
}

std::optional<int> Decimal(std::string_view s) {
  if (s.empty() || s.size() > 3 || s.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  return std::atoi(std::string(s).c_str());
}

// The lines after the summary banner, blank ones passed over.
class Lines {
 public:
  // endLine: the line the text ends on, for "got the end of the text".
  Lines(std::vector<std::string_view> lines, size_t at, size_t endLine)
      : lines_(std::move(lines)), at_(at), endLine_(endLine) {}

  // The next non-blank line, trimmed; at the end of the text, fails naming what.
  std::string_view next(const std::string& what) {
    while (at_ < lines_.size() && Trim(lines_[at_]).empty()) ++at_;
    if (at_ >= lines_.size()) throw Bad{endLine_, "expected " + what + ", got the end of the text"};
    line_ = at_ + 1;
    return Trim(lines_[at_++]);
  }
  // Whether the next non-blank line is this section's banner or a section
  // rule (without reading it).
  bool nextIsBanner(std::string_view title) const {
    const size_t i = upcoming();
    return i < lines_.size() && IsBanner(lines_[i], title);
  }
  bool nextIsRule() const {
    const size_t i = upcoming();
    return i < lines_.size() && IsRule(lines_[i], kSectionRuleWidth);
  }
  [[noreturn]] void fail(const std::string& what, std::string_view got) const {
    std::string shown(got.substr(0, kMaxShown));
    if (got.size() > kMaxShown) shown += "...";
    throw Bad{line_, "expected " + what + ", got \"" + shown + "\""};
  }
  void banner(std::string_view title) {
    const std::string what = "the \"" + std::string(title) + "\" section";
    const std::string_view l = next(what);
    if (!IsBanner(l, title)) fail(what, l);
  }
  void rule(std::string_view section) {
    const std::string what = "the closing rule of \"" + std::string(section) + "\"";
    const std::string_view l = next(what);
    if (!IsRule(l, kSectionRuleWidth)) fail(what, l);
  }
  // "Label: value" with the label given; returns the value.
  std::string label(std::string_view label) {
    const std::string what = "\"" + std::string(label) + "\"";
    const std::string_view l = next(what);
    if (l.substr(0, label.size()) != label) fail(what, l);
    return std::string(Trim(l.substr(label.size())));
  }
  void end() {
    for (; at_ < lines_.size(); ++at_) {
      if (Trim(lines_[at_]).empty()) continue;
      line_ = at_ + 1;
      fail("the end of the profile", Trim(lines_[at_]));
    }
  }

 private:
  size_t upcoming() const {
    size_t i = at_;
    while (i < lines_.size() && Trim(lines_[i]).empty()) ++i;
    return i;
  }

  std::vector<std::string_view> lines_;
  size_t at_;
  size_t endLine_;
  size_t line_ = 0;
};

std::optional<uint8_t> Address(Lines& in, std::string_view label) {
  const std::string v = in.label(label);
  if (v == kNotFound) return std::nullopt;
  const auto a = HexH(v, 2, 2);
  if (!a || *a > 0x7F) in.fail("an SMBus address such as 2Dh or *****", v);
  return static_cast<uint8_t>(*a);
}

void ReadSummary(Lines& in, Dump& d) {
  in.banner(kSummaryTitle);
  d.pmFound = in.label("PM Device Chip:") != kNotFound;
  in.label("PM Device Number:");
  in.label("PM Function Number:");
  const std::string base = in.label("SMBus Base Address:");
  if (base != kNotFound) {
    const auto b = HexH(base, 4, 4);
    if (!b) in.fail("an SMBus base such as 5000h or *****", base);
    d.smbusBase = static_cast<uint16_t>(*b);
  }
  d.chipName = in.label("Hardware Monitoring Chip:");
  d.mainAddress = Address(in, "SMBus 1st Address:");
  d.secondAddress = Address(in, "SMBus 2nd Address:");
  d.thirdAddress = Address(in, "SMBus 3rd Address:");
  in.rule(kSummaryTitle);
}

uint32_t HexValue(Lines& in, std::string_view label) {
  const std::string v = in.label(label);
  const auto n = HexH(v, 8, 8);
  if (!n) in.fail("8 hexadecimal digits and h after " + std::string(label), v);
  return *n;
}

bool BoolValue(Lines& in, std::string_view label) {
  const std::string v = in.label(label);
  if (v != "true" && v != "false") in.fail("true or false after " + std::string(label), v);
  return v == "true";
}

void ReadSettings(Lines& in, Dump& d) {
  constexpr std::string_view kTitle = "Setting Value";
  in.banner(kTitle);
  d.pmId = HexValue(in, "PMCID:");
  HexValue(in, "PMVID:");
  HexValue(in, "PMDID:");
  d.pmRevision = static_cast<uint8_t>(HexValue(in, "PMRID:"));
  HexValue(in, "HWMVID:");
  HexValue(in, "HWMDID:");
  BoolValue(in, "SETPORT:");
  d.onPort = BoolValue(in, "EFCTPORT:");
  d.port = static_cast<uint16_t>(HexValue(in, "PORTADRS:"));
  d.onSmbus = BoolValue(in, "EFCTMSMB:");
  BoolValue(in, "MSMBONLY:");
  BoolValue(in, "MSMBUSE:");
  d.smbusAddress = static_cast<uint8_t>(HexValue(in, "MSMBADRS:"));
  for (const char* l : {"T2SMBUSE:", "T3SMBUSE:"}) {
    const std::string n(l, 2);
    BoolValue(in, l);
    HexValue(in, n + "SMBINDX:");
    HexValue(in, n + "SMBADRS:");
  }
  for (const char* l : {"DIODES1:", "DIODES2:", "DIODES3:"}) BoolValue(in, l);
  for (const char* l : {"FAN1DIV:", "FAN2DIV:", "FAN3DIV:"}) HexValue(in, l);
  in.rule(kTitle);
}

// What the next register line must be.
struct Expect {
  RegLine::What what;
  uint8_t reg;
  int digits;
  int bank = -1;
  int hbacs = -1;
  uint8_t ldn = 0;
  bool ldnLine = false;  // "LDN : 09h"
};

void Range(std::vector<Expect>& out, unsigned first, unsigned last, int digits) {
  for (unsigned r = first; r <= last; ++r)
    out.push_back({RegLine::What::Reg, static_cast<uint8_t>(r), digits});
}

void PcBlockLines(std::vector<Expect>& out, const report::PcDumpDevice& dev) {
  const auto ldn = static_cast<uint8_t>(dev.ldn);
  for (uint32_t bank = 0; bank <= dev.lastBank; ++bank) {
    const unsigned first = bank == 0 ? 0 : report::kPcDumpChannelFirst;
    for (unsigned r = first; r < report::kPcDumpBlockOffsets; ++r)
      out.push_back({RegLine::What::Ofs, static_cast<uint8_t>(r), 2,
                     dev.lastBank == 0 ? -1 : static_cast<int>(bank), -1, ldn});
  }
}

// The register lines the program writes in a layout, in order.
std::vector<Expect> ExpectedLines(const report::DumpLayout& layout) {
  constexpr auto kWbVendorId = static_cast<uint8_t>(report::kWbRegVendorId);
  std::vector<Expect> out;
  switch (layout.style) {
    case report::DumpStyle::Ranges:
      for (const report::RegRange& r : layout.ranges)
        if (r.digits != 0) Range(out, r.first, r.last, r.digits);
      break;
    case report::DumpStyle::Pc87366:
      for (uint8_t r : report::kPcDumpGlobalRegs) Range(out, r, r, 2);
      for (const report::PcDumpDevice& dev : report::kPcDumpDevices) {
        const auto ldn = static_cast<uint8_t>(dev.ldn);
        out.push_back({RegLine::What::Reg, ldn, 2, -1, -1, ldn, true});
        for (uint8_t r : report::kPcDumpDeviceRegs)
          out.push_back({RegLine::What::Reg, r, 2, -1, -1, ldn});
        PcBlockLines(out, dev);
      }
      break;
    case report::DumpStyle::Winbond:
      Range(out, report::kWbDumpCommonFirst, report::kWbDumpCommonLast, 2);
      out.push_back({RegLine::What::Reg, kWbVendorId, 2, -1, 1});  // HBACS set, then clear
      out.push_back({RegLine::What::Reg, kWbVendorId, 2, -1, 0});
      for (int bank = 0; bank < report::kWbDumpBanks; ++bank)
        for (unsigned r = report::kWbDumpBankedFirst; r <= report::kWbDumpBankedLast; ++r)
          out.push_back({RegLine::What::Reg, static_cast<uint8_t>(r), 2, bank});
      break;
  }
  return out;
}

// The layout of the chip the summary names; an unknown chip's when no kind
// has that name.
const report::DumpLayout& LayoutOfName(std::string_view name) {
  for (const report::KindDump& k : report::kKindDumps)
    if (ChipName(k.kind) == name) return *k.layout;
  return *report::DumpLayoutOf(kind::Unknown);
}

std::string Describe(const Expect& e) {
  if (e.ldnLine) return "\"LDN : " + Hex2(e.ldn) + "\"";
  std::string s = std::string(e.what == RegLine::What::Reg ? "REG " : "OFS ") + Hex2(e.reg) +
                  " : " + (e.digits == 4 ? "xxxxh" : "xxh");
  if (e.bank >= 0) s += "  (BANK  : " + std::to_string(e.bank) + ")";
  if (e.hbacs >= 0) s += "  (HBACS : " + std::to_string(e.hbacs) + ")";
  return "\"" + s + "\"";
}

// A value as dumped: digits hex digits and h, or FFFFFFFFh for a failed read.
bool Value(std::string_view w, int digits, std::optional<uint16_t>& out) {
  if (w == std::string(kFailedRead) + "h") {
    out.reset();
    return true;
  }
  const auto n = HexH(w, static_cast<size_t>(digits), static_cast<size_t>(digits));
  if (!n) return false;
  out = static_cast<uint16_t>(*n);
  return true;
}

RegLine ReadRegLine(Lines& in, const Expect& e) {
  const std::string what = Describe(e);
  const std::string_view raw = in.next(what);
  const std::vector<std::string_view> w = Words(raw);
  RegLine r;
  r.ldn = e.ldn;
  if (e.ldnLine) {
    if (w.size() != 3 || w[0] != "LDN" || w[1] != ":" || w[2] != Hex2(e.ldn)) in.fail(what, raw);
    r.reg = 0;  // marks the line itself; not a register
    r.bank = -2;
    return r;
  }
  const std::string head = e.what == RegLine::What::Reg ? "REG" : "OFS";
  const bool suffix = e.bank >= 0 || e.hbacs >= 0;
  if (w.size() != (suffix ? 7u : 4u) || w[0] != head || w[1] != Hex2(e.reg) || w[2] != ":" ||
      !Value(w[3], e.digits, r.value))
    in.fail(what, raw);
  if (suffix) {
    const std::string tag = e.bank >= 0 ? "(BANK" : "(HBACS";
    const int n = e.bank >= 0 ? e.bank : e.hbacs;
    if (w[4] != tag || w[5] != ":" || w[6] != std::to_string(n) + ")") in.fail(what, raw);
  }
  r.what = e.what;
  r.reg = e.reg;
  r.digits = e.digits;
  r.bank = e.bank;
  r.hbacs = e.hbacs;
  return r;
}

void ReadRegisters(Lines& in, Dump& d) {
  constexpr std::string_view kTitle = "Registers Value";
  in.banner(kTitle);
  if (d.chipKind.empty()) d.chipKind = "Winbond";  // an unknown chip is dumped the Winbond way
  for (const Expect& e : ExpectedLines(LayoutOfName(d.chipName))) {
    RegLine r = ReadRegLine(in, e);
    if (r.bank != -2) d.regs.push_back(r);
  }
  in.rule(kTitle);
}

void ReadDevice(Lines& in, Dump& d, std::string_view title, std::optional<uint8_t> address) {
  in.banner(title);
  if (!address) in.fail("the summary to give this device's address", title);
  Device dev;
  dev.address = *address;
  for (unsigned reg = 0; reg < 2; ++reg) {
    const std::string what =
        "\"REG " + Hex2(reg) + " : xxxxh  (Address : " + Hex2(*address) + ")\"";
    const std::string_view raw = in.next(what);
    const std::vector<std::string_view> w = Words(raw);
    if (w.size() != 7 || w[0] != "REG" || w[1] != Hex2(reg) || w[2] != ":" ||
        !Value(w[3], 4, dev.words[reg]) || w[4] != "(Address" || w[5] != ":" ||
        w[6] != Hex2(*address) + ")")
      in.fail(what, raw);
  }
  d.devices.push_back(dev);
  in.rule(title);
}

void ReadMonitorWindow(Lines& in, Dump& d) {
  constexpr std::string_view kTitle = "Monitor Window";
  static const std::array<std::string, 15> kRows{"Fan1",   "Fan2",  "Fan3",  "Temp.1", "Temp.2",
                                                 "Temp.3", "Volt1", "Volt2", "Volt3",  "Volt4",
                                                 "Volt5",  "Volt6", "Volt7", "Volt8",  "Volt9"};
  in.banner(kTitle);
  for (size_t i = 0; i < kRows.size(); ++i) {
    const std::string& row = kRows[i];
    const std::string what = "the \"" + row + " [...] : ...\" row";
    const std::string_view l = in.next(what);
    const size_t close = l.find("] :");
    if (l.substr(0, row.size() + 2) != row + " [" || close == std::string_view::npos)
      in.fail(what, l);
    d.rows[i] = std::string(Trim(l.substr(close + 3)));
  }
  in.rule(kTitle);
}

int NumberLine(Lines& in, std::string_view label, int max) {
  const std::string what = "\"" + std::string(label) + " : n\"";
  const std::string_view raw = in.next(what);
  const std::string s = Squeeze(raw);
  const std::string head = std::string(label) + " : ";
  const auto n = s.substr(0, head.size()) == head ? Decimal(s.substr(head.size())) : std::nullopt;
  if (!n || *n > max) in.fail(what, raw);
  return *n;
}

PciFunctionDump ReadPciFunction(Lines& in) {
  PciFunctionDump f;
  f.bus = static_cast<uint8_t>(NumberLine(in, "BUS Number", 255));
  f.device = static_cast<uint8_t>(NumberLine(in, "Device Number", 31));
  f.function = static_cast<uint8_t>(NumberLine(in, "Funciton Number", 7));
  const std::string head = "\"OFFSET +0 +1 +2 +3 +4 +5 +6 +7\"";
  std::string_view l = in.next(head);
  if (Squeeze(l) != "OFFSET +0 +1 +2 +3 +4 +5 +6 +7") in.fail(head, l);
  const std::string dashes = "a rule of " + std::to_string(kPciRuleWidth) + " dashes";
  l = in.next(dashes);
  if (!IsRule(l, kPciRuleWidth)) in.fail(dashes, l);
  for (int line = 0; line < kPciLines; ++line) {
    char offset[8];
    std::snprintf(offset, sizeof offset, "%04X", line * kPciBytesPerLine);
    const std::string what = "the configuration bytes at offset " + std::string(offset);
    l = in.next(what);
    const std::vector<std::string_view> w = Words(l);
    if (w.size() != 1 + kPciBytesPerLine || w[0] != offset) in.fail(what, l);
    for (int i = 0; i < kPciBytesPerLine; ++i) {
      const auto b = HexH(std::string(w[static_cast<size_t>(i) + 1]) + "h", 2, 2);
      if (!b) in.fail(what, l);
      f.bytes[static_cast<size_t>(line * kPciBytesPerLine + i)] = static_cast<uint8_t>(*b);
    }
  }
  l = in.next(dashes);
  if (!IsRule(l, kPciRuleWidth)) in.fail(dashes, l);
  return f;
}

void ReadPci(Lines& in, Dump& d) {
  constexpr std::string_view kTitle = "PCI Configuration Registers";
  in.banner(kTitle);
  while (!in.nextIsRule()) d.pci.push_back(ReadPciFunction(in));
  in.rule(kTitle);
}

// The board kind each detected chip is replayed as; the summary names the
// chip as detection does.
constexpr std::array<std::pair<int32_t, std::string_view>, 24> kBoardKinds{{
    {kind::LM78Compatible, "LM78"},
    {kind::LM78, "LM78"},
    {kind::LM78J, "LM78-J"},
    {kind::LM79, "LM79"},
    {kind::LM80, "LM80"},
    {kind::LM81, "LM81"},
    {kind::LM87, "LM87"},
    {kind::PC87366, "PC87366"},
    {kind::WinbondChip, "Winbond"},
    {kind::W83781D, "W83781D"},
    {kind::W83627HF, "W83627HF"},
    {kind::W83782D, "W83782D"},
    {kind::W83783S, "W83783S"},
    {kind::W83697HF, "W83697HF"},
    {kind::GL518SM, "GL518SM"},
    {kind::GL520SM, "GL520SM"},
    {kind::AS99127F_WB, "AS99127F-WB"},
    {kind::AS99127F_AS, "AS99127F-AS"},
    {kind::SiS5595, "SiS5595"},
    {kind::VT82C686A, "VT82C686A"},
    {kind::VT82C686B, "VT82C686B"},
    {kind::VT8231, "VT8231"},
    {kind::IT8705F, "IT8705F"},
    {kind::IT8712F, "IT8712F"},
}};

}  // namespace

std::string ChipKindOfName(std::string_view name) {
  for (const auto& [chip, board] : kBoardKinds)
    if (name == ChipName(chip)) return std::string(board);
  return {};
}

int32_t ChipKindOfBoardKind(std::string_view boardKind) {
  for (const auto& [chip, board] : kBoardKinds)
    if (board == boardKind && chip != kind::LM78Compatible) return chip;
  return kind::Unknown;
}

size_t FindProfileStart(std::string_view text) {
  const std::vector<std::string_view> lines = SplitLines(text);
  size_t seen = 0;
  for (size_t i = 0; i < lines.size() && seen <= kLeadingLines; ++i) {
    if (Trim(lines[i]).empty()) continue;
    if (IsBanner(lines[i], kSummaryTitle)) return i;
    ++seen;
  }
  return std::string_view::npos;
}

std::optional<Dump> ReadProfile(std::string_view text, std::string& error) {
  const size_t start = FindProfileStart(text);
  if (start == std::string_view::npos) {
    error = "line 1: expected the \"--[ " + std::string(kSummaryTitle) + " ]\" banner";
    return std::nullopt;
  }
  const std::vector<std::string_view> lines = SplitLines(text);
  // Only the program's own banner lines come before the summary.
  for (size_t i = 0; i < start; ++i) {
    const std::string_view l = Trim(lines[i]);
    if (l.empty() || (l.size() > 7 && l.substr(0, 4) == "--[ " && l.substr(l.size() - 3) == "]--"))
      continue;
    error = "line " + std::to_string(i + 1) + ": expected the \"--[ " + std::string(kSummaryTitle) +
            " ]\" banner, got \"" + std::string(l.substr(0, kMaxShown)) + "\"";
    return std::nullopt;
  }
  Lines in(lines, start, static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  Dump d;
  try {
    ReadSummary(in, d);
    d.chipKind = ChipKindOfName(d.chipName);
    ReadSettings(in, d);
    if (in.nextIsBanner("Registers Value")) ReadRegisters(in, d);
    if (in.nextIsBanner("SMBus 2nd Device - Registers Value"))
      ReadDevice(in, d, "SMBus 2nd Device - Registers Value", d.secondAddress);
    if (in.nextIsBanner("SMBus 3rd Device - Registers Value"))
      ReadDevice(in, d, "SMBus 3rd Device - Registers Value", d.thirdAddress);
    ReadMonitorWindow(in, d);
    ReadPci(in, d);
    in.end();
  } catch (const Bad& bad) {
    error = "line " + std::to_string(bad.line) + ": " + bad.message;
    return std::nullopt;
  }
  return d;
}

}  // namespace kev::replay::profile
