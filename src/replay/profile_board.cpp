#include "replay/profile_board.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "replay/profile_text.h"
#include "sim/chips.h"

namespace kev::replay {

namespace {

using nlohmann::json;
using profile::Dump;
using profile::RegLine;

struct SouthKind {
  uint32_t pmId;
  const char* kind;
};

constexpr std::array<SouthKind, 17> kSouthKinds{{
    {0x71138086, "PIIX4"},
    {0x24138086, "ICH"},
    {0x24238086, "ICH0"},
    {0x24438086, "ICH2"},
    {0x24838086, "ICH3-M"},
    {0x740B1022, "AMD-756"},
    {0x74131022, "AMD-766"},
    {0x74431022, "AMD-768"},
    {0x30501106, "VT82C596B"},
    {0x30511106, "VT82C596B-3051"},
    {0x30571106, "VT82C686A"},
    {0x82351106, "VT8231"},
    {0x82311106, "VT8233"},
    {0x30741106, "VT8233C"},
    {0x00081039, "SiS5595"},
    {0x06301039, "SiS630"},
    {0x710110B9, "M1535D+"},
}};

// Later steppings and the mobile ICH2 the identifier alone does not tell.
constexpr uint8_t kPiix4eRevisionBit = 0x02;
constexpr uint8_t kVt82c686bRevisionBit = 0x40;
constexpr uint32_t kIch2mLpcId = 0x244C8086;
constexpr uint8_t kLpcDevice = 31;
constexpr uint8_t kSis630PmDevice = 1;
constexpr uint8_t kSis630PmEnableReg = 0x40;
constexpr uint8_t kSis630PmEnableBit = 0x80;

// Winbond sub-client addresses: 48h plus the fields of register 4Ah.
constexpr uint8_t kWbRegSubAddr = 0x4A;
constexpr uint8_t kWbSubBase = 0x48;
constexpr uint8_t kWbSubDisable = 0x08;  // of each 4-bit half
constexpr uint8_t kWbSubField = 0x07;
constexpr int kWbSubShift = 4;
constexpr uint8_t kWbRegVendor = 0x4F;

// Temperature sensor addresses: below 48h only byte sensors, 4Ch-4Eh either.
constexpr uint8_t kFirstWordSensor = 0x48;
constexpr uint8_t kSharedFirst = 0x4C;
constexpr uint8_t kSharedLast = 0x4E;

constexpr uint8_t kPcLdnFsm = 0x09;
constexpr uint8_t kPcLdnVlm = 0x0D;

std::string HexText(unsigned v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
  return buf;
}

json Value(const std::optional<uint16_t>& v, int digits) {
  if (!v) return digits == 4 ? "XXXX" : "XX";
  return HexText(*v, digits);
}

const profile::PciFunctionDump* FindPci(const Dump& d, uint8_t device, uint8_t function) {
  for (const auto& f : d.pci)
    if (f.bus == 0 && f.device == device && f.function == function) return &f;
  return nullptr;
}

uint32_t Dword(const profile::PciFunctionDump& f, uint8_t at) {
  return static_cast<uint32_t>(f.config[at] | f.config[at + 1u] << 8 | f.config[at + 2u] << 16 |
                               static_cast<uint32_t>(f.config[at + 3u]) << 24);
}

std::optional<json> SouthBridge(const Dump& d) {
  if (!d.pmFound) return std::nullopt;
  std::string kind;
  for (const SouthKind& k : kSouthKinds)
    if (k.pmId == d.pmId) kind = k.kind;
  if (kind.empty()) return std::nullopt;
  if (kind == "PIIX4" && (d.pmRevision & kPiix4eRevisionBit)) kind = "PIIX4E";
  if (kind == "VT82C686A" && (d.pmRevision & kVt82c686bRevisionBit)) kind = "VT82C686B";
  const auto* lpc = FindPci(d, kLpcDevice, 0);
  if (kind == "ICH2" && lpc && Dword(*lpc, 0) == kIch2mLpcId) kind = "ICH2-M";
  json s{{"kind", kind}, {"revision", HexText(d.pmRevision, 2)}};
  if (d.smbusBase) s["smbus_base"] = HexText(*d.smbusBase, 4);
  if (kind == "SiS630") {
    const auto* pm = FindPci(d, kSis630PmDevice, 0);
    if (pm) s["pm_enabled"] = (pm->config[kSis630PmEnableReg] & kSis630PmEnableBit) != 0;
  }
  return s;
}

json PciList(const Dump& d) {
  json list = json::array();
  for (const auto& f : d.pci) {
    json lines = json::array();
    for (size_t at = 0; at < f.config.size(); at += 8) {
      std::string line;
      for (size_t i = 0; i < 8; ++i)
        line += (i ? " " : "") + HexText(f.config[at + i], 2).substr(2);
      lines.push_back(line);
    }
    list.push_back(
        {{"bus", f.bus}, {"device", f.device}, {"function", f.function}, {"config", lines}});
  }
  return list;
}

bool IsWinbondLayout(const std::string& kind) {
  return kind.rfind("W83", 0) == 0 || kind == "Winbond" || kind.rfind("AS99127F", 0) == 0;
}

// The register lines as the chip entry's image fields.
void AddImage(json& chip, const Dump& d) {
  json image = json::object();
  std::optional<uint16_t> vendor[2];
  for (const RegLine& r : d.regs) {
    const std::string key = HexText(r.reg, 2);
    const json v = Value(r.value, r.digits);
    if (r.hbacs >= 0) {
      vendor[r.hbacs == 1 ? 0 : 1] = r.value;
    } else if (r.what == RegLine::What::Ofs) {
      const char* block = r.ldn == kPcLdnFsm ? "fsm" : r.ldn == kPcLdnVlm ? "vlm" : "tms";
      if (r.bank < 0)
        chip[block][key] = v;
      else
        chip[block][std::to_string(r.bank)][key] = v;
    } else if (r.ldn != 0) {
      chip["ldn"][HexText(r.ldn, 2)][key] = v;
    } else if (r.bank > 0) {
      chip["banks"][std::to_string(r.bank)][key] = v;
    } else {
      image[key] = v;
    }
  }
  if (IsWinbondLayout(d.chipKind) && !d.regs.empty()) {
    std::string word = "0x";
    for (const auto& half : vendor) word += half ? HexText(*half, 2).substr(2) : "XX";
    image[HexText(kWbRegVendor, 2)] = word;
  }
  if (!image.empty()) chip["image"] = image;
}

std::optional<uint8_t> ImageByte(const Dump& d, uint8_t reg) {
  for (const RegLine& r : d.regs)
    if (r.what == RegLine::What::Reg && r.ldn == 0 && r.bank <= 0 && r.reg == reg && r.value)
      return static_cast<uint8_t>(*r.value);
  return std::nullopt;
}

// The SiS 5595 reads its temperature unconverted (00h) right after monitoring
// restarts, as the program's fresh probe before the dump does; the reading
// the window showed becomes the temperature input instead.
constexpr uint8_t kSisRegTemp = 0x24;
constexpr size_t kTemp1Row = 3;

void SettleSisTemperature(json& chip, const Dump& d) {
  const auto code = ImageByte(d, kSisRegTemp);
  if (d.chipKind != "SiS5595" || !chip.contains("image") || !code || *code != 0) return;
  // "39.0C / 102.0F" or "102.0F / 39.0C"
  std::istringstream words(d.rows[kTemp1Row]);
  std::string w;
  while (words >> w) {
    if (w.size() < 2 || w.back() != 'C') continue;
    w.pop_back();
    char* end = nullptr;
    const double celsius = std::strtod(w.c_str(), &end);
    if (*end != '\0') return;
    chip["image"].erase(HexText(kSisRegTemp, 2));
    chip["temps"] = json::array({celsius});
    return;
  }
}

std::optional<json> MainChip(const Dump& d) {
  const std::string& kind = d.chipKind;
  if (kind.empty()) return std::nullopt;
  json chip{{"id", "main"}, {"kind", kind}};
  // The parts built into a bridge or a Super-I/O sit on ISA; the ITE ones
  // may be wired to the SMBus as well.
  const auto model = sim::ChipModelKindFromName(kind);
  const bool isa = model ? sim::IsIsaCapable(*model) : true;
  const bool serial = model ? sim::IsSmbusCapable(*model) : kind.rfind("IT87", 0) == 0;
  const std::optional<uint8_t> smbus =
      d.onSmbus ? std::optional<uint8_t>(d.smbusAddress) : d.mainAddress;
  if (kind == "PC87366") {
    chip["config_port"] = HexText(d.port, 2);
  } else {
    if (d.onPort && isa) chip["isa"] = HexText(d.port, 3);
    if (smbus && serial) chip["smbus"] = HexText(*smbus, 2);
  }
  if (!chip.contains("isa") && !chip.contains("smbus") && !chip.contains("config_port"))
    return std::nullopt;
  AddImage(chip, d);
  SettleSisTemperature(chip, d);
  return chip;
}

// Addresses the main chip answers itself (Winbond sub-clients on the SMBus).
std::vector<uint8_t> OwnAddresses(const Dump& d, const json& main) {
  std::vector<uint8_t> out;
  if (!main.contains("smbus") || !IsWinbondLayout(d.chipKind)) return out;
  const auto sub = ImageByte(d, kWbRegSubAddr);
  if (!sub) return out;
  for (int i = 0; i < 2; ++i) {
    const int field = *sub >> (kWbSubShift * i);
    if ((field & kWbSubDisable) == 0)
      out.push_back(static_cast<uint8_t>(kWbSubBase + (field & kWbSubField)));
  }
  return out;
}

bool ByteLike(const std::optional<uint16_t>& w) { return !w || (*w >> 8) == (*w & 0xFF); }

// A further SMBus device: a byte sensor where only one fits or its words
// repeat one byte, else a word sensor.
json Sensor(const profile::Device& dev, const std::string& id) {
  const bool bytes = dev.address < kFirstWordSensor ||
                     (dev.address >= kSharedFirst && dev.address <= kSharedLast &&
                      ByteLike(dev.words[0]) && ByteLike(dev.words[1]));
  json chip{{"id", id}, {"kind", bytes ? "MAX1617" : "LM75"}, {"smbus", HexText(dev.address, 2)}};
  auto high = [](const std::optional<uint16_t>& w) {
    return w ? std::optional<uint16_t>(*w >> 8) : std::nullopt;
  };
  if (bytes) {
    chip["image"] = {{"0x00", Value(high(dev.words[0]), 2)},
                     {"0x01", Value(high(dev.words[1]), 2)}};
  } else {
    chip["image"] = {{"0x00", Value(dev.words[0], 4)}};
    chip["smbus_words"] = {{"0x01", Value(dev.words[1], 4)}};
  }
  return chip;
}

}  // namespace

bool LooksLikeProfile(std::string_view text) {
  return profile::FindProfileStart(text) != std::string_view::npos;
}

namespace {

json Board(const Dump& d) {
  // Only texts of the program's own tables go into the document, so that it
  // is valid UTF-8 whatever the paste holds.
  json board{{"description", "Replayed from a hardware monitoring profile" +
                                 (d.chipKind.empty() ? "" : " (" + d.chipKind + ")") + "."}};
  if (auto s = SouthBridge(d)) board["south_bridge"] = *s;
  json chips = json::array();
  std::vector<uint8_t> taken;
  if (auto main = MainChip(d)) {
    taken = OwnAddresses(d, *main);
    if (main->contains("smbus"))
      taken.push_back(
          static_cast<uint8_t>(std::stoul(main->at("smbus").get<std::string>(), nullptr, 16)));
    chips.push_back(*main);
  }
  for (size_t i = 0; i < d.devices.size(); ++i) {
    const profile::Device& dev = d.devices[i];
    const bool answered = dev.words[0] || dev.words[1];
    if (!answered || std::find(taken.begin(), taken.end(), dev.address) != taken.end()) continue;
    taken.push_back(dev.address);
    chips.push_back(Sensor(dev, i == 0 ? "sensor2" : "sensor3"));
  }
  board["chips"] = chips;
  board["pci"] = PciList(d);
  board["pci_complete"] = true;
  return board;
}

}  // namespace

std::optional<json> BoardFromProfile(std::string_view text, std::string& error) {
  try {
    const auto dump = profile::ReadProfile(text, error);
    if (dump) return Board(*dump);
  } catch (const std::exception& e) {
    error = e.what();
  }
  return std::nullopt;
}

}  // namespace kev::replay
