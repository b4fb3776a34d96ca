#include <cstdlib>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "sim/board_spec.h"

namespace kev::sim {

namespace {

using nlohmann::json;

// Thrown inside the reader only; ParseBoardSpec turns it into a BoardError.
struct Bad {
  std::string field;
  std::string message;
};

std::string Join(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

// Reads one JSON object, remembering which fields were used so that a
// misspelt field is reported rather than silently ignored.
class Obj {
 public:
  Obj(const json& j, std::string path) : j_(j), path_(std::move(path)) {
    if (!j.is_object()) throw Bad{path_, std::string("expected an object, got ") + j.type_name()};
  }
  std::string at(const std::string& key) const { return path_.empty() ? key : path_ + "." + key; }
  const json* opt(const std::string& key) {
    known_.insert(key);
    auto it = j_.find(key);
    return it == j_.end() || it->is_null() ? nullptr : &*it;
  }
  const json& req(const std::string& key) {
    const json* v = opt(key);
    if (!v) throw Bad{at(key), "missing field"};
    return *v;
  }
  void finish() const {
    for (auto it = j_.begin(); it != j_.end(); ++it)
      if (!known_.count(it.key())) throw Bad{at(it.key()), "unknown field"};
  }

 private:
  const json& j_;
  std::string path_;
  std::set<std::string> known_;
};

// An integer: a JSON number, or a string in hex ("0x290" or "290h") or decimal.
uint32_t Number(const json& v, const std::string& path, uint32_t max) {
  long long n = -1;
  if (v.is_number_integer()) {
    n = v.get<long long>();
  } else if (v.is_string()) {
    std::string s = v.get<std::string>();
    int radix = 10;
    if (s.size() > 2 && (s.rfind("0x", 0) == 0 || s.rfind("0X", 0) == 0)) {
      s = s.substr(2);
      radix = 16;
    } else if (s.size() > 1 && (s.back() == 'h' || s.back() == 'H')) {
      s.pop_back();
      radix = 16;
    }
    char* end = nullptr;
    n = s.empty() ? -1 : std::strtoll(s.c_str(), &end, radix);
    if (s.empty() || *end != '\0')
      throw Bad{path, "\"" + v.get<std::string>() + "\" is not a number"};
  } else if (v.is_number()) {
    throw Bad{path, "expected a whole number, got " + v.dump()};
  } else {
    throw Bad{path, std::string("expected a number, got ") + v.type_name()};
  }
  if (n < 0 || n > static_cast<long long>(max))
    throw Bad{path, "value " + std::to_string(n) + " is out of range 0.." + std::to_string(max)};
  return static_cast<uint32_t>(n);
}

double Real(const json& v, const std::string& path) {
  if (!v.is_number()) throw Bad{path, std::string("expected a number, got ") + v.type_name()};
  return v.get<double>();
}

bool Flag(const json& v, const std::string& path) {
  if (!v.is_boolean()) throw Bad{path, std::string("expected true or false, got ") + v.type_name()};
  return v.get<bool>();
}

std::string Text(const json& v, const std::string& path) {
  if (!v.is_string()) throw Bad{path, std::string("expected a string, got ") + v.type_name()};
  return v.get<std::string>();
}

const json& Array(const json& v, const std::string& path) {
  if (!v.is_array()) throw Bad{path, std::string("expected an array, got ") + v.type_name()};
  return v;
}

uint64_t Ms(Obj& o, const std::string& key) { return Number(o.req(key), o.at(key), 0xFFFFFFFFu); }

Signal ParseSignal(const json& v, const std::string& path) {
  if (v.is_number()) return Signal::constant(v.get<double>());
  if (!v.is_object())
    throw Bad{path, std::string("expected a number or a signal object, got ") + v.type_name()};
  Obj o(v, path);
  const std::string shape = Text(o.req("shape"), o.at("shape"));
  // Fields are read in the order they are documented, so the first missing
  // one is the one reported.
  auto real = [&o](const char* key) { return Real(o.req(key), o.at(key)); };
  Signal s;
  if (shape == "constant") {
    s = Signal::constant(real("value"));
  } else if (shape == "ramp") {
    const double from = real("from");
    const double to = real("to");
    const uint64_t start = Ms(o, "start_ms");
    s = Signal::ramp(from, to, start, Ms(o, "end_ms"));
  } else if (shape == "step") {
    const double from = real("from");
    const double to = real("to");
    s = Signal::step(from, to, Ms(o, "at_ms"));
  } else if (shape == "square") {
    const double high = real("high");
    const double low = real("low");
    const uint64_t period = Ms(o, "period_ms");
    const uint64_t lowMs = Ms(o, "low_ms");
    if (period == 0 || lowMs > period) throw Bad{o.at("low_ms"), "must lie within period_ms (> 0)"};
    s = Signal::square(high, low, period, lowMs);
  } else {
    throw Bad{o.at("shape"),
              "unknown shape \"" + shape + "\" (known: constant, ramp, step, square)"};
  }
  o.finish();
  return s;
}

// An object of register values, { "0x16": "0x04" }; each register once.
std::vector<RegSetting> ParseRegisters(const json& v, const std::string& path) {
  Obj o(v, path);
  std::vector<RegSetting> out;
  for (auto it = v.begin(); it != v.end(); ++it) {
    const std::string at = o.at(it.key());
    const auto reg = static_cast<uint8_t>(Number(json(it.key()), at, 0xFF));
    for (const RegSetting& r : out) {
      if (r.index == reg) throw Bad{at, "names the same register as " + r.field};
    }
    out.push_back({reg, static_cast<uint8_t>(Number(*it, at, 0xFF)), at});
  }
  return out;
}

// An image value: "0x7F", "7Fh", "7F", "0x1A80", "XX", "5CXX" or an integer.
ImageValue ParseImageValue(const json& v, const std::string& path) {
  ImageValue out;
  out.field = path;
  if (v.is_number_integer()) {
    out.value = static_cast<uint16_t>(Number(v, path, 0xFFFF));
    return out;
  }
  if (!v.is_string())
    throw Bad{path, std::string("expected a register value such as \"0x7F\" or \"XX\", got ") +
                        v.type_name()};
  std::string s = v.get<std::string>();
  if (s.size() > 2 && (s.rfind("0x", 0) == 0 || s.rfind("0X", 0) == 0))
    s = s.substr(2);
  else if (s.size() > 1 && (s.back() == 'h' || s.back() == 'H'))
    s.pop_back();
  if (s.size() != 2 && s.size() != 4)
    throw Bad{path, "\"" + v.get<std::string>() + "\" is not a byte (2 hex digits) or word (4)"};
  out.digits = static_cast<int>(s.size());
  for (size_t i = 0; i < s.size(); i += 2) {
    const std::string pair = s.substr(i, 2);
    const int byte = static_cast<int>((s.size() - i) / 2 - 1);  // 1: high byte of a word
    out.value = static_cast<uint16_t>(out.value << 8);
    if (pair == "XX" || pair == "xx") {
      out.failed |= static_cast<uint8_t>(1 << byte);
      continue;
    }
    char* end = nullptr;
    const long n = std::strtol(pair.c_str(), &end, 16);
    if (*end != '\0' || pair.find_first_of("+- ") != std::string::npos)
      throw Bad{path, "\"" + v.get<std::string>() + "\" is not a hexadecimal value or XX"};
    out.value = static_cast<uint16_t>(out.value | n);
  }
  return out;
}

// { "0x20": value, ... }: each register once.
std::vector<ImageValue> ParseImage(const json& v, const std::string& path, int bank) {
  Obj o(v, path);
  std::vector<ImageValue> out;
  for (auto it = v.begin(); it != v.end(); ++it) {
    const std::string at = o.at(it.key());
    const auto reg = static_cast<uint8_t>(Number(json(it.key()), at, 0xFF));
    for (const ImageValue& r : out)
      if (r.index == reg) throw Bad{at, "names the same register as " + r.field};
    ImageValue iv = ParseImageValue(*it, at);
    iv.index = reg;
    iv.bank = bank;
    out.push_back(iv);
  }
  return out;
}

// { "1": { registers }, ... } with banks first..last.
std::vector<ImageValue> ParseBanked(const json& v, const std::string& path, int first, int last) {
  Obj o(v, path);
  std::vector<ImageValue> out;
  for (auto it = v.begin(); it != v.end(); ++it) {
    const std::string at = o.at(it.key());
    const auto bank = static_cast<int>(Number(json(it.key()), at, 0xFF));
    if (bank < first || bank > last)
      throw Bad{at, "bank " + std::to_string(bank) + " is outside " + std::to_string(first) + ".." +
                        std::to_string(last)};
    for (ImageValue& r : ParseImage(*it, at, bank)) out.push_back(std::move(r));
  }
  return out;
}

void ParseChipImage(Obj& o, ChipSpec& c) {
  if (const json* r = o.opt("image")) c.image = ParseImage(*r, o.at("image"), 0);
  if (const json* r = o.opt("banks"))
    for (ImageValue& b : ParseBanked(*r, o.at("banks"), 1, 7)) c.image.push_back(std::move(b));
  if (const json* r = o.opt("smbus_words")) c.smbusWords = ParseImage(*r, o.at("smbus_words"), 0);
  if (const json* r = o.opt("ldn")) {
    Obj l(*r, o.at("ldn"));
    for (auto it = r->begin(); it != r->end(); ++it) {
      const std::string at = l.at(it.key());
      const auto ldn = static_cast<uint8_t>(Number(json(it.key()), at, 0xFF));
      c.pcImage.ldn.emplace_back(ldn, ParseImage(*it, at, 0));
    }
  }
  if (const json* r = o.opt("fsm")) c.pcImage.fsm = ParseImage(*r, o.at("fsm"), 0);
  if (const json* r = o.opt("vlm")) c.pcImage.vlm = ParseBanked(*r, o.at("vlm"), 0, 13);
  if (const json* r = o.opt("tms")) c.pcImage.tms = ParseBanked(*r, o.at("tms"), 0, 2);
}

void ParseInputs(Obj& o, ChipSpec& c, const PinCounts& pins) {
  auto check = [&](const std::string& key, size_t n, int max) {
    if (n > static_cast<size_t>(max))
      throw Bad{o.at(key), c.kind + " has " + std::to_string(max) + " " + key + " inputs, not " +
                               std::to_string(n)};
  };
  if (const json* fans = o.opt("fans")) {
    check("fans", Array(*fans, o.at("fans")).size(), pins.fans);
    for (size_t i = 0; i < fans->size(); ++i) {
      const std::string p = o.at("fans") + "[" + std::to_string(i) + "]";
      if ((*fans)[i].is_null()) {
        c.fans.emplace_back();
        continue;
      }
      Obj f((*fans)[i], p);
      FanInput in;
      in.present = true;
      in.rpm = ParseSignal(f.req("rpm"), f.at("rpm"));
      if (const json* ppr = f.opt("pulses"))
        in.pulsesPerRev = static_cast<int>(Number(*ppr, f.at("pulses"), 16));
      if (in.pulsesPerRev == 0) throw Bad{f.at("pulses"), "must be at least 1"};
      f.finish();
      c.fans.emplace_back(in);
    }
  }
  if (const json* temps = o.opt("temps")) {
    check("temps", Array(*temps, o.at("temps")).size(), pins.temps);
    for (size_t i = 0; i < temps->size(); ++i)
      c.temps.push_back(ParseSignal((*temps)[i], o.at("temps") + "[" + std::to_string(i) + "]"));
  }
  if (const json* volts = o.opt("volts")) {
    check("volts", Array(*volts, o.at("volts")).size(), pins.volts);
    for (size_t i = 0; i < volts->size(); ++i) {
      Obj v((*volts)[i], o.at("volts") + "[" + std::to_string(i) + "]");
      const json* raw = v.opt("raw");
      const json* pin = v.opt("volts");
      if (!raw == !pin) throw Bad{v.at("raw"), "give exactly one of \"raw\" and \"volts\""};
      VoltInput in;
      in.raw = raw != nullptr;
      in.value = ParseSignal(raw ? *raw : *pin, v.at(raw ? "raw" : "volts"));
      v.finish();
      c.volts.push_back(in);
    }
  }
}

std::optional<uint16_t> OptPort(Obj& o, const std::string& key) {
  if (const json* v = o.opt(key)) return static_cast<uint16_t>(Number(*v, o.at(key), 0xFFF8));
  return std::nullopt;
}

ChipSpec ParseChip(const json& v, const std::string& path) {
  Obj o(v, path);
  ChipSpec c;
  c.path = path;
  c.kind = Text(o.req("kind"), o.at("kind"));
  const auto pins = ChipKindPins(c.kind);
  if (!pins)
    throw Bad{o.at("kind"),
              "unknown chip kind \"" + c.kind + "\" (known: " + Join(ChipKindNames()) + ")"};
  c.id = o.opt("id") ? Text(*o.opt("id"), o.at("id")) : c.kind;
  c.isa = OptPort(o, "isa");
  if (const json* a = o.opt("smbus"))
    c.smbus = static_cast<uint8_t>(Number(*a, o.at("smbus"), 0x7F));
  c.configPort = OptPort(o, "config_port");
  c.fsmBase = OptPort(o, "fsm_base");
  c.vlmBase = OptPort(o, "vlm_base");
  c.tmsBase = OptPort(o, "tms_base");
  if (const json* a = o.opt("ec_active")) c.ecActive = Flag(*a, o.at("ec_active"));
  if (const json* a = o.opt("vanished")) c.vanished = Flag(*a, o.at("vanished"));
  if (const json* r = o.opt("registers")) c.registers = ParseRegisters(*r, o.at("registers"));
  ParseChipImage(o, c);
  ParseInputs(o, c, *pins);
  o.finish();
  return c;
}

HostBridgeSetup ParseHost(const json& v, const std::string& path) {
  Obj o(v, path);
  HostBridgeSetup h;
  h.kind = Text(o.req("kind"), o.at("kind"));
  if (!IsHostBridgeKind(h.kind))
    throw Bad{o.at("kind"),
              "unknown host bridge \"" + h.kind + "\" (known: " + Join(HostBridgeKinds()) + ")"};
  if (const json* a = o.opt("agp")) h.agp = Flag(*a, o.at("agp"));
  if (const json* a = o.opt("dual_core_voltage"))
    h.dualCoreVoltage = Flag(*a, o.at("dual_core_voltage"));
  o.finish();
  return h;
}

SouthBridgeSetup ParseSouth(const json& v, const std::string& path) {
  Obj o(v, path);
  SouthBridgeSetup s;
  s.kind = Text(o.req("kind"), o.at("kind"));
  if (!IsSouthBridgeKind(s.kind))
    throw Bad{o.at("kind"),
              "unknown south bridge \"" + s.kind + "\" (known: " + Join(SouthBridgeKinds()) + ")"};
  if (const json* a = o.opt("revision"))
    s.revision = static_cast<uint8_t>(Number(*a, o.at("revision"), 0xFF));
  if (auto p = OptPort(o, "smbus_base")) s.smbusBase = *p;
  if (auto p = OptPort(o, "pm_io_base")) s.pmIoBase = *p;
  if (auto p = OptPort(o, "monitor_base")) s.monitorBase = *p;
  if (const json* a = o.opt("smbus_hidden")) s.smbusHidden = Flag(*a, o.at("smbus_hidden"));
  if (const json* a = o.opt("pm_enabled")) s.pmEnabled = Flag(*a, o.at("pm_enabled"));
  if (const json* a = o.opt("monitor_enabled"))
    s.monitorEnabled = Flag(*a, o.at("monitor_enabled"));
  o.finish();
  return s;
}

SuperIoSpec ParseSuperIo(const json& v, const std::string& path) {
  Obj o(v, path);
  SuperIoSpec s;
  const std::string kind = Text(o.req("kind"), o.at("kind"));
  if (kind != "Winbond")
    throw Bad{o.at("kind"), "unknown Super-I/O \"" + kind + "\" (known: Winbond)"};
  if (auto p = OptPort(o, "port")) s.port = *p;
  if (const json* a = o.opt("chip_id"))
    s.chipId = static_cast<uint8_t>(Number(*a, o.at("chip_id"), 0xFF));
  if (const json* r = o.opt("ldn8")) s.ldn8 = ParseRegisters(*r, o.at("ldn8"));
  o.finish();
  return s;
}

FaultSpec ParseFaults(const json& v, const std::string& path) {
  Obj o(v, path);
  FaultSpec f;
  if (const json* a = o.opt("smbus_stuck_busy"))
    f.smbusStuckBusy = Flag(*a, o.at("smbus_stuck_busy"));
  if (const json* a = o.opt("smbus_collisions"))
    f.smbusCollisions = static_cast<int>(Number(*a, o.at("smbus_collisions"), 1000000));
  if (const json* a = o.opt("silent_addresses")) {
    const std::string p = o.at("silent_addresses");
    for (size_t i = 0; i < Array(*a, p).size(); ++i)
      f.silent.push_back(
          static_cast<uint8_t>(Number((*a)[i], p + "[" + std::to_string(i) + "]", 0x7F)));
  }
  o.finish();
  return f;
}

// Follows the parser through the text, so that a number it cannot hold
// is reported with the field it was meant for.
class FieldTracker {
 public:
  bool operator()(int, json::parse_event_t event, json& parsed) {
    using E = json::parse_event_t;
    if (event == E::object_start || event == E::array_start) {
      frames_.push_back({event == E::array_start, {}, 0});
    } else if (event == E::key) {
      frames_.back().key = parsed.get<std::string>();
    } else if (event == E::object_end || event == E::array_end) {
      frames_.pop_back();
      next();
    } else {
      next();
    }
    return true;
  }
  // The field being read: "chips[0].temps[1]".
  std::string field() const {
    std::string out;
    for (const Frame& f : frames_) {
      if (f.array) {
        out += "[" + std::to_string(f.index) + "]";
      } else {
        out += (out.empty() ? "" : ".") + f.key;
      }
    }
    return out;
  }

 private:
  struct Frame {
    bool array;
    std::string key;
    size_t index;
  };
  void next() {
    if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
  }
  std::vector<Frame> frames_;
};

// { "bus": 0, "device": 7, "function": 3, "config": [ "86 80 13 71", ... ] }
PciImage ParsePciImage(const json& v, const std::string& path) {
  Obj o(v, path);
  PciImage f;
  f.field = path;
  f.bus = static_cast<uint8_t>(Number(o.req("bus"), o.at("bus"), 0xFF));
  f.device = static_cast<uint8_t>(Number(o.req("device"), o.at("device"), 31));
  f.function = static_cast<uint8_t>(Number(o.req("function"), o.at("function"), 7));
  const std::string at = o.at("config");
  const json& lines = Array(o.req("config"), at);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line = Text(lines[i], at + "[" + std::to_string(i) + "]");
    std::istringstream words(line);
    std::string w;
    while (words >> w) {
      char* end = nullptr;
      const long n = std::strtol(w.c_str(), &end, 16);
      if (w.size() != 2 || *end != '\0' || w.find_first_of("+-") != std::string::npos)
        throw Bad{at + "[" + std::to_string(i) + "]", "\"" + w + "\" is not a hexadecimal byte"};
      f.bytes.push_back(static_cast<uint8_t>(n));
    }
  }
  if (f.bytes.empty() || f.bytes.size() > 256)
    throw Bad{at, "holds " + std::to_string(f.bytes.size()) + " bytes, expected 1 to 256"};
  o.finish();
  return f;
}

std::vector<PciImage> ParsePci(const json& v) {
  std::vector<PciImage> out;
  for (size_t i = 0; i < Array(v, "pci").size(); ++i) {
    PciImage f = ParsePciImage(v[i], "pci[" + std::to_string(i) + "]");
    for (const PciImage& g : out)
      if (g.bus == f.bus && g.device == f.device && g.function == f.function)
        throw Bad{f.field, "names the same function as " + g.field};
    out.push_back(std::move(f));
  }
  return out;
}

BoardSpec ParseRoot(const json& root) {
  Obj o(root, "");
  BoardSpec b;
  if (const json* n = o.opt("name")) b.name = Text(*n, "name");
  if (const json* d = o.opt("description")) b.description = Text(*d, "description");
  if (const json* h = o.opt("host_bridge")) b.host = ParseHost(*h, "host_bridge");
  if (const json* s = o.opt("south_bridge")) b.south = ParseSouth(*s, "south_bridge");
  if (const json* s = o.opt("superio")) b.superio = ParseSuperIo(*s, "superio");
  if (const json* f = o.opt("faults")) b.faults = ParseFaults(*f, "faults");
  if (const json* f = o.opt("pci")) b.pci = ParsePci(*f);
  if (const json* f = o.opt("pci_complete")) b.pciComplete = Flag(*f, "pci_complete");
  const json& chips = Array(o.req("chips"), "chips");
  std::set<std::string> ids;
  for (size_t i = 0; i < chips.size(); ++i) {
    const std::string p = "chips[" + std::to_string(i) + "]";
    b.chips.push_back(ParseChip(chips[i], p));
    if (!ids.insert(b.chips.back().id).second)
      throw Bad{p + ".id", "chip id \"" + b.chips.back().id + "\" is used twice"};
  }
  o.finish();
  return b;
}

}  // namespace

std::optional<BoardSpec> ParseBoardSpec(std::string_view text, const std::string& file,
                                        BoardError& error) {
  json root;
  FieldTracker where;
  try {
    root = json::parse(text, std::ref(where));
  } catch (const json::parse_error& e) {
    std::string what = e.what();
    const auto cut = what.find("] ");
    error = {file, "",
             "not valid JSON: " + (cut == std::string::npos ? what : what.substr(cut + 2))};
    return std::nullopt;
  } catch (const json::exception& e) {
    // A number beyond the range of a double; the parser names it in quotes.
    const std::string what = e.what();
    const auto open = what.find('\''), close = what.rfind('\'');
    const std::string number =
        open < close ? what.substr(open + 1, close - open - 1) : std::string("a number");
    error = {file, where.field(), number + " is beyond the range of numbers"};
    return std::nullopt;
  }
  try {
    return ParseRoot(root);
  } catch (const Bad& bad) {
    error = {file, bad.field, bad.message};
  } catch (const std::exception& e) {
    error = {file, "", e.what()};
  }
  return std::nullopt;
}

}  // namespace kev::sim
